#include "common/SmsHelper.h"

#include "common/SegmentCounter.h"
#include "common/SqliteDatabase.h"
#include "common/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

constexpr int kReceived = 2;
constexpr int kSent = 3;

constexpr const char* kOldReadSql =
    "select address, date, text,flags from message where (date >=? AND flags = 3) OR (date >=? AND flags = 2) "
    "order by ROWID asc";
constexpr const char* kOldWriteSql =
    "insert into message (address, date, text, flags, smscount) values (?,?,?,?,?)";

// Each direction has its own lower bound, as in the older schema: a single
// bound (the larger marker) would skip sent messages dated between the two
// markers. Parameter 1 is the sent marker, parameter 2 the received one.
constexpr const char* kNewReadSql =
    "SELECT h.id as address,(date + 978307200) as date, text as text, CASE is_from_me  WHEN 0 THEN 2 WHEN 1 "
    "THEN 3 ELSE 0 END as flags, m.service as type FROM message m, handle h WHERE h.rowid = m.handle_id AND "
    "((m.is_from_me = 1 AND m.date >= (? - 978307200)) OR (m.is_from_me = 0 AND m.date >= (? - 978307200))) "
    "ORDER BY m.rowid ASC";
constexpr const char* kNewWriteSql =
    "insert into message (address, date, text, flags, smscount, type) values (?,?,?,?,?,?)";

// The value that, once the caller has added one, leaves the marker where it
// was.
int unchanged(int marker) { return marker == INT_MIN ? INT_MIN : marker - 1; }

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// Binds a text column of the current row to an insert parameter, NULL
// staying NULL, and returns the text. It stays valid until the read
// statement steps again, which happens only after the insert has run, so no
// copy is needed.
const char* passText(const SqliteStatement& read, int column, SqliteStatement& write, int parameter) {
    int bytes = 0;
    const char* text = read.columnText(column, &bytes);
    if (text == nullptr)
        write.bindNull(parameter);
    else
        write.bindTextNoCopy(parameter, text, bytes);
    return text;
}

// Copies the rows of `read` through `write`. False when a row could not be
// read or stored; the caller then abandons the whole copy.
bool copyRows(SqliteStatement& read, SqliteStatement& write, bool newSchema, std::int64_t& rMax,
              std::int64_t& sMax) {
    for (;;) {
        switch (read.step()) {
        case SqliteStatement::Step::Done:
            return true;
        case SqliteStatement::Step::Error:
            return false;
        case SqliteStatement::Step::Row:
            break;
        }
        int addressBytes = 0;
        const char* address = read.columnText(0, &addressBytes);
        if (address == nullptr || addressBytes == 0) continue;
        const std::int64_t flags = read.columnInt(3);
        if (flags != kReceived && flags != kSent) continue;
        const std::int64_t date = read.columnInt(1);

        write.bindTextNoCopy(1, address, addressBytes);
        write.bindInt(2, date);
        const char* text = passText(read, 2, write, 3);
        write.bindInt(4, flags);
        write.bindInt(5, SegmentCounter::segmentsForUtf8(text, static_cast<std::size_t>(read.columnBytes(2))));
        if (newSchema) passText(read, 4, write, 6);
        const bool stored = write.step() == SqliteStatement::Step::Done;
        write.reset();
        if (!stored) return false;

        if (flags == kSent) sMax = std::max(sMax, date);
        if (flags == kReceived) rMax = std::max(rMax, date);
    }
}

}  // namespace

int SmsHelper::copyRMessagesFrom(int rFrom, int sFrom, std::vector<int>& returnValue) {
    std::int64_t rMax = unchanged(rFrom);
    std::int64_t sMax = unchanged(sFrom);
    auto finish = [&](int status) {
        returnValue.push_back(clampToInt(rMax));
        returnValue.push_back(clampToInt(sMax));
        return status;
    };
    auto abandon = [&](int status) {
        rMax = unchanged(rFrom);
        sMax = unchanged(sFrom);
        return finish(status);
    };

    const bool newSchema = SystemVersion::usesNewSchema();
    SqliteDatabase sms;
    if (!sms.open(DevicePaths::smsDatabase(), SqliteDatabase::Mode::ReadOnly)) return abandon(kSyncCannotOpenSmsDatabase);
    // Never create the counter database here: an empty file would stop the
    // seeding step from ever copying the real seed into place.
    SqliteDatabase counter;
    if (!counter.open(DevicePaths::counterDatabase(newSchema), SqliteDatabase::Mode::ReadWrite))
        return abandon(kSyncCannotOpenCounterDatabase);
    if (!counter.exec("BEGIN TRANSACTION")) return abandon(kSyncCannotOpenCounterDatabase);

    SqliteStatement read;
    if (!read.prepare(sms, newSchema ? kNewReadSql : kOldReadSql)) {
        counter.exec("ROLLBACK");
        return abandon(kSyncCannotReadSmsDatabase);
    }
    read.bindInt(1, sFrom);
    read.bindInt(2, rFrom);

    SqliteStatement write;
    if (!write.prepare(counter, newSchema ? kNewWriteSql : kOldWriteSql)) {
        counter.exec("ROLLBACK");
        return abandon(kSyncCannotWriteCounterDatabase);
    }

    const bool copied = copyRows(read, write, newSchema, rMax, sMax);
    read.finalize();
    write.finalize();
    if (!copied || !counter.exec("COMMIT")) {
        // A failed COMMIT may leave the transaction open (a busy database):
        // end it, keep nothing, and let the next sync retry from the same
        // markers.
        counter.exec("ROLLBACK");
        return abandon(kSyncOk);
    }
    return finish(kSyncOk);
}

bool SmsHelper::runMaintenance(const std::string& sql, long long rowid, bool bindRowid) {
    SqliteDatabase counter;
    if (!counter.open(DevicePaths::counterDatabase(), SqliteDatabase::Mode::ReadWrite)) return false;
    SqliteStatement statement;
    if (!statement.prepare(counter, sql)) return false;
    if (bindRowid) statement.bindInt(1, rowid);
    return statement.step() == SqliteStatement::Step::Done;
}

bool SmsHelper::deleteRow(long long rowid) {
    return runMaintenance("delete from message where rowid = ?", rowid, true);
}

bool SmsHelper::clearDB() { return runMaintenance("delete from message", 0, false); }

bool SmsHelper::isNormalSMS(std::u16string_view text) { return SegmentCounter::isNormalSMS(text); }
