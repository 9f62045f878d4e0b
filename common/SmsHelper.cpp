#include "common/SmsHelper.h"

#include "common/CountingSession.h"
#include "common/SegmentCounter.h"
#include "common/SqliteDatabase.h"
#include "common/SqliteStatement.h"
#include "platform/AddressBook.h"
#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"

#include <algorithm>
#include <climits>
#include <cmath>
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
