#pragma once

#include "tools/phone/BackupImport.h"

#include <string>
#include <vector>

// `import-backup DIR [--udid UDID] [--force] [--password-file FILE |
// --password-stdin]`: makes the device root hold the phone of a backup made
// with idevicebackup2 (an encrypted one with its password, asked on the
// terminal when none of the options gives it), then posts the
// received-message notification so a running daemon counts what is new.
// The user runs it as brindlex-ledger's command; the phone simulator keeps
// its own name for it, for the demo and the tests.
// Without a session bus the import stands and the command still succeeds:
// the programs sync at their next start anyway.
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
    };

    // Nothing for arguments the command does not take.
    static bool parse(const std::vector<std::string>& arguments, Arguments& parsed);
    static void notifyDaemon();
    // Where the password of an encrypted backup comes from; asked only when
    // the backup turns out to be encrypted.
    static BackupFolder::Unlock unlockFor(const Arguments& parsed);
    // One line on standard error for each part of the phone's data that the
    // import brought in incomplete.
    static void warnAboutGaps(const BackupImport::Outcome& outcome);
};
