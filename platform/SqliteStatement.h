#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;
class SqliteDatabase;

// One prepared statement, finalized when the object goes. Indexes are
// SQLite's: parameters count from 1, result columns from 0.
class SqliteStatement {
public:
    enum class Step { Row, Done, Error };

    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // False when the statement cannot be prepared (no such table or column,
    // not a database, ...).
    bool prepare(const SqliteDatabase& db, std::string_view sql);
    bool isPrepared() const { return stmt_ != nullptr; }
    void finalize();

    void bindInt(int index, std::int64_t value);
    void bindNull(int index);
    // The text is copied by SQLite.
    void bindText(int index, std::string_view text);
    // SQLite keeps only the pointer: `text` must stay valid until the next
    // step or reset of this statement. A null `text` binds NULL.
    void bindTextNoCopy(int index, const char* text, int bytes);
    // NULL for nothing, else the value (a text copied).
    void bindOptionalText(int index, const std::optional<std::string>& text);
    void bindOptionalInt(int index, std::optional<std::int64_t> value);

    Step step();
    void reset();
    void clearBindings();

    bool columnIsNull(int column) const;
    std::int64_t columnInt(int column) const;
    // The text and its length in bytes; valid until the next step or reset.
    const char* columnText(int column, int* bytes = nullptr) const;
    std::string columnString(int column) const;
    // Nothing for NULL, else the value.
    std::optional<std::string> columnOptionalString(int column) const;
    std::optional<std::int64_t> columnOptionalInt(int column) const;
    // The bytes of a blob column and their count; null for NULL or an empty
    // blob. Valid until the next step or reset.
    const unsigned char* columnBlob(int column, int* bytes) const;
    // Length in bytes of the text last fetched from `column`.
    int columnBytes(int column) const;

    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};
