#include "platform/SqliteStatement.h"

#include "platform/SqliteDatabase.h"

#include <sqlite3.h>

#include <utility>

SqliteStatement::~SqliteStatement() { finalize(); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept : stmt_(std::exchange(other.stmt_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        finalize();
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

bool SqliteStatement::prepare(const SqliteDatabase& db, std::string_view sql) {
    finalize();
    if (!db.isOpen()) return false;
    if (sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        return false;
    }
    return stmt_ != nullptr;  // an empty statement text prepares to nothing
}

void SqliteStatement::finalize() {
    if (stmt_) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

void SqliteStatement::bindInt(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

void SqliteStatement::bindNull(int index) { sqlite3_bind_null(stmt_, index); }

void SqliteStatement::bindText(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindTextNoCopy(int index, const char* text, int bytes) {
    sqlite3_bind_text(stmt_, index, text, bytes, SQLITE_STATIC);
}

void SqliteStatement::bindOptionalText(int index, const std::optional<std::string>& text) {
    if (text)
        bindText(index, *text);
    else
        bindNull(index);
}

void SqliteStatement::bindOptionalInt(int index, std::optional<std::int64_t> value) {
    if (value)
        bindInt(index, *value);
    else
        bindNull(index);
}

SqliteStatement::Step SqliteStatement::step() {
    if (!stmt_) return Step::Error;
    switch (sqlite3_step(stmt_)) {
    case SQLITE_ROW: return Step::Row;
    case SQLITE_DONE: return Step::Done;
    default: return Step::Error;
    }
}

void SqliteStatement::reset() {
    if (stmt_) sqlite3_reset(stmt_);
}

void SqliteStatement::clearBindings() {
    if (stmt_) sqlite3_clear_bindings(stmt_);
}

bool SqliteStatement::columnIsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

std::int64_t SqliteStatement::columnInt(int column) const { return sqlite3_column_int64(stmt_, column); }

const char* SqliteStatement::columnText(int column, int* bytes) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (bytes) *bytes = sqlite3_column_bytes(stmt_, column);
    return reinterpret_cast<const char*>(text);
}

std::string SqliteStatement::columnString(int column) const {
    int bytes = 0;
    const char* text = columnText(column, &bytes);
    return text ? std::string(text, static_cast<std::size_t>(bytes)) : std::string();
}

std::optional<std::string> SqliteStatement::columnOptionalString(int column) const {
    if (columnIsNull(column)) return std::nullopt;
    return columnString(column);
}

std::optional<std::int64_t> SqliteStatement::columnOptionalInt(int column) const {
    if (columnIsNull(column)) return std::nullopt;
    return columnInt(column);
}

const unsigned char* SqliteStatement::columnBlob(int column, int* bytes) const {
    const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(stmt_, column));
    *bytes = data ? sqlite3_column_bytes(stmt_, column) : 0;
    return data;
}

int SqliteStatement::columnBytes(int column) const { return sqlite3_column_bytes(stmt_, column); }
