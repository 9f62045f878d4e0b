#pragma once

#include <string>

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
    std::string lastError() const;
    long long lastInsertRowid() const;
    int changes() const;

    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};
