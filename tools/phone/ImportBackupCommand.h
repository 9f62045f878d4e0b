#pragma once

#include "tools/phone/BackupImport.h"

#include <string>
#include <vector>

// `import-backup DIR [--udid UDID] [--force] [--password-file FILE |
// --password-stdin] [--remember-password]`: makes the device root hold the phone of a backup made
// with idevicebackup2 (an encrypted one with its password, asked on the
// terminal when none of the options gives it), then posts the
// received-message notification so a running daemon counts what is new.
// The user runs it as brindlex-ledger's command; the phone simulator keeps
// its own name for it, for the demo and the tests.
// Without a session bus the import stands and the command still succeeds:
// the programs sync at their next start anyway. With --remember-password the
// password of an encrypted backup goes into the desktop's keyring, from
// which the daemon imports the phone's next backups by itself.
class ImportBackupCommand {
public:
    static int run(const std::vector<std::string>& arguments);

private:
    struct Arguments {
        std::string directory;
        std::string udid;
        bool force = false;
        std::string passwordFile;
        bool passwordStdin = false;
        bool rememberPassword = false;
    };

    // Nothing for arguments the command does not take.
    static bool parse(const std::vector<std::string>& arguments, Arguments& parsed);
    static void notifyDaemon();
    // Stores the password the import was unlocked with for the phone `udid`;
    // a keyring that refuses is reported, and the import stands.
    static void rememberPassword(const std::string& udid, const SecretBytes& password);
    // Where the password of an encrypted backup comes from; asked only when
    // the backup turns out to be encrypted.
    static BackupFolder::Unlock unlockFor(const Arguments& parsed);
    // One line on standard error for each part of the phone's data that the
    // import brought in incomplete.
    static void warnAboutGaps(const BackupImport::Outcome& outcome);
};
