#include "common/SmsDatabaseSource.h"

#include "platform/ProgramLog.h"

SyncStatus SmsDatabaseSource::open() {
    if (sms_.open(path_, SqliteDatabase::Mode::Untrusted)) return SyncStatus::Ok;
    sms_.logFailure("syncing: opening " + path_);
    return SyncStatus::CannotOpenSmsDatabase;
}

SyncStatus SmsDatabaseSource::beginRead() {
    if (!sms_.exec("BEGIN")) {
        sms_.logFailure("syncing: reading " + path_);
        return SyncStatus::CannotReadSmsDatabase;
    }
    reader_ = SmsReader::openFile(sms_, systemVersion_);
    if (reader_) return SyncStatus::Ok;
    // A file SQLite reads well but whose tables are not the phone's leaves
    // no message of SQLite's own.
    const std::string doing = "syncing: reading the messages of " + path_;
    if (sms_.errorCode() == 0)
        ProgramLog::failure(doing, "its tables are none of the known sms.db layouts");
    else
        sms_.logFailure(doing);
    return SyncStatus::CannotReadSmsDatabase;
}

void SmsDatabaseSource::endRead() {
    if (reader_) reader_->finalize();
    sms_.exec("COMMIT");
}
