#pragma once

#include "common/MessageSource.h"
#include "platform/SqliteStatement.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class SqliteDatabase;
struct SmsTables;

// Reads the messages that a sync copies out of the phone's sms.db, in the
// platform's insertion order (ROWID), from a ROWID on. One subclass per
// layout of the file:
// - OldSmsReader, the schema before 6.0 (a message table with address and
//   flags);
// - Ios6SmsReader, 6.x, the start of the family that has a handle table:
//   read as it always was, one row per message that has a handle;
// - ModernSmsReader, the later members of that family (7 and on,
//   recognised by the columns they appended).
// The system version picks the family, the file's own tables and columns the
// member. Columns a file lacks read as NULL.
//
// What every layout shares lives here: the walk of the read statement, which
// message the rows belong to, the position of a message, and the read of a
// text longer than SQLite's value cap (SqliteHardening::kMaxValueBytes),
// which would fail the read at that row on every sync; such a message is
// read with its text cut to the cap instead.
class SmsReader {
public:
    using Next = MessageSource::Next;
    enum class Layout { Old, Ios6, Modern };

    // The statements the design gives for the two families (parameter 1 the
    // sent marker, 2 the received one); the readers' own statements add the
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

    virtual ~SmsReader() = default;

    // The layout a phone of `systemVersion` reads a file with these tables
    // as; nothing when the tables fit no layout of its family.
    static std::optional<Layout> layoutOf(const SmsTables& tables, const std::string& systemVersion);
    static std::unique_ptr<SmsReader> forLayout(Layout layout);
    // The reader for the file as a phone of `systemVersion` reads it, opened;
    // nothing when its tables fit no layout.
    static std::unique_ptr<SmsReader> openFile(const SqliteDatabase& sms, const std::string& systemVersion);
    // The read statement for this file from a ROWID on (parameter 1);
    // nothing when its tables fit no layout.
    static std::optional<std::string> readStatement(const SqliteDatabase& sms, const std::string& systemVersion);

    virtual Layout layout() const = 0;

    // Reads the file's tables and columns, once for everything below. False
    // when they are not of this reader's layout (or cannot be read).
    bool open(const SqliteDatabase& sms);
    bool open(const SqliteDatabase& sms, const SmsTables& tables);

    // See MessageSource.
    bool start(const ReadFrom& from);
    Next next(SmsRow& row);
    std::optional<std::int64_t> lastComplete() const { return complete_; }
    std::optional<SourcePosition> positionAt(std::int64_t rowid) const;
    std::optional<SourcePosition> newestPosition() const;
    std::int64_t highestRowidEverUsed() const;
    std::optional<std::int64_t> newestRowidBelow(std::int64_t rowid) const;
    long long undatedRows() const { return undated_; }

    // Unix seconds of a date column of the 6.x family: seconds since 2001
    // up to 10, nanoseconds since 11, told apart per value.
    static std::int64_t unixFromPlatformDate(std::int64_t platformDate);

    void finalize() { read_.finalize(); }

protected:
    static constexpr std::int64_t kPlatformEpoch = 978307200;  // 2001-01-01 in Unix seconds

    // Whether the file's tables are of this layout.
    virtual bool fits(const SmsTables& tables) const = 0;
    // Every statement yields the same columns: address, date as stored,
    // text, flags, service, attributedBody, message ROWID. Parameter 1 is
    // the ROWID the read starts after; with date bounds, 2 is the sent and 3
    // the received marker, and 4 (from 6.0) whether undated rows are wanted.
    virtual std::string readSql(const SmsTables& tables, bool withBodies, bool dated) const = 0;
    // The select that names one message the way the sync's mark does.
    virtual std::string positionSelect(const SmsTables& tables) const = 0;
    // Fills in the rest of a row whose address and direction are taken;
    // false to pass it over.
    virtual bool takeRest(SmsRow& row) = 0;
    // Whether the statements take parameter 4.
    virtual bool asksForUndated() const { return true; }
    // Whether the rows of the last message read are read again after a
    // value over the cap (a later phone's group send: one row per recipient).
    virtual bool rereadsLastMessage() const { return false; }
    // Called by start(): a subclass forgets what it kept of the last read.
    virtual void restart() {}
    // The body of a message whose text was read cut to the cap; `text` is
    // nothing when the text column was NULL.
    virtual std::optional<std::string> cutBody(std::optional<std::string> text, std::int64_t rowid, std::size_t cap,
                                               std::size_t* fullBytes) const;

    // Up to `cap` bytes of one value of the message table, read through an
    // incremental blob handle; nothing for NULL, a number, or a failure.
    std::optional<std::string> readCapped(const char* column, std::int64_t rowid, std::size_t cap,
                                          std::size_t* fullBytes) const;
    // The text of a message read cut to the cap; false for any other.
    bool takeCutText(SmsRow& row) const;
    void countUndated() { ++undated_; }
    const SqliteStatement& row() const { return read_; }

    // The parts of the handle family's statements and mark that 6.x and the
    // later phones share.
    static std::string datedClause(const std::string& unixDate);
    static std::string handlePositionSelect(const SmsTables& tables);

private:
    std::optional<SourcePosition> position(const char* tail, std::optional<std::int64_t> rowid) const;
    bool prepareStatement(bool withBodies, std::int64_t afterRowid);
    void notePosition();
    bool takeRow(SmsRow& row);
    bool readOnWithoutBodies();
    enum class Oversized { Take, BodiesBack, Failed };
    Oversized passOversizedRow();
    void takeOversizedText(std::int64_t rowid);

    // Made by open() from the file's tables: the read statements from a ROWID
    // and from date markers, each with and without the bodies, and the
    // select that names a message as the mark does.
    struct Statements {
        std::string fromRowid, fromRowidNoBodies, dated, datedNoBodies;
    };
    const SqliteDatabase* sms_ = nullptr;
    Statements statements_;
    std::string positionSelect_;

    // The read under way.
    std::string sql_;          // with the bodies
    std::string sqlNoBodies_;  // the same without text and attributedBody
    ReadFrom from_;
    SqliteStatement read_;
    long long undated_ = 0;

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
