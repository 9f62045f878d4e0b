#include "platform/SqliteBlob.h"

#include "platform/SqliteDatabase.h"

#include <sqlite3.h>

#include <algorithm>

SqliteBlob::SqliteBlob(const SqliteDatabase& db, std::string table, std::string column)
    : db_(db), table_(std::move(table)), column_(std::move(column)) {}

SqliteBlob::~SqliteBlob() { sqlite3_blob_close(blob_); }

bool SqliteBlob::moveTo(std::int64_t rowid) {
    // Moving an open handle reuses its compiled statement; a handle that
    // failed to move is closed by SQLite's rules and opened afresh.
    if (blob_ && sqlite3_blob_reopen(blob_, rowid) == SQLITE_OK) return true;
    sqlite3_blob_close(blob_);
    blob_ = nullptr;
    if (sqlite3_blob_open(db_.handle(), "main", table_.c_str(), column_.c_str(), rowid, 0, &blob_) == SQLITE_OK)
        return true;
    sqlite3_blob_close(blob_);
    blob_ = nullptr;
    return false;
}

std::size_t SqliteBlob::bytes() const { return blob_ ? static_cast<std::size_t>(sqlite3_blob_bytes(blob_)) : 0; }

std::optional<std::string> SqliteBlob::readFirst(std::size_t count) const {
    if (!blob_) return std::nullopt;
    std::string value(std::min(count, bytes()), '\0');
    if (!value.empty() && sqlite3_blob_read(blob_, value.data(), static_cast<int>(value.size()), 0) != SQLITE_OK)
        return std::nullopt;
    return value;
}
