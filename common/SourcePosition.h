#pragma once

#include "platform/SqliteStatement.h"

#include <cstdint>
#include <optional>
#include <string>

// One message of the phone's sms.db, named the way the phone names it: its
// ROWID, which only grows (the table is AUTOINCREMENT in every schema), and
// what tells this message apart from another that a different or restored
// phone keeps under the same ROWID: its guid where the schema has one (from
// 6.0), else its date, address, direction and text.
struct SourcePosition {
    std::int64_t rowid = 0;
    std::optional<std::string> guid;
    std::optional<std::int64_t> date;  // the date column as the phone stores it
    std::optional<std::string> address;
    std::optional<std::int64_t> flags;
    std::optional<std::string> text;

    // The same message of the same phone: the guids agree when both have
    // one, otherwise everything else does.
    bool sameMessageAs(const SourcePosition& other) const {
        if (rowid != other.rowid) return false;
        if (guid && other.guid) return *guid == *other.guid;
        return date == other.date && address == other.address && flags == other.flags && text == other.text;
    }

    // The fields from columns 0 to 5 of `row`, in the order above; both the
    // phone's file and the counter database's copy are read so.
    static SourcePosition fromRow(const SqliteStatement& row) {
        return SourcePosition{row.columnInt(0),         row.columnOptionalString(1),
                              row.columnOptionalInt(2), row.columnOptionalString(3),
                              row.columnOptionalInt(4), row.columnOptionalString(5)};
    }

    // Every field alike: the mark as stored needs no rewrite.
    bool operator==(const SourcePosition&) const = default;
};
