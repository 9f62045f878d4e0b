#pragma once

#include "common/Direction.h"
#include "common/SourcePosition.h"
#include "platform/SqliteStatement.h"

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
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
    std::int64_t rowid = 0;  // the message's ROWID in sms.db (a group send gives several rows of one)
};

// Where a read starts: after a ROWID, and, for a counter database that has
// no mark yet, also from two date markers (per direction, Unix seconds).
struct ReadFrom {
    std::int64_t afterRowid = INT64_MIN;       // every message
    std::optional<std::int64_t> receivedFrom;  // both or neither
    std::optional<std::int64_t> sentFrom;
};

// Reads the messages that a sync copies out of the phone's sms.db, in the
// platform's insertion order (ROWID), from a ROWID on.
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
// Columns a file lacks read as NULL, and the chat tables are needed only for
// messages without a handle.
//
// A text longer than SQLite's value cap (SqliteHardening::kMaxValueBytes)
// would fail the read at that row on every sync; such a message is read
// with its text cut to the cap instead.
class SmsReader {
public:
    enum class Next { Row, Done, Error };

    // The statements the design gives for the two schemas (parameter 1 the
    // sent marker, 2 the received one); the reader's own statements add the
    // ROWID and the columns a later phone needs.
    static constexpr const char* kOldReadSql =
        "select address, date, text,flags from message NOT INDEXED where (date >=? AND flags = 3) OR (date >=? AND "
        "flags = 2) order by ROWID asc";
    static constexpr const char* kIos6ReadSql =
        "SELECT h.id as address,(date + 978307200) as date, text as text, CASE is_from_me  WHEN 0 THEN 2 WHEN 1 "
        "THEN 3 ELSE 0 END as flags, m.service as type FROM message m NOT INDEXED CROSS JOIN handle h WHERE "
        "h.rowid = m.handle_id AND "
        "((m.is_from_me = 1 AND m.date >= (? - 978307200)) OR (m.is_from_me = 0 AND m.date >= (? - 978307200))) "
        "ORDER BY m.rowid ASC";

    // Reads the file's tables and columns, once for everything below. False
    // when they are not one of the layouts (or cannot be read). `newSchema`
    // is the system version's choice; a file of the other family does not
    // fit it.
    bool open(const SqliteDatabase& sms, bool newSchema);

    // Starts reading from `from`, from the beginning again when called
    // again; false when the statement cannot be prepared.
    bool start(const ReadFrom& from);

    // The next row to copy. Rows that cannot be copied (no address, no
    // direction, no date) are passed over; Error when the file could not be
    // read further (a damaged page).
    Next next(SmsRow& row);

    // The ROWID of the last message every row of which has been handed out
    // or passed over; nothing before the first. A message whose rows are
    // still coming (a group send) is not complete yet.
    std::optional<std::int64_t> lastComplete() const { return complete_; }

    // The message now stored under `rowid`; nothing when there is none.
    std::optional<SourcePosition> positionAt(std::int64_t rowid) const;
    // The message with the highest ROWID; nothing for an empty table.
    std::optional<SourcePosition> newestPosition() const;
    // The highest ROWID the phone ever gave a message (its AUTOINCREMENT
    // counter, which deleting messages does not lower).
    std::int64_t highestRowidEverUsed() const;

    // The read statement for this file from a ROWID on (parameter 1);
    // nothing when its tables fit no layout.
    static std::optional<std::string> readStatement(const SqliteDatabase& sms, bool newSchema);

    const SqliteDatabase& database() const { return *sms_; }
    bool newSchema() const { return layout_ != Layout::Old; }

    // Rows passed over for want of a date, so far.
    long long undatedRows() const { return undated_; }

    // Unix seconds of a date column of the 6.x family: seconds since 2001
    // up to 10, nanoseconds since 11, told apart per value.
    static std::int64_t unixFromPlatformDate(std::int64_t platformDate);

    void finalize() { read_.finalize(); }

    enum class Layout { Old, Ios6, Modern };

private:
    // The message the select of the mark finds with `tail` (bound to `rowid`
    // when given).
    std::optional<SourcePosition> position(const char* tail, std::optional<std::int64_t> rowid) const;
    bool prepareStatement(bool withBodies, std::int64_t afterRowid);
    void notePosition();
    bool takeRow(SmsRow& row);
    bool nextModernRow(SmsRow& row);
    bool firstTimeRecipient(const SmsRow& row);
    void takeText(SmsRow& row);
    void takeModernText(SmsRow& row);
    bool readOnWithoutBodies();
    enum class Oversized { Take, BodiesBack, Failed };
    Oversized passOversizedRow();
    void takeOversizedText(std::int64_t rowid);
    void takeCutText(SmsRow& row);

    // Made by open() from the file's tables: the read statements from a ROWID
    // and from date markers, each with and without the bodies, and the
    // select that names a message as the mark does.
    struct Statements {
        std::string fromRowid, fromRowidNoBodies, dated, datedNoBodies;
    };
    const SqliteDatabase* sms_ = nullptr;
    Layout layout_ = Layout::Old;
    Statements statements_;
    std::string positionSelect_;

    // The read under way.
    std::string sql_;          // with the bodies
    std::string sqlNoBodies_;  // the same without text and attributedBody
    ReadFrom from_;
    SqliteStatement read_;
    long long undated_ = 0;
    std::int64_t currentMessage_ = -1;
    std::vector<std::string> currentRecipients_;  // addresses already given for it: the first recipientsUsed_
    std::size_t recipientsUsed_ = 0;
    static constexpr std::size_t kFewRecipients = 16;
    std::unordered_set<std::string> manyRecipients_;  // all of them, past kFewRecipients
    std::string text_;                                // a body the reader had to rewrite or extract

    std::optional<std::int64_t> pending_;   // the message whose rows are being read
    std::optional<std::int64_t> complete_;  // see lastComplete()
    std::int64_t lastStepped_ = 0;          // ROWID of the last row read

    // After a value over the cap: the ROWID the read without bodies started
    // after, then the message with the long value and its text, cut, as
    // read through an incremental blob handle.
    std::optional<std::int64_t> withoutBodiesFrom_;
    std::optional<std::int64_t> oversized_;
    std::optional<std::string> oversizedText_;
};
