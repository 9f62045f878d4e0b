#include "tools/phone/BackupImport.h"

#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "common/SettingsKeys.h"
#include "common/SmsReader.h"
#include "platform/SqliteBlob.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteHardening.h"
#include "platform/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "tools/phone/BackupOrigin.h"
#include "platform/SystemVersion.h"
#include "tools/phone/DecryptedFiles.h"
#include "tools/phone/DeviceRootTransaction.h"
#include "tools/phone/ImportLock.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {

// SQLite keeps uncommitted or not yet checkpointed pages of a database in
// files beside it. Left beside a new file they would be played into it.
constexpr const char* kSidecars[] = {"-wal", "-shm", "-journal"};

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

std::string parentOf(const std::string& path) { return fs::path(path).parent_path().string(); }

// Why the message table of `db` is none the sync of that schema reads.
std::string layoutMismatch(const SqliteDatabase& db, bool sixOrLater) {
    SqliteStatement kind;
    if (kind.prepare(db, "SELECT type FROM sqlite_master WHERE name = 'message' COLLATE NOCASE") &&
        kind.step() == SqliteStatement::Step::Row && kind.columnString(0) != "table")
        return "its message is a " + kind.columnString(0) + ", not a table";
    if (sixOrLater)
        return "from iOS 6 on messages are read from a message table with is_from_me, handle_id and date beside a "
               "handle table with id, and the file has none";
    return "before iOS 6 messages are read from a message table with address, flags and date, and the file has none";
}

std::string describePhone(const BackupFolder::Phone& phone) {
    return (phone.deviceName.empty() ? std::string("the phone") : "'" + phone.deviceName + "'") + " (" + phone.udid +
           ")";
}

// Letters, digits and dashes of a UDID, for a file name.
std::string fileNamePart(const std::string& text) {
    std::string part;
    for (const char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') part += c;
    return part;
}

}  // namespace

std::string BackupImport::phoneFile() { return DevicePaths::dataDirectory() + "/" + kPhoneFileName; }

std::optional<BackupImport::Outcome> BackupImport::run(const std::string& directory, const Options& options,
                                                       std::string* error) {
    if (options.stopRequested && options.stopRequested()) {
        fail(error, DeviceRootTransaction::kStopped);
        return std::nullopt;
    }
    // Decrypted copies a killed import could not remove.
    DecryptedFiles::removeAbandoned(DevicePaths::root());
    BackupFolder::Unlock unlock = options.unlock;
    if (!unlock.stopRequested) unlock.stopRequested = options.stopRequested;
    const auto backup = BackupFolder::open(directory, options.udid, unlock, error);
    if (!backup) return std::nullopt;
    const auto found = findFiles(*backup, error);
    if (!found) return std::nullopt;
    // Held from this look at the root to the last rename: another import
    // waits, then sees this one's phone.
    ImportLock lock;
    const auto previous = phoneInRoot();
    if (!refuseOtherPhone(backup->phone(), previous, options.force, error)) return std::nullopt;

    Outcome outcome;
    outcome.phone = backup->phone();
    outcome.backupFolder = backup->path();
    outcome.addressBook = found->addressBook.has_value();
    outcome.addressBookListedButAbsent = found->addressBookListedButAbsent;
    outcome.smsWal = found->smsWal.has_value();
    outcome.encrypted = backup->encrypted();
    outcome.samePhone = previous && BackupFolder::sameIdentifier(*previous, backup->phone().udid);
    outcome.replacedPhone = previous && !outcome.samePhone;

    DeviceRootTransaction transaction(DevicePaths::root(), options.stopRequested);
    if (!transaction.begin(error) || !stageFiles(transaction, *found, error) ||
        !stageDeviceRecords(transaction, *backup, directory, error))
        return std::nullopt;
    // The staged copy, with its staged -wal beside it: the rows a sync will
    // read, those only in the -wal included.
    const std::string stagedSms = transaction.stagedPath(DevicePaths::smsDatabase());
    const std::string shownSms =
        found->decrypted ? std::string(BackupFolder::kSmsDatabasePath) + ", decrypted" : found->smsDatabase;
    if (!checkStagedSms(stagedSms, shownSms, backup->phone().productVersion, outcome.longTexts, error))
        return std::nullopt;
    if (!outcome.samePhone && !stageFreshCount(transaction, previous, outcome, error)) return std::nullopt;
    // Last before the commit: what was read must be one backup, not the
    // start of one and the end of the next.
    if (!backup->unchanged()) {
        fail(error, kBackupChanged);
        return std::nullopt;
    }
    if (!transaction.commit(error)) return std::nullopt;
    lock.keep();
    // The counter database of the backup's system version and the settings
    // file, as the programs would seed them at their next start.
    Seeding::copyIfNeeded();
    return outcome;
}

std::optional<BackupImport::Found> BackupImport::findFiles(const BackupFolder& backup, std::string* error) {
    Found found;
    std::string problem;
    auto sms = backup.find(BackupFolder::kHomeDomain, BackupFolder::kSmsDatabasePath, &problem);
    if (!sms) {
        fail(error, !problem.empty() ? problem
                                     : backup.path() + " holds no messages (" + BackupFolder::kHomeDomain + " " +
                                           BackupFolder::kSmsDatabasePath +
                                           "); make a full backup with 'idevicebackup2 backup --full DIR'");
        return std::nullopt;
    }
    if (!BackupFolder::isDatabase(*sms)) {
        fail(error, "the backup's sms.db (" + *sms + ") is not a database: the backup is encrypted or damaged. " +
                        BackupFolder::kEncryptedAdvice);
        return std::nullopt;
    }
    // Its quick check is made on the staged copy (checkStagedSms).
    found.smsDatabase = *sms;
    found.decrypted = backup.encrypted();
    // Listed but missing, the -wal is refused like sms.db itself: the newest
    // messages would be missing without a word.
    found.smsWal = backup.find(BackupFolder::kHomeDomain, BackupFolder::kSmsWalPath, &problem);
    if (!problem.empty()) {
        fail(error, problem);
        return std::nullopt;
    }
    // A backup without an address book still has messages to count, and so
    // has one that lists it without holding it (trimmed, or made while the
    // file was being replaced): only the names are missing.
    found.addressBook = backup.find(BackupFolder::kHomeDomain, BackupFolder::kAddressBookPath, &problem,
                                    &found.addressBookListedButAbsent);
    if (!problem.empty() && !found.addressBookListedButAbsent) {
        fail(error, problem);
        return std::nullopt;
    }
    if (found.addressBook && !wellFormed(*found.addressBook, "address book", error)) return std::nullopt;
    return found;
}

bool BackupImport::wellFormed(const std::string& path, const char* what, std::string* error, const std::string& shown) {
    // A backup's files come from outside; one whose pages or records are
    // damaged (or crafted) is refused before it replaces anything.
    std::string problem;
    if (SqliteHardening::quickCheck(path, &problem)) return true;
    return fail(error, std::string("the backup's ") + what + " (" + (shown.empty() ? path : shown) + ") is damaged (" +
                           problem + "); make a new backup with 'idevicebackup2 backup --full DIR'");
}

bool BackupImport::checkStagedSms(const std::string& path, const std::string& shown, const std::string& version,
                                  long long& longTexts, std::string* error) {
    // Both reads go through the whole file, the one of a gigabyte sms.db
    // for seconds; side by side, on a connection each, they take the time
    // of the longer one where there are two cores. The count is of use only
    // once the checks passed.
    long long counted = 0;
    std::thread counter;
    try {
        counter = std::thread([&counted, &path] { counted = countLongTexts(path); });
    } catch (const std::system_error&) {
        counted = countLongTexts(path);  // no thread to be had: one after the other
    }
    const bool readable = wellFormed(path, "sms.db", error, shown) && syncCanRead(path, version, error);
    if (counter.joinable()) counter.join();
    longTexts = counted;
    return readable;
}

bool BackupImport::syncCanRead(const std::string& path, const std::string& version, std::string* error) {
    // A backup can say one system version and hold the sms.db of another
    // (restored from a newer phone, or made up); imported as it is, it would
    // be "Imported" and every sync after it would fail. The root will pick
    // the read by this version, so the file is read here as the sync will.
    SqliteDatabase db;
    std::unique_ptr<SmsReader> read;
    SmsRow first;
    std::string why;
    if (!db.open(path, SqliteDatabase::Mode::Untrusted)) {
        why = db.lastError();
    } else if (!(read = SmsReader::openFile(db, version))) {
        why = layoutMismatch(db, SystemVersion::isSixOrLater(version));
    } else if (!read->start(ReadFrom{}) || read->next(first) == SmsReader::Next::Error) {
        why = db.lastError();
    }
    if (why.empty()) return true;
    return fail(error, "this backup's sms.db does not fit its system version " + version + ": " + why +
                           ". A sync could not read it, so nothing was imported; make a new backup of the phone with "
                           "'idevicebackup2 backup --full DIR'");
}

std::optional<std::string> BackupImport::phoneInRoot() {
    if (const auto record = PropertyList::readFromFile(phoneFile())) {
        const auto udid = record->stringValue(kUdidKey);
        if (udid && !udid->empty()) return udid;
    }
    if (holdsMessages(DevicePaths::smsDatabase())) return std::string();
    for (const std::string& database : PhoneProfile::allCounterDatabases())
        if (holdsMessages(database)) return std::string();
    return std::nullopt;
}

bool BackupImport::holdsMessages(const std::string& database) {
    std::error_code failure;
    if (!fs::exists(database, failure)) return false;
    SqliteDatabase db;
    SqliteStatement statement;
    // A file that cannot be read may hold anything: it counts as holding
    // messages, so it is replaced only on request.
    if (!db.open(database, SqliteDatabase::Mode::ReadOnly) ||
        !statement.prepare(db, "SELECT EXISTS (SELECT 1 FROM message)"))
        return true;
    return statement.step() != SqliteStatement::Step::Row || statement.columnInt(0) != 0;
}

bool BackupImport::refuseOtherPhone(const BackupFolder::Phone& phone, const std::optional<std::string>& previous,
                                    bool force, std::string* error) {
    if (!previous || BackupFolder::sameIdentifier(*previous, phone.udid) || force) return true;
    const std::string holder = previous->empty() ? "the messages of a phone it has no record of"
                                                 : "the messages of another phone (" + *previous + ")";
    return fail(error, "the device root " + DevicePaths::root() + " holds " + holder + "; importing the backup of " +
                           describePhone(phone) +
                           " would count both phones' messages together. Import it into another device root "
                           "(set BRINDLEX_DEVICE_ROOT), or add --force to replace the phone: its counter "
                           "databases are kept aside and counting starts afresh");
}

bool BackupImport::stageFiles(DeviceRootTransaction& transaction, const Found& found, std::string* error) {
    return stageDatabase(transaction, found.smsDatabase, found.smsWal, DevicePaths::smsDatabase(), found.decrypted,
                         error) &&
           stageDatabase(transaction, found.addressBook, std::nullopt, DevicePaths::addressBook(), found.decrypted,
                         error);
}

bool BackupImport::stageDatabase(DeviceRootTransaction& transaction, const std::optional<std::string>& source,
                                 const std::optional<std::string>& wal, const std::string& target, bool move,
                                 std::string* error) {
    // A backup's own files are copied: nothing here changes the backup. A
    // decrypted copy is this import's alone, and a second write of a
    // gigabyte sms.db would double the import's time.
    const auto stage = [&](const std::string& from, const std::string& to) {
        return move ? transaction.stageMove(from, to, error) : transaction.stageCopy(from, to, error);
    };
    if (source && !transaction.makeDirectories(parentOf(target), error)) return false;
    // The sidecars go first and the database last: a stale -wal or -shm
    // beside the new file would be played into it, and a new -wal beside
    // the old file likewise.
    for (const char* sidecar : {"-shm", "-journal"})
        if (!transaction.stageRemoval(target + sidecar, {}, error)) return false;
    if (wal ? !stage(*wal, target + "-wal") : !transaction.stageRemoval(target + "-wal", {}, error)) return false;
    // Without a source the root's old file goes too: the root holds what the
    // backup holds, and a missing address book reads as an empty one.
    return source ? stage(*source, target) : transaction.stageRemoval(target, {}, error);
}

long long BackupImport::countLongTexts(const std::string& path) {
    SqliteDatabase db;
    if (!db.open(path, SqliteDatabase::Mode::Untrusted)) return 0;
    // Most files hold no text over the cap, and one plain scan proves it:
    // length() of a blob is read from the row header, and a text is loaded,
    // except one over the cap on value lengths, which SQLite refuses to load
    // and the statement fails. Sizing each row through the blob handle below
    // costs three times as much.
    SqliteStatement scan;
    if (scan.prepare(db, "SELECT count(*) FROM message WHERE length(text) > ?1")) {
        scan.bindInt(1, SqliteHardening::kMaxValueBytes);
        if (scan.step() == SqliteStatement::Step::Row) return scan.columnInt(0);
    }
    SqliteStatement rows;
    // typeof() reads a value's type from the row header without loading it.
    if (!rows.prepare(db, "SELECT ROWID FROM message WHERE typeof(text) IN ('text', 'blob')")) return 0;
    // The blob handle learns each size from the row header too, and the cap
    // on value lengths does not stop it.
    SqliteBlob text(db, "message", "text");
    long long count = 0;
    while (rows.step() == SqliteStatement::Step::Row)
        if (text.moveTo(rows.columnInt(0)) && text.bytes() > SqliteHardening::kMaxValueBytes) ++count;
    return count;
}

bool BackupImport::stageDeviceRecords(DeviceRootTransaction& transaction, const BackupFolder& backup,
                                      const std::string& directory, std::string* error) {
    const auto& phone = backup.phone();
    PropertyList version;
    version.setString("ProductName", "iPhone OS");
    version.setString("ProductVersion", phone.productVersion);
    if (!phone.buildVersion.empty()) version.setString("ProductBuildVersion", phone.buildVersion);

    PropertyList record;
    record.setString(kUdidKey, phone.udid);
    record.setString("DeviceName", phone.deviceName);
    record.setString("ProductVersion", phone.productVersion);
    BackupOrigin::describe(record, directory, backup.path());

    const std::string documents = DevicePaths::mobileHome() + "/Documents";
    return transaction.makeDirectories(parentOf(DevicePaths::systemVersionPlist()), error) &&
           transaction.stageContents(version.toXml(), DevicePaths::systemVersionPlist(), error) &&
           transaction.makeDirectories(DevicePaths::dataDirectory(), error) &&
           transaction.makeDirectories(documents, error) &&
           transaction.stageContents(record.toXml(), phoneFile(), error);
}

bool BackupImport::stageFreshCount(DeviceRootTransaction& transaction, const std::optional<std::string>& previous,
                                   Outcome& outcome, std::string* error) {
    // Another phone's counts are kept, not deleted: they are the one record
    // of messages its owner may since have deleted.
    if (previous) {
        for (const std::string& database : PhoneProfile::allCounterDatabases()) {
            if (!fs::exists(database)) continue;
            const std::string kept = keptName(database, *previous);
            if (!transaction.stageRemoval(database, kept, error)) return false;
            outcome.keptCounterDatabases.push_back(kept);
            for (const char* sidecar : kSidecars)
                if (!transaction.stageRemoval(database + sidecar, kept + sidecar, error)) return false;
        }
    }
    // The markers of another phone, or of none, would skip this phone's
    // older messages. Other settings (quota, billing day) are the user's.
    auto settings = PropertyList::readFromFile(DevicePaths::settingsFile());
    if (!settings) return true;
    settings->setInteger(SettingsKeys::kLastSyncReceived, 0);
    settings->setInteger(SettingsKeys::kLastSyncSent, 0);
    return transaction.stageContents(settings->toXml(), DevicePaths::settingsFile(), error);
}

std::string BackupImport::keptName(const std::string& counterDatabase, const std::string& previous) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const fs::path path(counterDatabase);
    const std::string owner = previous.empty() ? "unrecorded-phone" : fileNamePart(previous);
    return (path.parent_path() / (path.stem().string() + "-" + owner + "-" + stamp + path.extension().string()))
        .string();
}
