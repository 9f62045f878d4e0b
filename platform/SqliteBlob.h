#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct sqlite3_blob;
class SqliteDatabase;

// An incremental handle on one column of a table, moved from row to row.
// It learns a value's size from the row's header and reads it piece by
// piece, so a value longer than the connection's length limit (which fails
// any statement that loads it) can still be measured, or read in part.
class SqliteBlob {
public:
    SqliteBlob(const SqliteDatabase& db, std::string table, std::string column);
    ~SqliteBlob();
    SqliteBlob(const SqliteBlob&) = delete;
    SqliteBlob& operator=(const SqliteBlob&) = delete;

    // Points the handle at the value of `rowid`; false when there is no such
    // row or its value is neither text nor blob (NULL, a number).
    bool moveTo(std::int64_t rowid);
    // The size in bytes of the value it points at.
    std::size_t bytes() const;
    // The first `count` bytes at most of that value; nothing when it cannot
    // be read.
    std::optional<std::string> readFirst(std::size_t count) const;

private:
    const SqliteDatabase& db_;
    std::string table_;
    std::string column_;
    sqlite3_blob* blob_ = nullptr;
};
