#include "common/CounterInsert.h"

#include "common/SegmentCounter.h"
#include "common/MessageSource.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteSavepoint.h"

#include <algorithm>

namespace {

std::string insertSql(std::size_t rows, bool keepsService) {
    std::string sql = keepsService ? "insert into message (address, date, text, flags, smscount, type) values "
                                   : "insert into message (address, date, text, flags, smscount) values ";
    const char* one = keepsService ? "(?,?,?,?,?,?)" : "(?,?,?,?,?)";
    for (std::size_t i = 0; i < rows; ++i) {
        if (i > 0) sql += ',';
        sql += one;
    }
    return sql;
}

}  // namespace

bool CounterInsert::prepare() { return statementFor(kRowsPerStatement) != nullptr; }

SqliteStatement* CounterInsert::statementFor(std::size_t rows) {
    auto found = statements_.find(rows);
    if (found != statements_.end()) return &found->second;
    SqliteStatement statement;
    if (!statement.prepare(counter_, insertSql(rows, keepsService_))) return nullptr;
    return &statements_.emplace(rows, std::move(statement)).first->second;
}

void CounterInsert::add(const SmsRow& row) {
    if (used_ == rows_.size()) rows_.emplace_back();
    Row& kept = rows_[used_++];
    kept.address.assign(row.address, static_cast<std::size_t>(row.addressBytes));
    kept.hasText = row.text != nullptr;
    if (kept.hasText) kept.text.assign(row.text, static_cast<std::size_t>(row.textBytes));
    kept.hasType = keepsService_ && row.type != nullptr;
    if (kept.hasType)
        kept.type.assign(row.type, static_cast<std::size_t>(row.typeBytes));
    else
        kept.type.clear();
    kept.date = row.date;
    kept.flags = flagsOf(row.flags);
    kept.segments = SegmentCounter::segmentsForUtf8(row.text, static_cast<std::size_t>(row.textBytes));
    kept.message = row.rowid;
    bytes_ += kept.bytes();
}

bool CounterInsert::flush() {
    salvagedThrough_.reset();
    // One statement is atomic by itself; several need a savepoint, so that a
    // failure in a later one takes the earlier ones back too.
    const bool inParts = part_.has_value();
    if (!part_ && used_ > kRowsPerStatement && !openPart()) return false;
    const std::size_t count = used_;
    if (!insertWaiting() || (part_ && !part_->release())) {
        rollBackPart();
        if (!inParts) salvage(count);
        return false;
    }
    part_.reset();
    noteDates();
    return true;
}

bool CounterInsert::flushPart() {
    if (!part_ && !openPart()) return false;
    if (insertWaiting()) return true;
    rollBackPart();
    return false;
}

bool CounterInsert::openPart() {
    part_.emplace(counter_, "counter_insert");
    if (part_->isActive()) return true;
    part_.reset();
    return false;
}

void CounterInsert::abandonMessage(std::int64_t rowid) {
    if (part_) {
        rollBackPart();
        return;
    }
    while (used_ > 0 && rows_[used_ - 1].message == rowid) bytes_ -= rows_[--used_].bytes();
}

// Stores the rows that wait, in statements of kRowsPerStatement rows.
bool CounterInsert::insertWaiting() {
    const std::size_t count = used_;
    used_ = 0;
    bytes_ = 0;
    for (std::size_t first = 0; first < count; first += kRowsPerStatement)
        if (!insert(first, std::min(kRowsPerStatement, count - first))) return false;
    for (std::size_t i = 0; i < count; ++i) noteRow(rows_[i]);
    return true;
}

void CounterInsert::noteRow(const Row& row) {
    if (row.flags == flagsOf(Direction::Received)) partReceived_ = std::max(partReceived_, row.date);
    if (row.flags == flagsOf(Direction::Sent)) partSent_ = std::max(partSent_, row.date);
}

// After a failed flush: stores the messages before the row that failed, one
// message at a time, so a sync gets as far as it can; the message with the
// failing row keeps none of its rows.
void CounterInsert::salvage(std::size_t count) {
    if (!counter_.inTransaction()) return;
    std::size_t first = 0;
    while (first < count) {
        std::size_t end = first;
        while (end < count && rows_[end].message == rows_[first].message) ++end;
        SqliteSavepoint message(counter_, "counter_salvage");
        bool whole = message.isActive();
        for (std::size_t i = first; i < end && whole; ++i) whole = insert(i, 1);
        if (!whole || !message.release()) break;
        for (std::size_t i = first; i < end; ++i) noteRow(rows_[i]);
        salvagedThrough_ = rows_[first].message;
        first = end;
    }
    // What was stored counts as flushed: its dates join the newest.
    noteDates();
}

void CounterInsert::rollBackPart() {
    used_ = 0;
    bytes_ = 0;
    partReceived_ = partSent_ = INT64_MIN;
    part_.reset();  // rolls back what the parts stored
}

bool CounterInsert::insert(std::size_t first, std::size_t count) {
    SqliteStatement* statement = statementFor(count);
    if (!statement) return false;
    const int columns = keepsService_ ? 6 : 5;
    for (std::size_t i = 0; i < count; ++i) {
        const Row& row = rows_[first + i];
        const int base = static_cast<int>(i) * columns;
        statement->bindTextNoCopy(base + 1, row.address.data(), static_cast<int>(row.address.size()));
        statement->bindInt(base + 2, row.date);
        statement->bindTextNoCopy(base + 3, row.hasText ? row.text.data() : nullptr, static_cast<int>(row.text.size()));
        statement->bindInt(base + 4, row.flags);
        statement->bindInt(base + 5, row.segments);
        if (keepsService_)
            statement->bindTextNoCopy(base + 6, row.hasType ? row.type.data() : nullptr,
                                      static_cast<int>(row.type.size()));
    }
    const bool stored = statement->step() == SqliteStatement::Step::Done;
    statement->reset();
    return stored;
}

void CounterInsert::noteDates() {
    newestReceived_ = std::max(newestReceived_, partReceived_);
    newestSent_ = std::max(newestSent_, partSent_);
    partReceived_ = partSent_ = INT64_MIN;
}
