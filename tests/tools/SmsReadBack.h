#pragma once

#include "platform/SqliteDatabase.h"
#include "common/SmsReader.h"
#include "platform/SqliteStatement.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reads sms.db back with the very statements the counter's sync runs on the
// schema before 6.0 and on 6.x, so a fixture that drifts from what the sync
// expects fails here first. Unlike the sync, it keeps the rows the sync
// passes over (no address, another direction), for tests of the raw rows.
struct ReadBackRow {
    std::optional<std::string> address;
    std::int64_t date = 0;  // Unix seconds
    std::optional<std::string> text;
    int flags = 0;
    std::string type;  // New schema only

    bool operator==(const ReadBackRow&) const = default;
};

namespace sms_read_back {

inline std::optional<std::string> optionalText(const SqliteStatement& statement, int column) {
    if (statement.columnIsNull(column)) return std::nullopt;
    return statement.columnString(column);
}

// Every row the statement yields; nothing when it cannot be prepared.
inline std::optional<std::vector<ReadBackRow>> read(const std::string& path, bool sixOrLater,
                                                    std::int64_t receivedFrom = 0, std::int64_t sentFrom = 0) {
    SqliteDatabase db;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly)) return std::nullopt;
    SqliteStatement statement;
    if (!statement.prepare(db, sixOrLater ? SmsReader::kIos6ReadSql : SmsReader::kOldReadSql)) return std::nullopt;
    statement.bindInt(1, sentFrom);
    statement.bindInt(2, receivedFrom);
    std::vector<ReadBackRow> rows;
    while (statement.step() == SqliteStatement::Step::Row) {
        ReadBackRow row;
        row.address = optionalText(statement, 0);
        row.date = statement.columnInt(1);
        row.text = optionalText(statement, 2);
        row.flags = static_cast<int>(statement.columnInt(3));
        if (sixOrLater) row.type = statement.columnString(4);
        rows.push_back(std::move(row));
    }
    return rows;
}

// The first column of the first row of a query, for looking at raw columns.
inline std::optional<std::int64_t> scalar(const std::string& path, const std::string& sql) {
    SqliteDatabase db;
    SqliteStatement statement;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly) || !statement.prepare(db, sql)) return std::nullopt;
    if (statement.step() != SqliteStatement::Step::Row) return std::nullopt;
    return statement.columnInt(0);
}

}  // namespace sms_read_back
