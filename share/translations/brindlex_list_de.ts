<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MyTableViewCell</name>
    <message>
        <source>Received</source>
        <translation>Empfangen</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Gesendet</translation>
    </message>
</context>
<context>
    <name>RecordViewController</name>
    <message>
        <source>Confirm Action</source>
        <translation>Aktion bestätigen</translation>
    </message>
    <message>
        <source>Do you want to delete this SMS</source>
        <translation>Möchten Sie diese SMS löschen?</translation>
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
        <source>Email Data</source>
        <translation>Per E-Mail</translation>
    </message>
    <message>
        <source>Delete SMS</source>
        <translation>SMS löschen</translation>
    </message>
    <message>
        <source>Delete SMS failed</source>
        <translation>Die SMS konnte nicht gelöscht werden</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Your email has failed to send</source>
        <translation>Ihre E-Mail konnte nicht gesendet werden</translation>
    </message>
    <message>
        <source>Ledgerwick Exported CSV</source>
        <translation>Ledgerwick – exportierte CSV</translation>
    </message>
    <message>
        <source>The file could not be saved to %1.</source>
        <translation>Die Datei konnte nicht unter %1 gespeichert werden.</translation>
    </message>
    <message>
        <source>If the attachment is missing, you will find the file at %1.</source>
        <translation>Fehlt der Anhang, finden Sie die Datei unter %1.</translation>
    </message>
</context>
</TS>
