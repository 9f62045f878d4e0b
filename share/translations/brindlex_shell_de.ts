<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AboutViewController</name>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Kontakt</translation>
    </message>
    <message>
        <source>Counts the text messages you send and receive, segment by segment, against your monthly allowance.</source>
        <translation>Zählt die gesendeten und empfangenen SMS, Segment für Segment, gegen Ihr monatliches Kontingent.</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Send Feedback</source>
        <translation>Feedback senden</translation>
    </message>
    <message>
        <source>Web Site</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>Brindlex feedback</source>
        <translation>Feedback zu Brindlex</translation>
    </message>
    <message>
        <source>Suggestions and bug reports are welcome.

Made by the Brindlex team. Segments are counted by the GSM 03.38 alphabet.</source>
        <translation>Vorschläge und Fehlerberichte sind willkommen.

Vom Brindlex-Team. Segmente werden nach dem GSM-03.38-Alphabet gezählt.</translation>
    </message>
</context>
<context>
    <name>BackupImportFlow</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Choose the folder of the iPhone backup</source>
        <translation>Ordner des iPhone-Backups wählen</translation>
    </message>
    <message>
        <source>Importing the backup. Please wait.</source>
        <translation>Backup wird importiert. Bitte warten.</translation>
    </message>
    <message>
        <source>Import iPhone Backup</source>
        <translation>iPhone-Backup importieren</translation>
    </message>
    <message>
        <source>Counting the new messages. Please wait.</source>
        <translation>Neue Nachrichten werden gezählt. Bitte warten.</translation>
    </message>
    <message>
        <source>The backup was imported, but its messages could not be counted.</source>
        <translation>Das Backup wurde importiert, aber seine Nachrichten konnten nicht gezählt werden.</translation>
    </message>
    <message>
        <source>New messages counted: %1</source>
        <translation>Neu gezählte Nachrichten: %1</translation>
    </message>
    <message>
        <source>The password is remembered in the keyring: the next backups of this iPhone are counted by themselves.</source>
        <translation>Das Passwort ist im Schlüsselbund gespeichert: Die nächsten Backups dieses iPhones werden von selbst gezählt.</translation>
    </message>
    <message>
        <source>The keyring did not keep the password (%1).</source>
        <translation>Der Schlüsselbund hat das Passwort nicht gespeichert (%1).</translation>
    </message>
</context>
<context>
    <name>BackupPasswordDialog</name>
    <message>
        <source>This backup is encrypted. Enter the backup password:</source>
        <translation>Dieses Backup ist verschlüsselt. Geben Sie das Backup-Passwort ein:</translation>
    </message>
    <message>
        <source>Remember the password in the keyring</source>
        <translation>Passwort im Schlüsselbund speichern</translation>
    </message>
    <message>
        <source>Encrypted Backup</source>
        <translation>Verschlüsseltes Backup</translation>
    </message>
    <message>
        <source>The next backups of this iPhone are then counted by themselves.</source>
        <translation>Die nächsten Backups dieses iPhones werden dann von selbst gezählt.</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Importieren</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ChartViewController</name>
    <message>
        <source>All Messages</source>
        <translation>Alle Nachrichten</translation>
    </message>
    <message>
        <source>Received Messages</source>
        <translation>Empfangene Nachrichten</translation>
    </message>
    <message>
        <source>Sent Messages</source>
        <translation>Gesendete Nachrichten</translation>
    </message>
</context>
<context>
    <name>RecordViewController</name>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Incoming</source>
        <translation>Eingehend</translation>
    </message>
    <message>
        <source>Outgoing</source>
        <translation>Ausgehend</translation>
    </message>
</context>
<context>
    <name>RootViewController</name>
    <message>
        <source>Confirm Action</source>
        <translation>Aktion bestätigen</translation>
    </message>
    <message>
        <source>Do you want to clear the database maintained by Ledgerwick?

Take note that this will not clear the default iPhone SMS database</source>
        <translation>Möchten Sie die von Ledgerwick geführte Datenbank leeren?

Beachten Sie, dass die SMS-Datenbank des iPhone dabei nicht geleert wird</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Clear DB</source>
        <translation>Datenbank leeren</translation>
    </message>
    <message>
        <source>Database cleared</source>
        <translation>Datenbank geleert</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>Filter By</source>
        <translation>Filtern nach</translation>
    </message>
    <message>
        <source>Chart</source>
        <translation>Diagramm</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
    <message>
        <source>Message Type</source>
        <translation>Nachrichtentyp</translation>
    </message>
    <message>
        <source>Person</source>
        <translation>Person</translation>
    </message>
    <message>
        <source>Exclusions</source>
        <translation>Ausnahmen</translation>
    </message>
    <message>
        <source>Total Messages</source>
        <translation>Nachrichten gesamt</translation>
    </message>
    <message>
        <source>Messages Left</source>
        <translation>Verbleibend</translation>
    </message>
    <message>
        <source>Both</source>
        <translation>Beide</translation>
    </message>
    <message>
        <source>Received</source>
        <translation>Empfangen</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Gesendet</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>ERROR!</source>
        <translation>FEHLER!</translation>
    </message>
    <message>
        <source>The settings file cannot be read, so no new messages were copied.</source>
        <translation>Die Einstellungsdatei kann nicht gelesen werden, daher wurden keine neuen Nachrichten übernommen.</translation>
    </message>
    <message>
        <source>error code</source>
        <translation>Fehlercode</translation>
    </message>
    <message>
        <source>Some problems have occurred.
Clear DB is not successful</source>
        <translation>Es sind Probleme aufgetreten.
Die Datenbank wurde nicht geleert</translation>
    </message>
    <message>
        <source>Clear DB is successful</source>
        <translation>Die Datenbank wurde geleert</translation>
    </message>
    <message>
        <source>Resyncing with default SMS database</source>
        <translation>Abgleich mit der SMS-Datenbank des Telefons</translation>
    </message>
    <message>
        <source>Generating Chart. Please wait.</source>
        <translation>Diagramm wird erstellt. Bitte warten.</translation>
    </message>
    <message>
        <source>Generating Report. Please wait.</source>
        <translation>Bericht wird erstellt. Bitte warten.</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>The messages cannot be counted, so no total is shown: %1</source>
        <translation>Die Nachrichten können nicht gezählt werden, daher wird keine Summe angezeigt: %1</translation>
    </message>
    <message>
        <source>No messages yet: import a backup of your iPhone.</source>
        <translation>Noch keine Nachrichten: Importieren Sie ein Backup Ihres iPhones.</translation>
    </message>
    <message>
        <source>Import iPhone Backup</source>
        <translation>iPhone-Backup importieren</translation>
    </message>
</context>
</TS>
