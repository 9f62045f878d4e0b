<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>DateViewController</name>
    <message>
        <source>Message period</source>
        <translation>SMS-Zeitraum</translation>
    </message>
    <message>
        <source>Period</source>
        <translation>Zeitraum</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Bis</translation>
    </message>
</context>
<context>
    <name>ExcludedPersonSelectViewController</name>
    <message>
        <source>Excluded Numbers</source>
        <translation>Ausschließen</translation>
    </message>
    <message>
        <source>Num</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Add a excluded number</source>
        <translation>Ausnahme hinzufügen</translation>
    </message>
    <message>
        <source>Select Person</source>
        <translation>Person auswählen</translation>
    </message>
</context>
<context>
    <name>ExcludedViewController</name>
    <message>
        <source>Exclusions</source>
        <translation>Ausnahmen</translation>
    </message>
    <message>
        <source>Excluded Numbers</source>
        <translation>Ausgeschlossene Nummern</translation>
    </message>
    <message>
        <source>Add a excluded number</source>
        <translation>Ausnahme hinzufügen</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
</context>
<context>
    <name>PersonSelectViewController</name>
    <message>
        <source>Select Person</source>
        <translation>Person auswählen</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
</context>
<context>
    <name>PreferencesViewController</name>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Please remember to fill in the SMS quota to make this feature work properly.</source>
        <translation>Bitte tragen Sie Ihr SMS-Kontingent ein, damit diese Anzeige richtig funktioniert.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>SMS Quota</source>
        <translation>SMS-Kontingent</translation>
    </message>
    <message>
        <source>0 or blank for unlimited</source>
        <translation>0 oder leer: unbegrenzt</translation>
    </message>
    <message>
        <source>Not Used (Fixed initial date)</source>
        <translation>Aus (festes Startdatum)</translation>
    </message>
    <message>
        <source>Both</source>
        <translation>Beide</translation>
    </message>
    <message>
        <source>Incoming</source>
        <translation>Eingehend</translation>
    </message>
    <message>
        <source>Outgoing</source>
        <translation>Ausgehend</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Gesamt</translation>
    </message>
    <message>
        <source>SMS Left</source>
        <translation>SMS übrig</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>AUS</translation>
    </message>
    <message>
        <source>st</source>
        <translation>.</translation>
    </message>
    <message>
        <source>nd</source>
        <translation>.</translation>
    </message>
    <message>
        <source>rd</source>
        <translation>.</translation>
    </message>
    <message>
        <source>th</source>
        <translation>.</translation>
    </message>
    <message>
        <source>Billing day of mth       Not Used</source>
        <translation>Abrechnungstag                 Aus</translation>
    </message>
    <message>
        <source>Billing day of mth                </source>
        <translation>Abrechnungstag                  </translation>
    </message>
    <message>
        <source>Badge type                        Both</source>
        <translation>Kennzeichen                    Beide</translation>
    </message>
    <message>
        <source>Badge type                Incoming</source>
        <translation>Kennzeichen            Eingehend</translation>
    </message>
    <message>
        <source>Badge type                Outgoing</source>
        <translation>Kennzeichen           Ausgehend</translation>
    </message>
    <message>
        <source>Badge type                         OFF</source>
        <translation>Kennzeichen                      AUS</translation>
    </message>
    <message>
        <source>Show Badge</source>
        <translation>Kennzeichen anzeigen</translation>
    </message>
    <message>
        <source>Clear database</source>
        <translation>Datenbank leeren</translation>
    </message>
    <message>
        <source>Billing day</source>
        <translation>Abrechnungstag</translation>
    </message>
    <message>
        <source>Badge type</source>
        <translation>Kennzeichen</translation>
    </message>
    <message>
        <source>Import iPhone Backup</source>
        <translation>iPhone-Backup importieren</translation>
    </message>
</context>
</TS>
