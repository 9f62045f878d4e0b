#pragma once

#include "tools/phone/BackupFolder.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class DeviceRootTransaction;

// Makes the device root hold what an unencrypted iPhone backup holds: the
// phone's sms.db, its address book (when the backup has one) and its system
// version, with the data directory the programs share. Every file goes in
// through one DeviceRootTransaction, so a failure leaves the root as it was
// and a running daemon or app never opens half a file.
//
// The root remembers which phone it holds (phone.plist in the data
// directory). A newer backup of the same phone keeps the counter databases
// and the sync markers, so the next sync copies only what is new. The backup
// of another phone is refused while the root holds messages, since its
// messages would be counted on top of the first phone's. With --force it
// replaces them: the old counter databases are kept aside under a name that
// says whose they were, and the markers start again at 0, so the new phone's
// messages are all counted, once. From its look at which phone the root
// holds to its last rename an import holds the data lock (ImportLock), so of
// two imports of different phones started together one goes in and the
// other is refused as another phone.
class BackupImport {
public:
    static constexpr const char* kPhoneFileName = "phone.plist";
    static constexpr const char* kUdidKey = "UniqueIdentifier";
    // The error of an import whose backup was written to while it was read
    // (a backup still running): nothing was imported, and the same import
    // started again once the backup has finished goes in.
    static constexpr const char* kBackupChanged =
        "the backup changed while it was imported; try again when the backup has finished";

    struct Options {
        std::string udid;  // which phone of a folder holding several; empty: the only one
        bool force = false;
        // Asked between steps of the copy; true cancels the import, which
        // then leaves the root as it was and fails with an error of
        // DeviceRootTransaction::kStopped.
        std::function<bool()> stopRequested;
        // How an encrypted backup is opened (its stopRequested defaults to
        // the one above). Its decrypted files live in the device root only
        // while the import runs.
        BackupFolder::Unlock unlock;
    };

    struct Outcome {
        BackupFolder::Phone phone;
        std::string backupFolder;
        bool addressBook = false;                       // the backup held one
        bool addressBookListedButAbsent = false;        // its file list names one it does not hold
        bool smsWal = false;                            // sms.db came with its -wal
        bool encrypted = false;                         // the backup was decrypted with its password
        long long longTexts = 0;                        // messages whose text is longer than the sync reads
        bool samePhone = false;                         // a newer backup of the phone the root held
        bool replacedPhone = false;                     // the root held another phone's messages
        std::vector<std::string> keptCounterDatabases;  // where they were moved
    };

    // Imports the backup in `directory` (the backup folder or the folder
    // idevicebackup2 writes, holding one per phone) into the device root.
    static std::optional<Outcome> run(const std::string& directory, const Options& options, std::string* error);

    static std::string phoneFile();
    // The UDID of the phone the root holds; "" when it holds messages of a
    // phone it has no record of; nothing when it holds no messages.
    static std::optional<std::string> phoneInRoot();

private:
    struct Found {
        std::string smsDatabase;
        std::optional<std::string> smsWal;
        std::optional<std::string> addressBook;
        bool addressBookListedButAbsent = false;
        // The files are decrypted copies in the root, this import's own:
        // moved into place rather than copied.
        bool decrypted = false;
    };

    static std::optional<Found> findFiles(const BackupFolder& backup, std::string* error);
    static bool refuseOtherPhone(const BackupFolder::Phone& phone, const std::optional<std::string>& previous,
                                 bool force, std::string* error);
    static bool stageFiles(DeviceRootTransaction& transaction, const Found& found, std::string* error);
    // A database file and the sidecars that belong to it alone: its -wal
    // when `wal` names one, no other. `move`: the files are the import's own
    // decrypted copies.
    static bool stageDatabase(DeviceRootTransaction& transaction, const std::optional<std::string>& source,
                              const std::optional<std::string>& wal, const std::string& target, bool move,
                              std::string* error);
    // Messages of the sms.db at `path` whose text is longer than a sync
    // reads, counted from the sizes SQLite keeps in each row's header: no
    // text is loaded, however long.
    static long long countLongTexts(const std::string& path);
    // The phone's records, with where the backup came from (`directory`, as given).
    static bool stageDeviceRecords(DeviceRootTransaction& transaction, const BackupFolder& backup,
                                   const std::string& directory, std::string* error);
    static bool stageFreshCount(DeviceRootTransaction& transaction, const std::optional<std::string>& previous,
                                Outcome& outcome, std::string* error);
    // The sync of a root on `version` can read the staged sms.db at `path`:
    // its own read statement for that version is prepared and stepped once.
    // Else false with `error` saying why.
    static bool syncCanRead(const std::string& path, const std::string& version, std::string* error);
    static bool holdsMessages(const std::string& database);
    // The database passes SQLite's quick check; else false with `error` set,
    // naming the file `shown` (default: `path`).
    static bool wellFormed(const std::string& path, const char* what, std::string* error,
                           const std::string& shown = {});
    // The staged sms.db at `path` (the backup's `shown`) passes the quick
    // check and the sync's read (syncCanRead); `longTexts` is set to
    // countLongTexts of it.
    static bool checkStagedSms(const std::string& path, const std::string& shown, const std::string& version,
                               long long& longTexts, std::string* error);
    static std::string keptName(const std::string& counterDatabase, const std::string& previous);
};
