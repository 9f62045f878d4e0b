#include "platform/SqliteDatabase.h"

#include "platform/SqliteHardening.h"
#include "platform/PrivateFiles.h"
#include "platform/ProgramLog.h"

#include <sqlite3.h>

#include <cstdio>
#include <unistd.h>
#include <utility>

namespace {

// A path as a file: URI; every byte outside the unreserved set is
// percent-encoded, so '?', '#' and '%' in a folder name stay part of the path.
std::string fileUri(const std::string& path, const char* query) {
    std::string uri = "file:";
    for (const unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                           c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri + "?" + query;
}

}  // namespace

SqliteDatabase::~SqliteDatabase() { close(); }

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), openError_(std::move(other.openError_)),
      openErrorCode_(other.openErrorCode_) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        openError_ = std::move(other.openError_);
        openErrorCode_ = other.openErrorCode_;
    }
    return *this;
}

bool SqliteDatabase::open(const std::string& path, Mode mode) {
    close();
    int flags = SQLITE_OPEN_READONLY;
    if (mode == Mode::ReadWrite) flags = SQLITE_OPEN_READWRITE;
    if (mode == Mode::ReadWriteCreate) flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (mode == Mode::Snapshot) flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
    const std::string name = mode == Mode::Snapshot ? fileUri(path, "mode=ro&immutable=1") : path;
    // SQLite would create the file 0644 less the umask, and its -wal and
    // -shm files follow the database's mode: made 0600 first, every one of
    // them stays the user's alone.
    if (mode == Mode::ReadWriteCreate && !path.empty() && path != ":memory:") {
        const int fd = PrivateFiles::createFile(path);
        if (fd >= 0) ::close(fd);
    }
    // A connection is used by one thread at a time (each operation opens its
    // own), so it needs no mutex of its own: without it every call into
    // SQLite (a bind, a column, a step, per row of a sync) skips a lock.
    flags |= SQLITE_OPEN_NOMUTEX;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        // A handle comes back even on failure and must be closed; its
        // message is kept for lastError().
        openError_ = db ? sqlite3_errmsg(db) : "out of memory";
        openErrorCode_ = db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM;
        sqlite3_close(db);
        return false;
    }
    openError_.clear();
    openErrorCode_ = 0;
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if ((mode == Mode::Snapshot || mode == Mode::Untrusted) && !SqliteHardening::apply(db)) {
        sqlite3_close(db);
        return false;
    }
    db_ = db;
    return true;
}

void SqliteDatabase::close() {
    if (db_) {
        // close_v2 defers the close until every statement is finalized, so a
        // forgotten statement can never leave a dangling handle behind.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool SqliteDatabase::exec(const std::string& sql) {
    return db_ && sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string SqliteDatabase::lastError() const {
    if (db_) return sqlite3_errmsg(db_);
    return openError_.empty() ? "database not open" : openError_;
}

int SqliteDatabase::errorCode() const { return db_ ? sqlite3_extended_errcode(db_) : openErrorCode_; }

bool SqliteDatabase::lastErrorIsBusy() const {
    const int primary = errorCode() & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool SqliteDatabase::lastErrorIsTooBig() const { return (errorCode() & 0xff) == SQLITE_TOOBIG; }

bool SqliteDatabase::lastErrorIsDiskFull() const { return (errorCode() & 0xff) == SQLITE_FULL; }

void SqliteDatabase::logFailure(std::string_view doing) const { ProgramLog::failure(doing, lastError()); }

long long SqliteDatabase::lastInsertRowid() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

int SqliteDatabase::changes() const { return db_ ? sqlite3_changes(db_) : 0; }

bool SqliteDatabase::inTransaction() const { return db_ && sqlite3_get_autocommit(db_) == 0; }

void SqliteDatabase::setBusyTimeout(int milliseconds) {
    if (db_) sqlite3_busy_timeout(db_, milliseconds);
}
