#include "common/SmsReader.h"
#include "platform/ProgramLog.h"

#include "common/AttributedBody.h"
#include "platform/SqliteBlob.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteHardening.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string_view>

namespace {

constexpr std::int64_t kPlatformEpoch = 978307200;  // 2001-01-01 in Unix seconds
// Seconds since 2001 stay below 10^10 until the year 2318, while nanoseconds
// pass 10^11 within the first two minutes of 2001: anything above is
// nanoseconds.
constexpr std::int64_t kNanosecondsAbove = 100000000000;

// The date column in Unix seconds, in SQL, per value as unixFromPlatformDate.
constexpr const char* kUnixDate =
    "(CASE WHEN m.date > 100000000000 THEN m.date / 1000000000 ELSE m.date END + 978307200)";

struct Schema {
    std::set<std::string> tables;
    std::set<std::string> messageColumns;
    std::set<std::string> handleColumns;

    bool hasTable(const char* name) const { return tables.count(name) != 0; }
    bool hasColumn(const char* name) const { return messageColumns.count(name) != 0; }
    // The message column, or NULL for a file that lacks it.
    std::string column(const char* name) const { return hasColumn(name) ? std::string("m.") + name : "NULL"; }
    std::string handleColumn(const char* name) const {
        return handleColumns.count(name) != 0 ? std::string("h.") + name : "NULL";
    }
    bool isOldFamily() const {
        return hasTable("message") && hasColumn("address") && hasColumn("flags") && hasColumn("date");
    }
    bool isHandleFamily() const {
        return hasTable("message") && hasTable("handle") && hasColumn("is_from_me") && hasColumn("handle_id") &&
               hasColumn("date") && handleColumns.count("id") != 0;
    }
};

std::set<std::string> columnsOf(const SqliteDatabase& sms, const char* table) {
    std::set<std::string> names;
    SqliteStatement columns;
    if (columns.prepare(sms, std::string("select name from pragma_table_info('") + table + "')"))
        while (columns.step() == SqliteStatement::Step::Row) names.insert(columns.columnString(0));
    return names;
}

Schema readSchema(const SqliteDatabase& sms) {
    Schema schema;
    SqliteStatement tables;
    if (tables.prepare(sms, "select name from sqlite_master where type = 'table'"))
        while (tables.step() == SqliteStatement::Step::Row) schema.tables.insert(tables.columnString(0));
    schema.messageColumns = columnsOf(sms, "message");
    if (schema.hasTable("handle")) schema.handleColumns = columnsOf(sms, "handle");
    return schema;
}

// Every statement yields the same columns: address, date as stored, text,
// flags, service, attributedBody, message ROWID. Parameter 1 is the
// ROWID the read starts after; with date bounds, 2 is the sent and 3 the
// received marker, and 4 (later phones) whether undated rows are wanted.
//
// Every statement walks the message table itself in ROWID order, never an
// index followed by a sort: then rows come out as they are read, and a page
// damaged in the middle of the file ends the read there, after the rows
// before it, instead of failing it before the first row. NOT INDEXED still
// lets the walk start at a ROWID.
std::string oldReadSql(const Schema& schema, bool withBodies, bool dated) {
    std::string sql = "SELECT m.address, m.date, ";
    sql += withBodies ? schema.column("text") : "NULL";
    sql += ", m.flags, NULL, NULL, m.ROWID FROM message m NOT INDEXED WHERE m.ROWID > ?1";
    if (dated) sql += " AND ((m.date >= ?2 AND m.flags = 3) OR (m.date >= ?3 AND m.flags = 2))";
    return sql + " ORDER BY m.ROWID ASC";
}

std::string datedClause(const std::string& unixDate) {
    return " AND ((m.is_from_me = 1 AND " + unixDate + " >= ?2) OR (m.is_from_me = 0 AND " + unixDate +
           " >= ?3) OR (?4 AND m.date IS NULL))";
}

std::string ios6ReadSql(const Schema& schema, bool withBodies, bool dated) {
    std::string sql = "SELECT h.id, m.date, ";
    sql += withBodies ? schema.column("text") : "NULL";
    sql +=
        ", CASE m.is_from_me WHEN 0 THEN 2 WHEN 1 THEN 3 ELSE 0 END, " + schema.column("service") +
        ", NULL, m.ROWID FROM message m NOT INDEXED CROSS JOIN handle h WHERE h.ROWID = m.handle_id AND m.ROWID > ?1";
    if (dated) sql += datedClause("(m.date + 978307200)");
    return sql + " ORDER BY m.ROWID ASC";
}

std::string modernReadSql(const Schema& schema, bool withBodies, bool dated) {
    const bool chats =
        schema.hasTable("chat") && schema.hasTable("chat_handle_join") && schema.hasTable("chat_message_join");
    std::string sql = chats ? "SELECT COALESCE(h.id, r.id), " : "SELECT h.id, ";
    sql += "m.date, ";
    sql += withBodies ? schema.column("text") : "NULL";
    sql += ", CASE m.is_from_me WHEN 0 THEN 2 WHEN 1 THEN 3 ELSE 0 END, COALESCE(" + schema.column("service") + ", " +
           schema.handleColumn("service");
    sql += chats ? ", r.service, c.service_name), " : "), ";
    sql += withBodies && schema.hasColumn("attributedBody") ? "m.attributedBody, " : "NULL, ";
    sql += "m.ROWID FROM message m NOT INDEXED LEFT JOIN handle h ON m.handle_id > 0 AND h.ROWID = m.handle_id ";
    if (chats) {
        // A message without a handle is reached through its chat; one that
        // sits in several chats is still one message, so only its first
        // chat counts.
        sql +=
            "LEFT JOIN chat c ON h.ROWID IS NULL AND c.ROWID = (SELECT MIN(j.chat_id) FROM chat_message_join j "
            "WHERE j.message_id = m.ROWID) "
            "LEFT JOIN chat_handle_join ch ON ch.chat_id = c.ROWID "
            "LEFT JOIN handle r ON r.ROWID = ch.handle_id ";
    }
    sql += "WHERE m.ROWID > ?1";
    if (dated) sql += datedClause(kUnixDate);
    // Reactions and stickers placed on a message, group changes and other
    // announcements, and sends that failed are rows, but no text that the
    // carrier carried.
    if (schema.hasColumn("associated_message_type")) sql += " AND COALESCE(m.associated_message_type, 0) IN (0, 2, 3)";
    if (schema.hasColumn("item_type")) sql += " AND COALESCE(m.item_type, 0) = 0";
    if (schema.hasColumn("error")) sql += " AND NOT (m.is_from_me = 1 AND COALESCE(m.error, 0) <> 0)";
    // A received message without a handle has a known sender only in a chat
    // with one other member.
    if (chats)
        sql +=
            " AND (h.ROWID IS NOT NULL OR m.is_from_me = 1 OR "
            "(SELECT COUNT(*) FROM chat_handle_join k WHERE k.chat_id = c.ROWID) = 1)";
    sql += " ORDER BY m.ROWID ASC";
    return sql;
}

// The layout of the file and its read statement, with or without the
// bodies; nothing when the tables fit no layout.
std::optional<SmsReader::Layout> layoutOf(const Schema& schema, bool newSchema) {
    if (!newSchema) return schema.isOldFamily() ? std::optional(SmsReader::Layout::Old) : std::nullopt;
    if (!schema.isHandleFamily()) return std::nullopt;
    if (!schema.hasColumn("item_type") && !schema.hasColumn("associated_message_type")) return SmsReader::Layout::Ios6;
    return SmsReader::Layout::Modern;
}

std::string readSql(SmsReader::Layout layout, const Schema& schema, bool withBodies, bool dated) {
    switch (layout) {
    case SmsReader::Layout::Old: return oldReadSql(schema, withBodies, dated);
    case SmsReader::Layout::Ios6: return ios6ReadSql(schema, withBodies, dated);
    case SmsReader::Layout::Modern: break;
    }
    return modernReadSql(schema, withBodies, dated);
}

// The select that names one message the way the sync's mark does: its
// guid (from 6.0), or else its date, address, direction and text.
std::string positionSelect(const Schema& schema, bool newSchema) {
    const bool old = !newSchema;
    const bool guid = schema.hasColumn("guid") && !old;
    return "SELECT ROWID, " + std::string(guid ? "guid" : "NULL") + ", " +
           (schema.hasColumn("date") ? "date" : "NULL") + ", " + (old ? "address" : "NULL") + ", " +
           (old && schema.hasColumn("flags") ? "flags" : "NULL") + ", " +
           (!guid && schema.hasColumn("text") ? "text" : "NULL") + " FROM message ";
}

// Unix seconds of a date in seconds since 2001, saturating at the end of the
// range rather than wrapping.
std::int64_t secondsSince2001ToUnix(std::int64_t seconds) {
    return seconds > INT64_MAX - kPlatformEpoch ? INT64_MAX : seconds + kPlatformEpoch;
}

// Drops a UTF-8 sequence cut off at the end of `text`.
void trimToWholeCharacters(std::string& text) {
    std::size_t end = text.size();
    std::size_t lead = end;
    while (lead > 0 && end - lead < 4) {
        --lead;
        const auto byte = static_cast<unsigned char>(text[lead]);
        if ((byte & 0xC0) != 0x80) {
            const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (end - lead < length) text.resize(lead);
            return;
        }
    }
}

// Up to `cap` bytes of one value of the message table, read through an
// incremental blob handle, which never loads the whole value; nothing for
// NULL, a number, or a value that cannot be read.
std::optional<std::string> readCapped(const SqliteDatabase& sms, const char* column, std::int64_t rowid,
                                      std::size_t cap, std::size_t* fullBytes) {
    SqliteBlob blob(sms, "message", column);
    if (!blob.moveTo(rowid)) return std::nullopt;
    *fullBytes = blob.bytes();
    return blob.readFirst(cap);
}

bool hasPlaceholderLead(const char* text, int bytes) {
    // U+FFFC and U+FFFD are EF BF BC and EF BF BD in UTF-8.
    return bytes > 0 && std::memchr(text, 0xEF, static_cast<std::size_t>(bytes)) != nullptr;
}

// The body of a later phone's message as the counter keeps it: `text` when
// the phone filled it, else the text inside attributedBody; without the
// placeholders that stand for attachments and app balloons, and nothing when
// nothing else is left.
std::optional<std::string> modernBody(const std::optional<std::string_view>& text, const unsigned char* blob,
                                      std::size_t blobBytes) {
    if (text) {
        if (!hasPlaceholderLead(text->data(), static_cast<int>(text->size()))) return std::string(*text);
        return AttributedBody::withoutPlaceholders(*text);
    }
    if (blob == nullptr) return std::nullopt;
    std::optional<std::string> body = AttributedBody::extractText(blob, blobBytes);
    if (!body || body->empty()) return std::nullopt;
    if (!hasPlaceholderLead(body->data(), static_cast<int>(body->size()))) return body;
    return AttributedBody::withoutPlaceholders(*body);
}

}  // namespace

std::int64_t SmsReader::unixFromPlatformDate(std::int64_t platformDate) {
    const std::int64_t seconds = platformDate > kNanosecondsAbove ? platformDate / 1000000000 : platformDate;
    return seconds + kPlatformEpoch;
}

std::optional<std::string> SmsReader::readStatement(const SqliteDatabase& sms, bool newSchema) {
    const Schema schema = readSchema(sms);
    const auto layout = layoutOf(schema, newSchema);
    if (!layout) return std::nullopt;
    return readSql(*layout, schema, true, false);
}

bool SmsReader::open(const SqliteDatabase& sms, bool newSchema) {
    const Schema schema = readSchema(sms);
    const auto layout = layoutOf(schema, newSchema);
    if (!layout) return false;
    sms_ = &sms;
    layout_ = *layout;
    statements_ = Statements{readSql(layout_, schema, true, false), readSql(layout_, schema, false, false),
                             readSql(layout_, schema, true, true), readSql(layout_, schema, false, true)};
    positionSelect_ = positionSelect(schema, newSchema);
    return true;
}

std::optional<SourcePosition> SmsReader::position(const char* tail, std::optional<std::int64_t> rowid) const {
    SqliteStatement query;
    if (!sms_ || !query.prepare(*sms_, positionSelect_ + tail)) return std::nullopt;
    if (rowid) query.bindInt(1, *rowid);
    if (query.step() != SqliteStatement::Step::Row) return std::nullopt;
    return SourcePosition::fromRow(query);
}

std::optional<SourcePosition> SmsReader::positionAt(std::int64_t rowid) const {
    return position("WHERE ROWID = ?", rowid);
}

std::optional<SourcePosition> SmsReader::newestPosition() const {
    return position("ORDER BY ROWID DESC LIMIT 1", std::nullopt);
}

std::int64_t SmsReader::highestRowidEverUsed() const {
    std::int64_t highest = 0;
    if (!sms_) return highest;
    SqliteStatement newest;
    if (newest.prepare(*sms_, "SELECT max(ROWID) FROM message") && newest.step() == SqliteStatement::Step::Row)
        highest = newest.columnInt(0);
    SqliteStatement sequence;
    if (sequence.prepare(*sms_, "SELECT seq FROM sqlite_sequence WHERE name = 'message'") &&
        sequence.step() == SqliteStatement::Step::Row)
        highest = std::max(highest, sequence.columnInt(0));
    return highest;
}

bool SmsReader::start(const ReadFrom& from) {
    if (!sms_) return false;
    const bool dated = from.receivedFrom.has_value() && from.sentFrom.has_value();
    sql_ = dated ? statements_.dated : statements_.fromRowid;
    sqlNoBodies_ = dated ? statements_.datedNoBodies : statements_.fromRowidNoBodies;
    from_ = from;
    undated_ = 0;
    currentMessage_ = -1;
    recipientsUsed_ = 0;
    manyRecipients_.clear();
    pending_.reset();
    complete_.reset();
    lastStepped_ = from.afterRowid;
    withoutBodiesFrom_.reset();
    oversized_.reset();
    oversizedText_.reset();
    return prepareStatement(true, from.afterRowid);
}

bool SmsReader::prepareStatement(bool withBodies, std::int64_t afterRowid) {
    read_.finalize();
    if (!read_.prepare(*sms_, withBodies ? sql_ : sqlNoBodies_)) return false;
    read_.bindInt(1, afterRowid);
    if (from_.receivedFrom && from_.sentFrom) {
        read_.bindInt(2, *from_.sentFrom);
        read_.bindInt(3, *from_.receivedFrom);
        // Rows without a date are read (and reported) only by a sync whose
        // bound would have taken a date of 0, so they are reported once
        // rather than by every sync.
        if (layout_ != Layout::Old)
            read_.bindInt(4, std::min(*from_.receivedFrom, *from_.sentFrom) <= kPlatformEpoch ? 1 : 0);
    }
    return true;
}

// Follows which message the rows belong to: a message is complete once a
// row of the next one (or the end) has been read. Only ROWIDs are kept here;
// the mark names its message by positionAt() once, at the end.
void SmsReader::notePosition() {
    const std::int64_t rowid = read_.columnInt(6);
    lastStepped_ = rowid;
    if (pending_ == rowid) return;
    if (pending_) complete_ = pending_;
    pending_ = rowid;
}

SmsReader::Next SmsReader::next(SmsRow& row) {
    for (;;) {
        switch (read_.step()) {
        case SqliteStatement::Step::Done:
            if (pending_) complete_ = pending_;
            pending_.reset();
            return Next::Done;
        case SqliteStatement::Step::Error:
            if (!withoutBodiesFrom_ && sms_->lastErrorIsTooBig() && readOnWithoutBodies()) continue;
            return Next::Error;
        case SqliteStatement::Step::Row: break;
        }
        if (withoutBodiesFrom_) {
            const Oversized state = passOversizedRow();
            if (state == Oversized::Failed) return Next::Error;
            if (state == Oversized::BodiesBack) continue;  // this row comes again with its body
        }
        notePosition();
        if (takeRow(row)) return Next::Row;
    }
}

bool SmsReader::takeRow(SmsRow& row) {
    row.rowid = read_.columnInt(6);
    row.address = read_.columnText(0, &row.addressBytes);
    if (row.address == nullptr || row.addressBytes == 0) return false;
    const std::optional<Direction> direction = directionOfFlags(read_.columnInt(3));
    if (!direction) return false;
    row.flags = *direction;
    row.type = layout_ == Layout::Old ? nullptr : read_.columnText(4, &row.typeBytes);
    if (layout_ == Layout::Old) {
        if (read_.columnIsNull(1)) {
            ++undated_;
            return false;
        }
        row.date = read_.columnInt(1);
        takeText(row);
        return true;
    }
    return nextModernRow(row);
}

// The body as stored; on later phones without the placeholders, or from
// attributedBody (takeModernText).
void SmsReader::takeText(SmsRow& row) {
    if (oversized_ == row.rowid)
        takeCutText(row);
    else if (layout_ == Layout::Modern)
        takeModernText(row);
    else
        row.text = read_.columnText(2, &row.textBytes);
}

bool SmsReader::nextModernRow(SmsRow& row) {
    if (layout_ == Layout::Modern && !firstTimeRecipient(row)) return false;
    if (read_.columnIsNull(1) || read_.columnInt(1) == 0) {
        ++undated_;
        return false;
    }
    // 6.x kept seconds since 2001 only; nanoseconds came with 11, whose
    // files have the later columns.
    const std::int64_t stored = read_.columnInt(1);
    row.date = layout_ == Layout::Ios6 ? secondsSince2001ToUnix(stored) : unixFromPlatformDate(stored);
    takeText(row);
    return true;
}

// A recipient listed twice in a chat (two handles of one number) is one
// text; a message's rows come one after the other. The strings are reused
// from message to message, so the common case allocates nothing; a large
// group is looked up in a hash set, so its rows cost linear time.
bool SmsReader::firstTimeRecipient(const SmsRow& row) {
    const std::string_view address(row.address, static_cast<std::size_t>(row.addressBytes));
    if (row.rowid != currentMessage_) {
        currentMessage_ = row.rowid;
        recipientsUsed_ = 0;
        manyRecipients_.clear();
    }
    if (!manyRecipients_.empty()) return manyRecipients_.emplace(address).second;
    const auto used = currentRecipients_.begin() + static_cast<std::ptrdiff_t>(recipientsUsed_);
    if (std::find(currentRecipients_.begin(), used, address) != used) return false;
    if (recipientsUsed_ == kFewRecipients) {
        manyRecipients_.insert(currentRecipients_.begin(), used);
        return manyRecipients_.emplace(address).second;
    }
    if (recipientsUsed_ == currentRecipients_.size())
        currentRecipients_.emplace_back(address);
    else
        currentRecipients_[recipientsUsed_].assign(address);
    ++recipientsUsed_;
    return true;
}

// The body of a later phone's row (modernBody), handed out without a copy
// when the phone's `text` needs nothing taken out.
void SmsReader::takeModernText(SmsRow& row) {
    int bytes = 0;
    const char* text = read_.columnText(2, &bytes);
    if (text != nullptr && !hasPlaceholderLead(text, bytes)) {
        row.text = text;
        row.textBytes = bytes;
        return;
    }
    int blobBytes = 0;
    const unsigned char* blob = text ? nullptr : read_.columnBlob(5, &blobBytes);
    std::optional<std::string_view> given;
    if (text) given = std::string_view(text, static_cast<std::size_t>(bytes));
    std::optional<std::string> body = modernBody(given, blob, static_cast<std::size_t>(blobBytes));
    if (!body) {
        row.text = nullptr;
        row.textBytes = 0;
        return;
    }
    text_ = std::move(*body);
    row.text = text_.c_str();
    row.textBytes = static_cast<int>(text_.size());
}

// SQLite refused a value over the cap, so the read failed at the row after
// the last one read. Reads on without the bodies from there; the message
// with the long value then gets its text through an incremental blob handle,
// cut to the cap, and the read carries on with the bodies after it.
bool SmsReader::readOnWithoutBodies() {
    // A group send's rows share one text, so the failing row opens a new
    // message; on later phones the rows of the last message read are read
    // again, and the recipients already handed out are passed over.
    withoutBodiesFrom_ = lastStepped_;
    const bool again = layout_ == Layout::Modern && lastStepped_ != INT64_MIN;
    return prepareStatement(false, again ? lastStepped_ - 1 : lastStepped_);
}

// While reading without the bodies: the first message after the failing
// point is the one with the long value; once past it, the bodies come back.
SmsReader::Oversized SmsReader::passOversizedRow() {
    const std::int64_t rowid = read_.columnInt(6);
    if (rowid <= *withoutBodiesFrom_) return Oversized::Take;
    if (!oversized_) {
        takeOversizedText(rowid);
        return Oversized::Take;
    }
    if (rowid == *oversized_) return Oversized::Take;
    const std::int64_t after = *oversized_;
    withoutBodiesFrom_.reset();
    oversized_.reset();
    oversizedText_.reset();
    return prepareStatement(true, after) ? Oversized::BodiesBack : Oversized::Failed;
}

void SmsReader::takeOversizedText(std::int64_t rowid) {
    const auto cap = static_cast<std::size_t>(SqliteHardening::kMaxValueBytes);
    std::size_t fullBytes = 0;
    std::optional<std::string> text = readCapped(*sms_, "text", rowid, cap, &fullBytes);
    if (text) trimToWholeCharacters(*text);
    if (layout_ == Layout::Modern) {
        std::optional<std::string> blob;
        if (!text) blob = readCapped(*sms_, "attributedBody", rowid, cap, &fullBytes);
        const auto* bytes = blob ? reinterpret_cast<const unsigned char*>(blob->data()) : nullptr;
        text = modernBody(text ? std::optional<std::string_view>(*text) : std::nullopt, bytes, blob ? blob->size() : 0);
    }
    if (fullBytes > cap)
        ProgramLog::print(
            "message %lld of sms.db has a text of %zu bytes, more than the %zu a message may "
            "take; it is counted with its text cut to that length\n",
            static_cast<long long>(rowid), fullBytes, cap);
    oversized_ = rowid;
    oversizedText_ = std::move(text);
}

void SmsReader::takeCutText(SmsRow& row) {
    if (!oversizedText_) {
        row.text = nullptr;
        row.textBytes = 0;
        return;
    }
    row.text = oversizedText_->c_str();
    row.textBytes = static_cast<int>(oversizedText_->size());
}
