#include "common/SmsHelper.h"

#include "common/CounterMarkers.h"
#include "common/CountingSession.h"
#include "common/MessageCopy.h"
#include "common/PhoneProfile.h"
#include "common/SegmentCounter.h"
#include "common/SourceMark.h"
#include "platform/AddressBook.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "platform/ProgramLog.h"
#include "platform/SqliteStatement.h"
#include "platform/SqliteTransaction.h"
#include "platform/SystemVersion.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

SyncStatus SmsHelper::copyRMessagesFrom(std::int64_t rFrom, std::int64_t sFrom,
                                        std::vector<std::int64_t>& returnValue) {
    return MessageCopy::run(rFrom, sFrom, returnValue);
}

bool SmsHelper::runMaintenance(const std::string& sql, long long rowid, bool bindRowid) {
    const std::string path = PhoneProfile::find().counterDatabase();
    SqliteDatabase counter;
    if (!counter.open(path, SqliteDatabase::Mode::ReadWrite)) {
        counter.logFailure("deleting a message: opening " + path);
        return false;
    }
    SqliteStatement statement;
    if (statement.prepare(counter, sql)) {
        if (bindRowid) statement.bindInt(1, rowid);
        if (statement.step() == SqliteStatement::Step::Done) return true;
    }
    counter.logFailure("deleting a message from " + path);
    return false;
}

bool SmsHelper::deleteRow(long long rowid) {
    return runMaintenance("delete from message where rowid = ?", rowid, true);
}

bool SmsHelper::clearDB() {
    const std::string path = PhoneProfile::find().counterDatabase();
    SqliteDatabase counter;
    if (!counter.open(path, SqliteDatabase::Mode::ReadWrite)) {
        counter.logFailure("clearing the counter database: opening " + path);
        return false;
    }
    // The rows and the marker copy go together: a copy left behind would keep
    // the resync that follows from copying the messages again.
    SqliteTransaction transaction(counter, SqliteTransaction::Behavior::Immediate, "clearing " + path);
    if (!transaction.isActive()) return false;
    SqliteStatement statement;
    if (!statement.prepare(counter, "delete from message") || statement.step() != SqliteStatement::Step::Done) {
        counter.logFailure("clearing " + path + ": deleting the messages");
        return false;
    }
    statement.finalize();
    if (!CounterMarkers::clear(counter) || !SourceMark::clear(counter)) {
        counter.logFailure("clearing " + path + ": deleting the sync markers");
        return false;
    }
    return transaction.commit();
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

const CountStatements& countStatements(CountVariant variant) {
    return variant == CountVariant::SmsServiceOnly ? kNewCounts : kOldCounts;
}

int clampToInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)); }

// Period bounds are bound as 32-bit whole seconds.
std::int64_t boundValue(std::time_t seconds) {
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(seconds), INT32_MIN, INT32_MAX);
}

// The statement of the three that counts what the badge type counts.
const char* forCountedMessages(BadgeType badgeType, const char* sent, const char* received, const char* both) {
    switch (countedMessages(badgeType)) {
    case MessageType::Sent: return sent;
    case MessageType::Received: return received;
    default: return both;
    }
}

const char* badgeSumStatement(const CountStatements& statements, BadgeType badgeType) {
    return forCountedMessages(badgeType, statements.badgeSumSent, statements.badgeSumReceived, statements.badgeSumBoth);
}

const char* badgeRowsStatement(const CountStatements& statements, BadgeType badgeType) {
    return forCountedMessages(badgeType, statements.badgeRowsSent, statements.badgeRowsReceived,
                              statements.badgeRowsBoth);
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

Counted<int> SmsHelper::directCount(CountingSession& session, Direction flags, Bound from, Bound to,
                                    const Person* forPerson, std::vector<Sms>* records) {
    if (!from || !to) return 0;
    const CountStatements& statements = countStatements(session.countVariant());
    const char* base = flags == Direction::Received ? statements.receivedRows
                       : forPerson                  ? statements.sentRowsForPerson
                                                    : statements.sentRows;
    int total = 0;
    for (const auto& numbers : numberSlices(forPerson)) {
        std::string sql = base;
        if (!numbers.empty()) sql += " and " + generateAddressOrSQL(static_cast<int>(numbers.size()));
        SqliteStatement* rows = session.statement(sql);
        if (!rows) return Counted<int>::failed(session.failure());
        rows->bindInt(1, boundValue(*from));
        rows->bindInt(2, boundValue(*to));
        for (std::size_t i = 0; i < numbers.size(); ++i) rows->bindText(static_cast<int>(i) + 3, numbers[i]);

        SqliteStatement::Step step;
        while ((step = rows->step()) == SqliteStatement::Step::Row) {
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
        // A damaged page part-way: the rows before it are no total either.
        if (step == SqliteStatement::Step::Error) {
            session.fail("counting the messages of the period");
            return Counted<int>::failed(session.failure());
        }
    }
    return total;
}

Counted<int> SmsHelper::countIncomingFrom(Bound from, Bound to, const Person* forPerson,
                                          const std::vector<Person>* excludedPerson, std::vector<Sms>* records) {
    if (!from || !to) return 0;
    CountingSession session(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());
    return directCount(session, Direction::Received, from, to, forPerson, records);
}

Counted<int> SmsHelper::countOutgoingFrom(Bound from, Bound to, const Person* forPerson,
                                          const std::vector<Person>* excludedPerson, std::vector<Sms>* records) {
    if (!from || !to) return 0;
    CountingSession session(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());
    return directCount(session, Direction::Sent, from, to, forPerson, records);
}

Counted<int> SmsHelper::countMessages(MessageType type, Direction firstOfBoth, Bound from, Bound to,
                                      const Person* forPerson, const std::vector<Person>* excludedPerson,
                                      std::vector<Sms>* records) {
    int total = 0;
    for (const Direction direction : countedDirections(type, firstOfBoth)) {
        const Counted<int> count = direction == Direction::Received
                                       ? countIncomingFrom(from, to, forPerson, excludedPerson, records)
                                       : countOutgoingFrom(from, to, forPerson, excludedPerson, records);
        if (!count) return count;
        total += count.value();
    }
    return total;
}

int SmsHelper::countGroupSelect(CountingSession& session, SqliteStatement& select, std::vector<Person>& personArray,
                                std::vector<int>& countArray, int type, Bound from, Bound to) {
    int added = 0;
    SqliteStatement::Step step;
    while ((step = select.step()) == SqliteStatement::Step::Row) {
        const std::string address = select.columnString(0);
        if (address.empty()) continue;

        // The segments of this one address, under the same exclusions. A
        // failed count is recorded in the session and counts 0 here: the
        // group goes on, so the people are listed whatever their counts.
        const Person filter = Person::bareNumber(address, -1);
        int k = 0;
        if (type == kGroupReceived || type == kGroupBoth)
            k += directCount(session, Direction::Received, from, to, &filter, nullptr).valueOr(0);
        if (type == kGroupSent || type == kGroupBoth)
            k += directCount(session, Direction::Sent, from, to, &filter, nullptr).valueOr(0);

        Person::Resolution resolution = Person::resolveAddress(address);
        if (resolution.contactFound) {
            if (!resolution.contactHasName || session.excludesPerson(resolution.person)) continue;
            added += k;
            const int index = Person::indexOfEqual(personArray, resolution.person);
            if (index >= 0) {
                countArray[static_cast<std::size_t>(index)] += k;
                personArray[static_cast<std::size_t>(index)].addNumber(address);
            } else {
                personArray.push_back(std::move(resolution.person));
                countArray.push_back(k);
            }
            continue;
        }
        if (session.excludesNumber(address)) continue;
        added += k;
        const auto holder = std::find_if(personArray.begin(), personArray.end(),
                                         [&](const Person& person) { return person.containsNumber(address); });
        if (holder != personArray.end()) {
            countArray[static_cast<std::size_t>(holder - personArray.begin())] += k;
        } else {
            personArray.push_back(Person::bareNumber(address, -1));
            countArray.push_back(k);
        }
    }
    if (step == SqliteStatement::Step::Error) session.fail("counting the messages per person");
    return added;
}

Counted<int> SmsHelper::groupCount(int type, Bound from, Bound to, std::vector<Person>& personArray,
                                   std::vector<int>& countArray, const std::vector<Person>* excludedPerson) {
    if (!from || !to) return 0;
    CountingSession session(excludedPerson);
    const Counted<int> added = [&]() -> Counted<int> {
        if (!session.isOpen()) return Counted<int>::failed(session.failure());
        const CountStatements& statements = countStatements(session.countVariant());
        const char* sql = type == kGroupReceived ? statements.receivedAddresses
                          : type == kGroupSent   ? statements.sentAddresses
                                                 : statements.anyAddresses;
        // Its own statement, not one of the session's cache: the per-address
        // counts use the cache while this one is still stepping.
        SqliteStatement select;
        if (!select.prepare(session.database(), sql)) {
            session.fail("counting the messages per person");
            return Counted<int>::failed(session.failure());
        }
        select.bindInt(1, boundValue(*from));
        select.bindInt(2, boundValue(*to));
        const int sum = countGroupSelect(session, select, personArray, countArray, type, from, to);
        if (session.failed()) return Counted<int>::failed(session.failure());
        return sum;
    }();
    // The charts show what the group found; the line tells why it is short.
    session.logFailure();
    return added;
}

Counted<int> SmsHelper::countIncomingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                               std::vector<int>& countArray,
                                               const std::vector<Person>* excludedPerson) {
    return groupCount(kGroupReceived, from, to, personArray, countArray, excludedPerson);
}

Counted<int> SmsHelper::countOutgoingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                               std::vector<int>& countArray,
                                               const std::vector<Person>* excludedPerson) {
    return groupCount(kGroupSent, from, to, personArray, countArray, excludedPerson);
}

Counted<int> SmsHelper::countGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                       std::vector<int>& countArray, const std::vector<Person>* excludedPerson) {
    return groupCount(kGroupBoth, from, to, personArray, countArray, excludedPerson);
}

Counted<int> SmsHelper::countGroupOf(MessageType type, Bound from, Bound to, std::vector<Person>& personArray,
                                     std::vector<int>& countArray, const std::vector<Person>* excludedPerson) {
    const auto directions = countedDirections(type, Direction::Received);
    const int groupType = directions.size() > 1                   ? kGroupBoth
                          : directions.front() == Direction::Sent ? kGroupSent
                                                                  : kGroupReceived;
    return groupCount(groupType, from, to, personArray, countArray, excludedPerson);
}

void SmsHelper::getUniquePerson(std::vector<Person>& persons) {
    CountingSession session(nullptr);
    if (!session.isOpen()) {
        session.logFailure();
        return;
    }
    SqliteStatement select;
    if (select.prepare(session.database(), countStatements(session.countVariant()).allAddresses)) {
        std::vector<int> scratch(persons.size(), 0);
        countGroupSelect(session, select, persons, scratch, kGroupNone, std::nullopt, std::nullopt);
    } else {
        session.fail("listing the people of the counter database");
    }
    session.logFailure();
    std::stable_sort(persons.begin(), persons.end(),
                     [](const Person& a, const Person& b) { return a.comparePerson(b) < 0; });
}

Counted<int> SmsHelper::countBadgeFrom(Bound from, const std::vector<Person>* excludedPerson, BadgeType badgeType,
                                       int quota) {
    if (!from) return Counted<int>::failed("no period start to count the badge from");
    CountingSession session(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());
    const CountStatements& statements = countStatements(session.countVariant());

    std::int64_t total = 0;
    if (!session.excludedPerson()) {
        SqliteStatement* sum = session.statement(badgeSumStatement(statements, badgeType));
        if (!sum) return Counted<int>::failed(session.failure());
        sum->bindInt(1, boundValue(*from));
        const SqliteStatement::Step step = sum->step();
        if (step == SqliteStatement::Step::Row) total = sum->columnInt(0);  // NULL sum reads as 0
        if (step == SqliteStatement::Step::Error) session.fail("counting the badge");
    } else {
        SqliteStatement* rows = session.statement(badgeRowsStatement(statements, badgeType));
        if (!rows) return Counted<int>::failed(session.failure());
        rows->bindInt(1, boundValue(*from));
        SqliteStatement::Step step;
        while ((step = rows->step()) == SqliteStatement::Step::Row) {
            int addressBytes = 0;
            const char* address = rows->columnText(1, &addressBytes);
            if (!address || addressBytes == 0) continue;
            if (session.verdictFor(std::string_view(address, static_cast<std::size_t>(addressBytes))).counted)
                total += rows->columnInt(0);
        }
        if (step == SqliteStatement::Step::Error) session.fail("counting the badge");
    }
    if (session.failed()) return Counted<int>::failed(session.failure());
    const int segments = clampToInt(total);
    if (showsQuotaLeft(badgeType)) return std::max(0, clampToInt(std::int64_t{quota} - total));
    return segments;
}
