#pragma once

// The rows of the counter database of the current system version, in
// insertion order, for tests that check what a sync stored.
#include "common/PhoneProfile.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/SystemVersion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CounterRow {
    std::string address;
    std::int64_t date;
    std::optional<std::string> text;
    int flags;
    int smscount;
    std::optional<std::string> type;  // NULL, and always so before 6.0
};

inline std::vector<CounterRow> counterRows() {
    const PhoneProfile profile = PhoneProfile::find();
    SqliteDatabase db;
    EXPECT_TRUE(db.open(profile.counterDatabase(), SqliteDatabase::Mode::ReadOnly));
    SqliteStatement rows;
    const std::string type = profile.counterKeepsService() ? "type" : "NULL";
    EXPECT_TRUE(
        rows.prepare(db, "select address, date, text, flags, smscount, " + type + " from message order by rowid"));
    std::vector<CounterRow> out;
    while (rows.step() == SqliteStatement::Step::Row) {
        CounterRow row{rows.columnString(0),
                       rows.columnInt(1),
                       std::nullopt,
                       static_cast<int>(rows.columnInt(3)),
                       static_cast<int>(rows.columnInt(4)),
                       std::nullopt};
        if (!rows.columnIsNull(2)) row.text = rows.columnString(2);
        if (!rows.columnIsNull(5)) row.type = rows.columnString(5);
        out.push_back(row);
    }
    return out;
}
