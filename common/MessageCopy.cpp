#include "common/MessageCopy.h"

#include "common/CounterInsert.h"
#include "common/CounterMarkers.h"
#include "common/MessageSource.h"
#include "common/PhoneProfile.h"
#include "common/SourceMark.h"
#include "platform/SqliteDatabase.h"
#include "platform/ProgramLog.h"
#include "platform/SqliteStatement.h"
#include "platform/SqliteTransaction.h"
#include "platform/TerminalText.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The value that, once the caller has added one, leaves the marker where it
// was.
std::int64_t unchanged(std::int64_t marker) { return marker == INT64_MIN ? INT64_MIN : marker - 1; }

enum class Plan { AfterMark, Dated, Merge };
enum class End { Done, ReadFailed, InsertFailed };

// After the phone's file was replaced, a message read again must not be
// counted again: it is matched against the counted rows by what it is
// (address, direction, date, text, service), as many times as it is there.
class CountedRows {
public:
    // Only the rows counted before this sync are matched: two equal messages
    // of the new file are both new when neither was counted.
    CountedRows(SqliteDatabase& counter, bool keepsService) : keepsService_(keepsService) {
        SqliteStatement last;
        if (!last.prepare(counter, "select coalesce(max(rowid), 0) from message") ||
            last.step() != SqliteStatement::Step::Row)
            return;
        const std::int64_t countedBefore = last.columnInt(0);
        const std::string sql = std::string(
                                    "select count(*) from message where address = ?1 and flags = ?2 and date = ?3 "
                                    "and text IS ?4 and rowid <= ?6") +
                                (keepsService ? " and type IS ?5" : "");
        prepared_ = find_.prepare(counter, sql);
        if (prepared_) find_.bindInt(6, countedBefore);
    }
    bool isPrepared() const { return prepared_; }

    // True when the row is one of the counted rows not yet matched.
    bool alreadyCounted(const SmsRow& row) {
        find_.reset();
        find_.bindTextNoCopy(1, row.address, row.addressBytes);
        find_.bindInt(2, flagsOf(row.flags));
        find_.bindInt(3, row.date);
        find_.bindTextNoCopy(4, row.text, row.textBytes);
        if (keepsService_) find_.bindTextNoCopy(5, row.type, row.typeBytes);
        if (find_.step() == SqliteStatement::Step::Error) return false;
        const std::int64_t counted = find_.columnInt(0);
        if (counted == 0) return false;
        std::int64_t& matched = matched_[keyOf(row)];
        if (matched >= counted) return false;
        ++matched;
        return true;
    }

private:
    // What the lookup compares, whole: two messages alike in everything are
    // matched as often as the counted rows hold them.
    static std::string keyOf(const SmsRow& row) {
        std::string key;
        const auto view = [](const char* text, int bytes) {
            return text ? std::string_view(text, static_cast<std::size_t>(bytes)) : std::string_view();
        };
        for (const std::string_view part :
             {view(row.address, row.addressBytes), view(row.text, row.textBytes), view(row.type, row.typeBytes)}) {
            key += std::to_string(part.size());
            key += ':';
            key += part;
        }
        key += row.text ? 't' : 'n';  // an empty text is not a NULL one
        key += row.type ? 't' : 'n';
        key += std::to_string(flagsOf(row.flags)) + ':' + std::to_string(row.date);
        return key;
    }

    bool keepsService_;
    SqliteStatement find_;
    bool prepared_ = false;
    std::map<std::string, std::int64_t> matched_;
};

// One sync's work between opening the two files and committing.
class Copy {
public:
    Copy(MessageSource& read, SqliteDatabase& counter, bool keepsService)
        : read_(read), counter_(counter), keepsService_(keepsService) {}

    // Which messages to read: after the mark when it still names the message
    // the last sync read, the whole file matched against the counted rows
    // when it does not, from the date markers when there is no mark.
    Plan plan(const std::optional<SourcePosition>& mark, std::int64_t rFrom, std::int64_t sFrom, ReadFrom& from) {
        if (!mark) {
            if (rFrom <= 0 && sFrom <= 0) return Plan::AfterMark;  // everything
            from.receivedFrom = rFrom;
            from.sentFrom = sFrom;
            return Plan::Dated;
        }
        if (!markStillHolds(*mark)) return Plan::Merge;
        from.afterRowid = mark->rowid;
        return Plan::AfterMark;
    }

    // Copies until the file has no more rows or a row can no longer be read
    // (a damaged page) or stored (a full disk). Rows are stored a batch at a
    // time, each batch ending with a whole message, so the mark can always
    // follow exactly what was stored.
    End copyRows(CounterInsert& insert, CountedRows* counted) {
        SmsRow row;
        for (;;) {
            switch (read_.next(row)) {
            case MessageSource::Next::Done: return stored(insert) ? End::Done : End::InsertFailed;
            case MessageSource::Next::Error:
                // The message being read when the file gave out may have
                // rows still unread: none of it is kept.
                if (!read_.lastComplete() || *read_.lastComplete() < currentMessage_)
                    insert.abandonMessage(currentMessage_);
                return stored(insert) ? End::ReadFailed : End::InsertFailed;
            case MessageSource::Next::Row: break;
            }
            if (row.rowid != currentMessage_) {
                if (insert.full() && !stored(insert)) return End::InsertFailed;
                currentMessage_ = row.rowid;
            }
            if (counted && counted->alreadyCounted(row)) continue;
            insert.add(row);
            if (insert.overflowing() && !insert.flushPart()) return End::InsertFailed;
        }
    }

    // The last message whose rows were all stored (or passed over).
    std::optional<std::int64_t> storedThrough() const { return storedThrough_; }

private:
    // The message under the mark's ROWID is still the one the mark names; or
    // it is gone (deleted on the phone), the phone's counter has passed it,
    // and the newest message still below it is one already counted. A
    // restored phone may have numbered new messages up to the mark again, so
    // the counter alone proves nothing.
    bool markStillHolds(const SourcePosition& mark) {
        const std::optional<SourcePosition> now = read_.positionAt(mark.rowid);
        if (now && now->sameMessageAs(mark)) return true;
        if (!now && read_.highestRowidEverUsed() >= mark.rowid) return newestBelowIsCounted(mark.rowid);
        ProgramLog::print(
            "%s is not the file the last sync read (a restored phone or another one); its "
            "messages are matched against the counted ones, so none is counted twice\n",
            TerminalText::safe(read_.name()).c_str());
        return false;
    }

    // Whether the newest message of the file below `rowid` is one of the
    // counted rows (false too when it is no text message at all).
    bool newestBelowIsCounted(std::int64_t rowid) {
        const std::optional<std::int64_t> below = read_.newestRowidBelow(rowid);
        if (!below) return false;
        ReadFrom from;
        from.afterRowid = *below - 1;
        CountedRows counted(counter_, keepsService_);
        SmsRow row;
        return counted.isPrepared() && read_.start(from) && read_.next(row) == MessageSource::Next::Row &&
               row.rowid == from.afterRowid + 1 && counted.alreadyCounted(row);
    }

    MessageSource& read_;
    SqliteDatabase& counter_;
    bool keepsService_;
    // Stores what waits, at a point where every message before the reader's
    // current row is complete.
    bool stored(CounterInsert& insert) {
        if (insert.flush()) {
            storedThrough_ = read_.lastComplete();
            return true;
        }
        if (insert.salvagedThrough()) storedThrough_ = insert.salvagedThrough();
        return false;
    }

    std::int64_t currentMessage_ = INT64_MIN;
    std::optional<std::int64_t> storedThrough_;
};

void reportStop(End end, const MessageSource& source, const SqliteDatabase& counter, const std::string& counterPath) {
    const std::string name = TerminalText::safe(source.name());
    if (const long long undated = source.undatedRows(); undated > 0)
        ProgramLog::print("%lld messages of %s have no date and were not copied\n", undated, name.c_str());
    if (end == End::ReadFailed)
        ProgramLog::print("%s could not be read to the end (%s); the messages before that were copied\n", name.c_str(),
                          TerminalText::safe(source.readError()).c_str());
    else if (end == End::InsertFailed && counter.lastErrorIsDiskFull())
        ProgramLog::print("the disk that holds %s is full; the sync stopped there\n",
                          TerminalText::safe(counterPath).c_str());
    else if (end == End::InsertFailed)
        ProgramLog::print("a message could not be stored in %s (%s); the sync stopped there\n",
                          TerminalText::safe(counterPath).c_str(), TerminalText::safe(counter.lastError()).c_str());
}

void reportRollback(const SqliteDatabase& counter, const std::string& counterPath) {
    if (counter.lastErrorIsDiskFull())
        ProgramLog::print("the disk that holds %s is full; nothing of this sync was kept\n",
                          TerminalText::safe(counterPath).c_str());
    else
        ProgramLog::print("%s could not be written (%s); nothing of this sync was kept\n",
                          TerminalText::safe(counterPath).c_str(), TerminalText::safe(counter.lastError()).c_str());
}

// The mark after a read: on a complete read the newest message of the file
// as it was read, so the next sync starts after everything this one saw;
// after a failure the last message copied whole.
std::optional<SourcePosition> markAfter(End end, std::optional<std::int64_t> complete, const MessageSource& read) {
    if (end == End::Done) {
        std::optional<SourcePosition> newest = read.newestPosition();
        if (newest && (!complete || newest->rowid >= *complete)) return newest;
    }
    if (!complete) return std::nullopt;
    // A message that cannot be named again (a damaged page) still moves the
    // mark past the rows just copied; the next sync, unable to recognise it,
    // matches what it reads against the counted rows.
    SourcePosition bare;
    bare.rowid = *complete;
    return read.positionAt(*complete).value_or(bare);
}

}  // namespace

SyncStatus MessageCopy::run(std::int64_t rFrom, std::int64_t sFrom, std::vector<std::int64_t>& returnValue) {
    return run(PhoneProfile::find(), rFrom, sFrom, returnValue);
}

SyncStatus MessageCopy::run(const PhoneProfile& profile, std::int64_t rFrom, std::int64_t sFrom,
                            std::vector<std::int64_t>& returnValue) {
    // The newest dates handed back: the markers minus one unless something
    // newer was copied.
    std::int64_t rMax = unchanged(rFrom), sMax = unchanged(sFrom);
    auto finish = [&](SyncStatus status) {
        returnValue.push_back(rMax);
        returnValue.push_back(sMax);
        return status;
    };
    auto abandon = [&](SyncStatus status) {
        rMax = unchanged(rFrom);
        sMax = unchanged(sFrom);
        return finish(status);
    };

    // One profile for the whole sync: its counter database, what that keeps
    // of a message, and where its messages come from.
    const bool keepsService = profile.counterKeepsService();
    const std::unique_ptr<MessageSource> source = profile.makeSource();
    if (const SyncStatus opened = source->open(); opened != SyncStatus::Ok) return abandon(opened);
    // Never create the counter database here: an empty file would stop the
    // seeding step from ever copying the real seed into place.
    const std::string counterPath = profile.counterDatabase();
    SqliteDatabase counter;
    if (!counter.open(counterPath, SqliteDatabase::Mode::ReadWrite)) {
        counter.logFailure("syncing: opening " + counterPath);
        return abandon(SyncStatus::CannotOpenCounterDatabase);
    }
    // Each insert statement keeps the pages it changes in a statement
    // journal, so that a failed one takes back only itself; SQLite writes
    // that journal to a temporary file past 64 KiB, which cost a first sync
    // more write calls than the database itself. In memory it stays as
    // small as one statement's pages.
    if (!counter.exec("PRAGMA temp_store = MEMORY")) {
        counter.logFailure("syncing: setting up " + counterPath);
        return abandon(SyncStatus::CannotOpenCounterDatabase);
    }
    // Every return from here on that does not commit rolls back: nothing of
    // an abandoned sync stays behind.
    SqliteTransaction transaction(counter, SqliteTransaction::Behavior::Immediate, "syncing into " + counterPath);
    if (!transaction.isActive()) return abandon(SyncStatus::CannotOpenCounterDatabase);
    if (!CounterMarkers::ensureTable(counter) || !SourceMark::ensureTable(counter)) {
        counter.logFailure("syncing: creating the marker tables of " + counterPath);
        return abandon(SyncStatus::CannotWriteCounterDatabase);
    }

    // The date markers: the later of the caller's and the copy committed
    // with the rows, as the caller's may predate a sync whose settings write
    // never happened. They choose the messages only where there is no mark.
    const auto committed = CounterMarkers::read(counter);
    if (committed) {
        rFrom = std::max(rFrom, committed->received);
        sFrom = std::max(sFrom, committed->sent);
        rMax = unchanged(rFrom);
        sMax = unchanged(sFrom);
    }

    // One read of the source, so the check of the mark, the rows and the
    // newest message all see it as it was at one moment.
    MessageSource& read = *source;
    if (const SyncStatus begun = read.beginRead(); begun != SyncStatus::Ok) return abandon(begun);
    const std::optional<SourcePosition> mark = SourceMark::read(counter);
    Copy copy(read, counter, keepsService);
    ReadFrom from;
    const Plan plan = copy.plan(mark, rFrom, sFrom, from);
    if (!read.start(from)) {
        ProgramLog::failure("syncing: reading the messages of " + read.location(), read.readError());
        return abandon(SyncStatus::CannotReadSmsDatabase);
    }
    CounterInsert insert(counter, keepsService);
    if (!insert.prepare()) {
        counter.logFailure("syncing: preparing the insert into " + counterPath);
        return abandon(SyncStatus::CannotWriteCounterDatabase);
    }
    std::optional<CountedRows> counted;
    if (plan == Plan::Merge) {
        counted.emplace(counter, keepsService);
        if (!counted->isPrepared()) {
            counter.logFailure("syncing: looking up the counted messages of " + counterPath);
            return abandon(SyncStatus::CannotWriteCounterDatabase);
        }
    }

    const End end = copy.copyRows(insert, counted ? &*counted : nullptr);
    // SQLite rolls a transaction back by itself on some failures (a full
    // disk once the change outgrew the page cache); then nothing may be
    // written after it, or a mark would cover rows that are gone.
    if (!counter.inTransaction()) {
        reportRollback(counter, counterPath);
        return abandon(SyncStatus::Ok);
    }
    reportStop(end, read, counter, counterPath);
    rMax = std::max(rMax, insert.newestReceived());
    sMax = std::max(sMax, insert.newestSent());
    const std::optional<SourcePosition> position = markAfter(end, copy.storedThrough(), read);
    read.endRead();

    if (position && position != mark && !SourceMark::write(counter, *position)) {
        counter.logFailure("syncing: storing how far the sync got in " + counterPath);
        return abandon(SyncStatus::Ok);
    }
    // Markers that did not move are not written again: a sync that found
    // nothing new then commits an empty transaction, which touches no disk.
    const CounterMarkers::Markers next{CounterMarkers::after(rMax), CounterMarkers::after(sMax)};
    const bool moved = !committed || committed->received != next.received || committed->sent != next.sent;
    if (moved && !CounterMarkers::write(counter, next)) {
        counter.logFailure("syncing: storing the sync markers in " + counterPath);
        return abandon(SyncStatus::Ok);
    }
    // A failed COMMIT (a busy database, a full disk) keeps nothing: the
    // transaction rolls back, and the next sync retries from the same mark.
    if (!transaction.commit()) {
        reportRollback(counter, counterPath);
        return abandon(SyncStatus::Ok);
    }
    return finish(SyncStatus::Ok);
}
