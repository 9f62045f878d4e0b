#pragma once

#include <functional>
#include <optional>
#include <string>

// The app's backup import, without any UI: it runs on a worker thread and
// answers with what the main screen tells the user. The work itself is the
// command line's (BackupImport), so the app and brindlex-ledger import a
// backup alike, lock, journal and refusals included.
class BackupImportJob {
public:
    struct Result {
        bool imported = false;
        std::string error;  // why not, in the import's own words
        // The counter database's rows the imported phone starts from: those
        // before the import for a newer backup of the same phone, else 0
        // (a first phone, or another phone, whose count starts afresh).
        int storedBefore = 0;
        // The password was put into the desktop's keyring, as asked; else
        // why not, when it was asked for.
        bool passwordRemembered = false;
        std::string keyringError;
    };

    // Whether the backup in `folder` (a backup folder, or the folder
    // idevicebackup2 writes with one per phone) is encrypted, as its
    // Manifest.plist says: the app then asks for the backup password first.
    static bool isEncrypted(const std::string& folder);

    // Imports the backup in `folder` into the device root; `password`, given
    // for an encrypted backup, is what the import decrypts it with. True from
    // `stopRequested` between the import's steps rolls it back. With
    // `rememberPassword` the password of an imported encrypted backup goes
    // into the keyring for the phone, for the daemon's imports.
    static Result importFolder(const std::string& folder, const std::optional<std::string>& password,
                               std::function<bool()> stopRequested = {}, bool rememberPassword = false);
};
