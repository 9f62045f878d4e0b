#pragma once

#include "common/Direction.h"
#include "platform/SqliteStatement.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SqliteDatabase;

// One message of sms.db as the counter database stores it. The pointers stay
// valid until the reader moves on.
struct SmsRow {
    const char* address = nullptr;  // never null or empty
    int addressBytes = 0;
    std::int64_t date = 0;       // Unix seconds
    const char* text = nullptr;  // null for a NULL body
    int textBytes = 0;
    Direction flags = Direction::Received;
    const char* type = nullptr;  // the service name; null when unknown or in the old schema
    int typeBytes = 0;
};

// Reads the messages that a sync copies out of the phone's sms.db, in the
// platform's insertion order, from two markers on (per direction, in Unix
// seconds).
//
// Three layouts are told apart by the file's own tables and columns, not by
// the system version:
// - the schema before 6.0 (a message table with address and flags);
// - 6.x, the start of the family that has a handle table: read as it always
//   was, one row per message that has a handle;
// - the later members of that family (7 and on, recognised by the columns
//   they appended), where sent messages often carry no handle and are
//   reached through their chat (one row per recipient of a group, since the
//   carrier bills each), dates are nanoseconds from 11 on, the body may sit
//   only in attributedBody, and reactions, system rows and failed sends are
//   rows that are no text message at all and are left out.
class SmsReader {
public:
    enum class Next { Row, Done, Error };

    // Every statement walks the message table itself in ROWID order, never an
    // index followed by a sort: then rows come out as they are read, and a page
    // damaged in the middle of the file ends the read there, after the rows
    // before it, instead of failing it before the first row.
    static constexpr const char* kOldReadSql =
        "select address, date, text,flags from message NOT INDEXED where (date >=? AND flags = 3) OR (date >=? AND "
        "flags = 2) order by ROWID asc";

    // Each direction has its own lower bound: a single bound (the larger marker)
    // would skip sent messages dated between the two markers. Parameter 1 is the
    // sent marker, parameter 2 the received one.
    static constexpr const char* kIos6ReadSql =
        "SELECT h.id as address,(date + 978307200) as date, text as text, CASE is_from_me  WHEN 0 THEN 2 WHEN 1 "
        "THEN 3 ELSE 0 END as flags, m.service as type FROM message m NOT INDEXED CROSS JOIN handle h WHERE "
        "h.rowid = m.handle_id AND "
        "((m.is_from_me = 1 AND m.date >= (? - 978307200)) OR (m.is_from_me = 0 AND m.date >= (? - 978307200))) "
        "ORDER BY m.rowid ASC";

    // False when the file's tables are not one of the layouts (or it cannot
    // be read). `newSchema` is the system version's choice; a file of the
    // other family does not fit it.
    bool prepare(const SqliteDatabase& sms, bool newSchema, std::int64_t receivedFrom, std::int64_t sentFrom);

    // The next row to copy. Rows that cannot be copied (no address, no
    // direction, no date) are passed over; Error when the file could not be
    // read further (a damaged page).
    Next next(SmsRow& row);

    // The read statement for this file (parameter 1 the sent marker, 2 the
    // received one, 3 whether undated rows are wanted); nothing when its
    // tables fit no layout.
    static std::optional<std::string> readStatement(const SqliteDatabase& sms, bool newSchema);

    // Rows passed over for want of a date, so far.
    long long undatedRows() const { return undated_; }

    // Unix seconds of a date column of the 6.x family: seconds since 2001
    // up to 10, nanoseconds since 11, told apart per value.
    static std::int64_t unixFromPlatformDate(std::int64_t platformDate);

    void finalize() { read_.finalize(); }

private:
    enum class Layout { Old, Ios6, Modern };

    static std::optional<std::string> readStatement(const SqliteDatabase& sms, bool newSchema, Layout& layout);
    bool nextModernRow(SmsRow& row);
    void takeModernText(SmsRow& row);

    Layout layout_ = Layout::Old;
    SqliteStatement read_;
    long long undated_ = 0;
    std::int64_t currentMessage_ = -1;
    std::vector<std::string> currentRecipients_;  // addresses already given for it
    std::string text_;                            // a body the reader had to rewrite or extract
};
