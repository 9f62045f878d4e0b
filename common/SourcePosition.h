#pragma once

#include <cstdint>
#include <optional>
#include <string>

// One message of the phone's sms.db, named the way the phone names it: its
// ROWID, which only grows (the table is AUTOINCREMENT in every schema), and
// what tells this message apart from another that a different or restored
// phone keeps under the same ROWID: its guid where the schema has one (from
// 6.0), else its date and address.
struct SourcePosition {
    std::int64_t rowid = 0;
    std::optional<std::string> guid;
    std::optional<std::int64_t> date;  // the date column as the phone stores it
    std::optional<std::string> address;

    // The same message of the same phone: the guids agree when both have
    // one, otherwise date and address do.
    bool sameMessageAs(const SourcePosition& other) const {
        if (rowid != other.rowid) return false;
        if (guid && other.guid) return *guid == *other.guid;
        return date == other.date && address == other.address;
    }
};
