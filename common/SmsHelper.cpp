#include "common/SmsHelper.h"

#include "common/CounterMarkers.h"
#include "common/CountingSession.h"
#include "common/SegmentCounter.h"
#include "common/SmsReader.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/AddressBook.h"
#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int kReceived = 2;
constexpr int kSent = 3;

constexpr const char* kOldWriteSql =
    "insert into message (address, date, text, flags, smscount) values (?,?,?,?,?)";
constexpr const char* kNewWriteSql =
    "insert into message (address, date, text, flags, smscount, type) values (?,?,?,?,?,?)";

// The value that, once the caller has added one, leaves the marker where it
// was.
std::int64_t unchanged(std::int64_t marker) { return marker == INT64_MIN ? INT64_MIN : marker - 1; }

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// The marker after `newest`: one second later, saturating rather than
// wrapping for a date at the very end of the range.
std::int64_t after(std::int64_t newest) { return newest == INT64_MAX ? INT64_MAX : newest + 1; }

enum class CopyEnd { Done, ReadFailed, InsertFailed };

void bindOptionalText(SqliteStatement& write, int parameter, const char* text, int bytes) {
    if (text == nullptr)
        write.bindNull(parameter);
    else
        write.bindTextNoCopy(parameter, text, bytes);
}

// Copies the rows of `read` through `write` until sms.db has no more rows or
// a row can no longer be read (a damaged page) or stored (a full disk). What
// was stored before that stays, and the markers follow exactly the rows
// stored, so the next sync carries on from there. The row's texts stay valid
// until the reader moves on, which happens only after the insert has run, so
// they are bound without a copy.
CopyEnd copyRows(SmsReader& read, SqliteStatement& write, bool newSchema, std::int64_t& rMax, std::int64_t& sMax) {
    SmsRow row;
    for (;;) {
        switch (read.next(row)) {
        case SmsReader::Next::Done:
            return CopyEnd::Done;
        case SmsReader::Next::Error:
            return CopyEnd::ReadFailed;
        case SmsReader::Next::Row:
            break;
        }
        write.bindTextNoCopy(1, row.address, row.addressBytes);
        write.bindInt(2, row.date);
        bindOptionalText(write, 3, row.text, row.textBytes);
        write.bindInt(4, row.flags);
        write.bindInt(5, SegmentCounter::segmentsForUtf8(row.text, static_cast<std::size_t>(row.textBytes)));
        if (newSchema) bindOptionalText(write, 6, row.type, row.typeBytes);
        const bool stored = write.step() == SqliteStatement::Step::Done;
        write.reset();
        if (!stored) return CopyEnd::InsertFailed;

        if (row.flags == kSent) sMax = std::max(sMax, row.date);
        if (row.flags == kReceived) rMax = std::max(rMax, row.date);
    }
}

void reportStop(CopyEnd end, const SqliteDatabase& sms, const SqliteDatabase& counter, long long undated) {
    if (undated > 0)
        std::fprintf(stderr, "brindlex: %lld messages of sms.db have no date and were not copied\n", undated);
    if (end == CopyEnd::ReadFailed)
        std::fprintf(stderr, "brindlex: sms.db could not be read to the end (%s); the messages before that were copied\n",
                     sms.lastError().c_str());
    else if (end == CopyEnd::InsertFailed)
        std::fprintf(stderr, "brindlex: a message could not be stored in the counter database (%s); "
                             "the next sync carries on from there\n",
                     counter.lastError().c_str());
}

}  // namespace

int SmsHelper::copyRMessagesFrom(std::int64_t rFrom, std::int64_t sFrom, std::vector<std::int64_t>& returnValue) {
    std::int64_t rMax = unchanged(rFrom);
    std::int64_t sMax = unchanged(sFrom);
    auto finish = [&](int status) {
        returnValue.push_back(rMax);
        returnValue.push_back(sMax);
        return status;
    };
    auto abandon = [&](int status) {
        rMax = unchanged(rFrom);
        sMax = unchanged(sFrom);
        return finish(status);
    };

    const bool newSchema = SystemVersion::usesNewSchema();
    SqliteDatabase sms;
    if (!sms.open(DevicePaths::smsDatabase(), SqliteDatabase::Mode::Untrusted)) return abandon(kSyncCannotOpenSmsDatabase);
    // Never create the counter database here: an empty file would stop the
    // seeding step from ever copying the real seed into place.
    SqliteDatabase counter;
    if (!counter.open(DevicePaths::counterDatabase(newSchema), SqliteDatabase::Mode::ReadWrite))
        return abandon(kSyncCannotOpenCounterDatabase);
    if (!counter.exec("BEGIN IMMEDIATE")) return abandon(kSyncCannotOpenCounterDatabase);

    // Start from the later of the caller's markers and the copy committed
    // with the rows: the caller's may predate a sync whose marker write never
    // happened.
    if (!CounterMarkers::ensureTable(counter)) {
        counter.exec("ROLLBACK");
        return abandon(kSyncCannotWriteCounterDatabase);
    }
    if (const auto committed = CounterMarkers::read(counter)) {
        rFrom = std::max(rFrom, committed->received);
        sFrom = std::max(sFrom, committed->sent);
        rMax = unchanged(rFrom);
        sMax = unchanged(sFrom);
    }

    SmsReader read;
    if (!read.prepare(sms, newSchema, rFrom, sFrom)) {
        counter.exec("ROLLBACK");
        return abandon(kSyncCannotReadSmsDatabase);
    }

    SqliteStatement write;
    if (!write.prepare(counter, newSchema ? kNewWriteSql : kOldWriteSql)) {
        counter.exec("ROLLBACK");
        return abandon(kSyncCannotWriteCounterDatabase);
    }

    const CopyEnd end = copyRows(read, write, newSchema, rMax, sMax);
    read.finalize();
    write.finalize();
    reportStop(end, sms, counter, read.undatedRows());
    if (!CounterMarkers::write(counter, {after(rMax), after(sMax)}) || !counter.exec("COMMIT")) {
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

bool SmsHelper::clearDB() {
    // The rows and the marker copy go together: a copy left behind would keep
    // the resync that follows from copying the messages again.
    SqliteDatabase counter;
    if (!counter.open(DevicePaths::counterDatabase(), SqliteDatabase::Mode::ReadWrite)) return false;
    if (!counter.exec("BEGIN IMMEDIATE")) return false;
    SqliteStatement statement;
    const bool deleted = statement.prepare(counter, "delete from message") &&
                         statement.step() == SqliteStatement::Step::Done;
    statement.finalize();
    if (!deleted || !CounterMarkers::clear(counter) || !counter.exec("COMMIT")) {
        counter.exec("ROLLBACK");
        return false;
    }
    return true;
}

bool SmsHelper::isNormalSMS(std::u16string_view text) { return SegmentCounter::isNormalSMS(text); }

// --- Counting ---------------------------------------------------------------

namespace {

// The statements of one counter database schema. From 6.0 only rows of the
// platform's "SMS" service count.
struct CountStatements {
    const char* receivedRows;
    const char* sentRows;
    const char* sentRowsForPerson;
    const char* receivedAddresses;
    const char* sentAddresses;
    const char* anyAddresses;
    const char* allAddresses;
    const char* badgeSumSent;
    const char* badgeSumReceived;
    const char* badgeSumBoth;
    const char* badgeRowsSent;
    const char* badgeRowsReceived;
    const char* badgeRowsBoth;
};

constexpr CountStatements kOldCounts{
    "select smscount, address, date, text, rowid from message where flags = 2 and date >= ? and date <= ?",
    "select smscount, address, date, text, rowid from message where flags = 3 and date >= ? and date <= ?",
    "select smscount, address, date, text, rowid from message where flags = 3 and date >= ? and date <= ?",
    "select DISTINCT address from message where flags = 2 and date >= ? and date <= ?",
    "select DISTINCT address from message where flags = 3 and date >= ? and date <= ?",
    "select DISTINCT address from message where date >= ? and date <= ?",
    "SELECT DISTINCT address FROM message order by address",
    "select sum(smscount) from message where flags = 3 and date >= ?",
    "select sum(smscount) from message where flags = 2 and date >= ?",
    "select sum(smscount) from message where (flags = 2 OR flags = 3) and date >= ?",
    "select smscount, address from message where flags = 3 and date >= ?",
    "select smscount, address from message where flags = 2 and date >= ?",
    "select smscount, address from message where (flags = 2 OR flags = 3) and date >= ?",
};

constexpr CountStatements kNewCounts{
    "select smscount, address, date, text, rowid from message where type = 'SMS' AND flags = 2 and date >= ? and "
    "date <= ?",
    "select smscount, address, date, text, rowid from message where type = 'SMS' AND flags = 3 and date >= ? and "
    "date <= ?",
    "select smscount, address, date, text, rowid from message where type='SMS' AND flags = 3 and date >= ? and "
    "date <= ?",
    "select DISTINCT address from message where type = 'SMS' AND flags = 2 and date >= ? and date <= ?",
    "select DISTINCT address from message where type = 'SMS' AND flags = 3 and date >= ? and date <= ?",
    "select DISTINCT address from message where type = 'SMS' AND date >= ? and date <= ?",
    "SELECT DISTINCT address FROM message WHERE type = 'SMS' order by address",
    "select sum(smscount) from message where type = 'SMS' AND flags = 3 and date >= ?",
    "select sum(smscount) from message where type = 'SMS' AND flags = 2 and date >= ?",
    "select sum(smscount) from message where type = 'SMS' AND (flags = 2 OR flags = 3) and date >= ?",
    "select smscount, address from message where type = 'SMS' AND flags = 3 and date >= ?",
    "select smscount, address from message where type = 'SMS' AND flags = 2 and date >= ?",
    "select smscount, address from message where type = 'SMS' AND (flags = 2 OR flags = 3) and date >= ?",
};

const CountStatements& countStatements(bool newSchema) { return newSchema ? kNewCounts : kOldCounts; }

// Period bounds are bound as 32-bit whole seconds.
std::int64_t boundValue(std::time_t seconds) {
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(seconds), INT32_MIN, INT32_MAX);
}

bool isQuotaBadge(int badgeType) { return badgeType >= 4 && badgeType <= 6; }

const char* badgeSumStatement(const CountStatements& statements, int badgeType) {
    if (badgeType == 2 || badgeType == 6) return statements.badgeSumSent;
    if (badgeType == 1 || badgeType == 5) return statements.badgeSumReceived;
    return statements.badgeSumBoth;
}

const char* badgeRowsStatement(const CountStatements& statements, int badgeType) {
    if (badgeType == 2 || badgeType == 6) return statements.badgeRowsSent;
    if (badgeType == 1 || badgeType == 5) return statements.badgeRowsReceived;
    return statements.badgeRowsBoth;
}

// The person filter's numbers in slices small enough for one statement.
std::vector<std::vector<std::string>> numberSlices(const Person* forPerson) {
    std::vector<std::vector<std::string>> slices;
    if (!forPerson || forPerson->numSet().empty()) return {{}};
    const auto& numbers = forPerson->numSet();
    for (std::size_t first = 0; first < numbers.size(); first += SmsHelper::kMaxNumbersPerStatement) {
        const std::size_t last = std::min(numbers.size(), first + SmsHelper::kMaxNumbersPerStatement);
        slices.emplace_back(numbers.begin() + static_cast<std::ptrdiff_t>(first),
                            numbers.begin() + static_cast<std::ptrdiff_t>(last));
    }
    return slices;
}

}  // namespace

AddressBook& SmsHelper::initAddressBook() { return AddressBook::shared(); }

std::string SmsHelper::generateAddressOrSQL(int n) {
    if (n < 1) return "";
    if (n == 1) return "address = ?";
    std::string clause = "(address = ?";
    clause.reserve(clause.size() + static_cast<std::size_t>(n - 1) * 16 + 1);
    for (int i = 1; i < n; ++i) clause += " OR address = ? ";
    clause += ")";
    return clause;
}

int SmsHelper::directCount(CountingSession& session, int flags, Bound from, Bound to, const Person* forPerson,
                           std::vector<Sms>* records) {
    if (!from || !to) return 0;
    const CountStatements& statements = countStatements(session.newSchema());
    const char* base = flags == kReceived ? statements.receivedRows
                       : forPerson        ? statements.sentRowsForPerson
                                          : statements.sentRows;
    int total = 0;
    for (const auto& numbers : numberSlices(forPerson)) {
        std::string sql = base;
        if (!numbers.empty()) sql += " and " + generateAddressOrSQL(static_cast<int>(numbers.size()));
        SqliteStatement* rows = session.statement(sql);
        if (!rows) return 0;
        rows->bindInt(1, boundValue(*from));
        rows->bindInt(2, boundValue(*to));
        for (std::size_t i = 0; i < numbers.size(); ++i) rows->bindText(static_cast<int>(i) + 3, numbers[i]);

        while (rows->step() == SqliteStatement::Step::Row) {
            int addressBytes = 0;
            const char* address = rows->columnText(1, &addressBytes);
            if (!address || addressBytes == 0) continue;
            const CountingSession::Verdict& verdict =
                session.verdictFor(std::string_view(address, static_cast<std::size_t>(addressBytes)));
            if (!verdict.counted) continue;
            total += static_cast<int>(rows->columnInt(0));
            if (records)
                records->emplace_back(verdict.person, std::string(address, static_cast<std::size_t>(addressBytes)),
                                      static_cast<std::time_t>(rows->columnInt(2)), rows->columnString(3), flags,
                                      rows->columnInt(4));
        }
    }
    return total;
}

int SmsHelper::countIncomingFrom(Bound from, Bound to, const Person* forPerson,
                                 const std::vector<Person>* excludedPerson, std::vector<Sms>* records) {
    if (!from || !to) return 0;
    CountingSession session(excludedPerson);
    return session.isOpen() ? directCount(session, kReceived, from, to, forPerson, records) : 0;
}

int SmsHelper::countOutgoingFrom(Bound from, Bound to, const Person* forPerson,
                                 const std::vector<Person>* excludedPerson, std::vector<Sms>* records) {
    if (!from || !to) return 0;
    CountingSession session(excludedPerson);
    return session.isOpen() ? directCount(session, kSent, from, to, forPerson, records) : 0;
}

void SmsHelper::countGroupSelect(CountingSession& session, SqliteStatement& select, std::vector<Person>& personArray,
                                 std::vector<double>& countArray, int type, Bound from, Bound to) {
    while (select.step() == SqliteStatement::Step::Row) {
        const std::string address = select.columnString(0);
        if (address.empty()) continue;

        // The segments of this one address, under the same exclusions.
        const Person filter = Person::bareNumber(address, -1);
        int k = 0;
        if (type == kGroupReceived || type == kGroupBoth) k += directCount(session, kReceived, from, to, &filter, nullptr);
        if (type == kGroupSent || type == kGroupBoth) k += directCount(session, kSent, from, to, &filter, nullptr);

        Person::Resolution resolution = Person::resolveAddress(address);
        if (resolution.contactFound) {
            if (!resolution.contactHasName || session.excludesPerson(resolution.person)) continue;
            const int index = Person::indexOfEqual(personArray, resolution.person);
            if (index >= 0) {
                countArray[static_cast<std::size_t>(index)] =
                    std::trunc(countArray[static_cast<std::size_t>(index)]) + k;
                personArray[static_cast<std::size_t>(index)].addNumber(address);
            } else {
                personArray.push_back(std::move(resolution.person));
                countArray.push_back(k);
            }
            continue;
        }
        if (session.excludesNumber(address)) continue;
        const auto holder = std::find_if(personArray.begin(), personArray.end(),
                                         [&](const Person& person) { return person.containsNumber(address); });
        if (holder != personArray.end()) {
            countArray[static_cast<std::size_t>(holder - personArray.begin())] += k;
        } else {
            personArray.push_back(Person::bareNumber(address, -1));
            countArray.push_back(k);
        }
    }
}

void SmsHelper::groupCount(int type, Bound from, Bound to, std::vector<Person>& personArray,
                           std::vector<double>& countArray, const std::vector<Person>* excludedPerson) {
    if (!from || !to) return;
    CountingSession session(excludedPerson);
    if (!session.isOpen()) return;
    const CountStatements& statements = countStatements(session.newSchema());
    const char* sql = type == kGroupReceived ? statements.receivedAddresses
                      : type == kGroupSent   ? statements.sentAddresses
                                             : statements.anyAddresses;
    // Its own statement, not one of the session's cache: the per-address
    // counts use the cache while this one is still stepping.
    SqliteStatement select;
    if (!select.prepare(session.database(), sql)) return;
    select.bindInt(1, boundValue(*from));
    select.bindInt(2, boundValue(*to));
    countGroupSelect(session, select, personArray, countArray, type, from, to);
}

void SmsHelper::countIncomingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                       std::vector<double>& countArray, const std::vector<Person>* excludedPerson) {
    groupCount(kGroupReceived, from, to, personArray, countArray, excludedPerson);
}

void SmsHelper::countOutgoingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                       std::vector<double>& countArray, const std::vector<Person>* excludedPerson) {
    groupCount(kGroupSent, from, to, personArray, countArray, excludedPerson);
}

void SmsHelper::countGroupFrom(Bound from, Bound to, std::vector<Person>& personArray, std::vector<double>& countArray,
                               const std::vector<Person>* excludedPerson) {
    groupCount(kGroupBoth, from, to, personArray, countArray, excludedPerson);
}

void SmsHelper::getUniquePerson(std::vector<Person>& persons) {
    CountingSession session(nullptr);
    if (!session.isOpen()) return;
    SqliteStatement select;
    if (select.prepare(session.database(), countStatements(session.newSchema()).allAddresses)) {
        std::vector<double> scratch(persons.size(), 0.0);
        countGroupSelect(session, select, persons, scratch, kGroupNone, std::nullopt, std::nullopt);
    }
    std::stable_sort(persons.begin(), persons.end(),
                     [](const Person& a, const Person& b) { return a.comparePerson(b) < 0; });
}

int SmsHelper::countBadgeFrom(Bound from, const std::vector<Person>* excludedPerson, int badgeType, int quota) {
    if (!from) return -1;
    CountingSession session(excludedPerson);
    if (!session.isOpen()) return -1;
    const CountStatements& statements = countStatements(session.newSchema());

    std::int64_t total = 0;
    if (!session.excludedPerson()) {
        SqliteStatement* sum = session.statement(badgeSumStatement(statements, badgeType));
        if (!sum) return 0;
        sum->bindInt(1, boundValue(*from));
        if (sum->step() == SqliteStatement::Step::Row) total = sum->columnInt(0);  // NULL sum reads as 0
    } else {
        SqliteStatement* rows = session.statement(badgeRowsStatement(statements, badgeType));
        if (!rows) return 0;
        rows->bindInt(1, boundValue(*from));
        while (rows->step() == SqliteStatement::Step::Row) {
            int addressBytes = 0;
            const char* address = rows->columnText(1, &addressBytes);
            if (!address || addressBytes == 0) continue;
            if (session.verdictFor(std::string_view(address, static_cast<std::size_t>(addressBytes))).counted)
                total += rows->columnInt(0);
        }
    }
    const int segments = clampToInt(total);
    if (isQuotaBadge(badgeType)) return std::max(0, clampToInt(std::int64_t{quota} - total));
    return segments;
}
