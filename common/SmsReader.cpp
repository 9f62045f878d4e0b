#include "common/SmsReader.h"
#include "platform/ProgramLog.h"

#include "common/Ios6SmsReader.h"
#include "common/ModernSmsReader.h"
#include "common/OldSmsReader.h"
#include "common/SmsTables.h"
#include "platform/SqliteBlob.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteHardening.h"
#include "platform/SystemVersion.h"

#include <algorithm>
#include <cstdio>

namespace {

// Seconds since 2001 stay below 10^10 until the year 2318, while nanoseconds
// pass 10^11 within the first two minutes of 2001: anything above is
// nanoseconds.
constexpr std::int64_t kNanosecondsAbove = 100000000000;

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

}  // namespace

std::optional<SmsReader::Layout> SmsReader::layoutOf(const SmsTables& tables, const std::string& systemVersion) {
    if (!SystemVersion::isSixOrLater(systemVersion))
        return tables.isOldFamily() ? std::optional(Layout::Old) : std::nullopt;
    if (!tables.isHandleFamily()) return std::nullopt;
    return tables.hasLaterColumns() ? Layout::Modern : Layout::Ios6;
}

std::unique_ptr<SmsReader> SmsReader::forLayout(Layout layout) {
    switch (layout) {
    case Layout::Old: return std::make_unique<OldSmsReader>();
    case Layout::Ios6: return std::make_unique<Ios6SmsReader>();
    case Layout::Modern: break;
    }
    return std::make_unique<ModernSmsReader>();
}

std::unique_ptr<SmsReader> SmsReader::openFile(const SqliteDatabase& sms, const std::string& systemVersion) {
    const SmsTables tables = SmsTables::read(sms);
    const auto layout = layoutOf(tables, systemVersion);
    if (!layout) return nullptr;
    std::unique_ptr<SmsReader> reader = forLayout(*layout);
    if (!reader->open(sms, tables)) return nullptr;
    return reader;
}

std::optional<std::string> SmsReader::readStatement(const SqliteDatabase& sms, const std::string& systemVersion) {
    const SmsTables tables = SmsTables::read(sms);
    const auto layout = layoutOf(tables, systemVersion);
    if (!layout) return std::nullopt;
    return forLayout(*layout)->readSql(tables, true, false);
}

std::int64_t SmsReader::unixFromPlatformDate(std::int64_t platformDate) {
    const std::int64_t seconds = platformDate > kNanosecondsAbove ? platformDate / 1000000000 : platformDate;
    return seconds + kPlatformEpoch;
}

std::string SmsReader::datedClause(const std::string& unixDate) {
    return " AND ((m.is_from_me = 1 AND " + unixDate + " >= ?2) OR (m.is_from_me = 0 AND " + unixDate +
           " >= ?3) OR (?4 AND m.date IS NULL))";
}

// From 6.0 a message is named by its guid where the file has one, or else
// by its date and text.
std::string SmsReader::handlePositionSelect(const SmsTables& tables) {
    const bool guid = tables.hasColumn("guid");
    return "SELECT ROWID, " + std::string(guid ? "guid" : "NULL") + ", " +
           (tables.hasColumn("date") ? "date" : "NULL") + ", NULL, NULL, " +
           (!guid && tables.hasColumn("text") ? "text" : "NULL") + " FROM message ";
}

bool SmsReader::open(const SqliteDatabase& sms) { return open(sms, SmsTables::read(sms)); }

bool SmsReader::open(const SqliteDatabase& sms, const SmsTables& tables) {
    if (!fits(tables)) return false;
    sms_ = &sms;
    statements_ = Statements{readSql(tables, true, false), readSql(tables, false, false), readSql(tables, true, true),
                             readSql(tables, false, true)};
    positionSelect_ = positionSelect(tables);
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

std::optional<std::int64_t> SmsReader::newestRowidBelow(std::int64_t rowid) const {
    SqliteStatement below;
    if (!sms_ || !below.prepare(*sms_, "SELECT max(ROWID) FROM message WHERE ROWID < ?")) return std::nullopt;
    below.bindInt(1, rowid);
    if (below.step() != SqliteStatement::Step::Row || below.columnIsNull(0)) return std::nullopt;
    return below.columnInt(0);
}

bool SmsReader::start(const ReadFrom& from) {
    if (!sms_) return false;
    const bool dated = from.receivedFrom.has_value() && from.sentFrom.has_value();
    sql_ = dated ? statements_.dated : statements_.fromRowid;
    sqlNoBodies_ = dated ? statements_.datedNoBodies : statements_.fromRowidNoBodies;
    from_ = from;
    undated_ = 0;
    restart();
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
        if (asksForUndated())
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
    return takeRest(row);
}

// SQLite refused a value over the cap, so the read failed at the row after
// the last one read. Reads on without the bodies from there; the message
// with the long value then gets its text through an incremental blob handle,
// cut to the cap, and the read carries on with the bodies after it.
bool SmsReader::readOnWithoutBodies() {
    // A group send's rows share one text, so the failing row opens a new
    // message; where a message has one row per recipient, the rows of the
    // last message read are read again, and the recipients already handed
    // out are passed over.
    withoutBodiesFrom_ = lastStepped_;
    const bool again = rereadsLastMessage() && lastStepped_ != INT64_MIN;
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

std::optional<std::string> SmsReader::readCapped(const char* column, std::int64_t rowid, std::size_t cap,
                                                 std::size_t* fullBytes) const {
    SqliteBlob blob(*sms_, "message", column);
    if (!blob.moveTo(rowid)) return std::nullopt;
    *fullBytes = blob.bytes();
    return blob.readFirst(cap);
}

std::optional<std::string> SmsReader::cutBody(std::optional<std::string> text, std::int64_t, std::size_t,
                                              std::size_t*) const {
    return text;
}

void SmsReader::takeOversizedText(std::int64_t rowid) {
    const auto cap = static_cast<std::size_t>(SqliteHardening::kMaxValueBytes);
    std::size_t fullBytes = 0;
    std::optional<std::string> text = readCapped("text", rowid, cap, &fullBytes);
    if (text) trimToWholeCharacters(*text);
    text = cutBody(std::move(text), rowid, cap, &fullBytes);
    if (fullBytes > cap)
        ProgramLog::print(
            "message %lld of sms.db has a text of %zu bytes, more than the %zu a message may "
            "take; it is counted with its text cut to that length\n",
            static_cast<long long>(rowid), fullBytes, cap);
    oversized_ = rowid;
    oversizedText_ = std::move(text);
}

bool SmsReader::takeCutText(SmsRow& row) const {
    if (oversized_ != row.rowid) return false;
    if (!oversizedText_) {
        row.text = nullptr;
        row.textBytes = 0;
        return true;
    }
    row.text = oversizedText_->c_str();
    row.textBytes = static_cast<int>(oversizedText_->size());
    return true;
}
