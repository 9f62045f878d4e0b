#pragma once

#include <string>
#include <string_view>

struct sqlite3;

// One open SQLite connection, closed when the object goes. Every connection
// waits for the other process's locks (busy timeout) instead of failing at
// once: the app and the daemon open the same counter database.
class SqliteDatabase {
public:
    // Snapshot: read only, for a file nobody changes while it is open (a
    // folder of someone else's files): no locks are taken and no -wal or
    // -shm file is ever created beside it, whatever its journal mode.
    // Untrusted: read only, for a file someone else wrote that may be
    // crafted (the phone's sms.db and address book); Snapshot and Untrusted
    // connections are hardened as SqliteHardening describes.
    enum class Mode { ReadOnly, ReadWrite, ReadWriteCreate, Snapshot, Untrusted };

    static constexpr int kBusyTimeoutMs = 5000;

    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(SqliteDatabase&& other) noexcept;
    SqliteDatabase& operator=(SqliteDatabase&& other) noexcept;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // False when the file cannot be opened in that mode. ReadOnly and
    // ReadWrite never create a file.
    bool open(const std::string& path, Mode mode);
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // Runs statements without results; false on the first failure.
    bool exec(const std::string& sql);
    // SQLite's message for the last failure on this connection, or why the
    // last open failed.
    std::string lastError() const;
    // SQLite's result code of the last call on this connection (extended
    // codes included); 0 when it succeeded.
    int errorCode() const;
    // The last failure was a lock that another connection held past the busy
    // timeout (as opposed to a missing table, a damaged file, ...).
    bool lastErrorIsBusy() const;
    // The last failure was a value longer than the connection's length limit.
    bool lastErrorIsTooBig() const;
    // The last failure was a full disk.
    bool lastErrorIsDiskFull() const;
    // One line on standard error: `doing`, then lastError() (see ProgramLog).
    void logFailure(std::string_view doing) const;
    long long lastInsertRowid() const;
    int changes() const;
    // A transaction is open on this connection (BEGIN ran, and neither
    // COMMIT nor ROLLBACK, nor SQLite itself, has ended it yet).
    bool inTransaction() const;
    // Replaces kBusyTimeoutMs for this connection.
    void setBusyTimeout(int milliseconds);

    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
    std::string openError_;
    int openErrorCode_ = 0;
};
