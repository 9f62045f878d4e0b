#include "common/CounterStore.h"

#include "common/CounterMarkers.h"
#include "common/CountingSession.h"
#include "common/MessageCopy.h"
#include "common/PhoneProfile.h"
#include "common/SourceMark.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteTransaction.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <unordered_map>

namespace {

// The statements of the counts with the variant's condition put in: the rows
// of other messaging services are no text messages the carrier billed.
CounterStore::Statements statementsFor(CountVariant variant) {
    const std::string only = variant == CountVariant::SmsServiceOnly ? "type = 'SMS' AND " : "";
    const std::string rows = "select smscount, address, date, text, rowid from message where " + only;
    const std::string period = " and date >= ? and date <= ?";
    // Oldest first: the order in which the group count meets the addresses.
    const std::string periodRows = "select address, (flags = 2 OR flags = 3), smscount from message where " + only;
    const std::string oldestFirst = " order by date, rowid";
    const std::string periodMessages =
        "select address, flags = 2, flags = 3, smscount, date, text, rowid from message where " + only;
    const std::string sum = "select sum(smscount) from message where " + only;
    const std::string badgeRows = "select smscount, address from message where " + only;
    const std::string from = " and date >= ?";
    const std::string both = "(flags = 2 OR flags = 3)";
    return {
        rows + "flags = 2" + period,
        rows + "flags = 3" + period,
        periodRows + "date >= ? and date <= ?" + oldestFirst,
        periodRows + "flags = 2" + period + oldestFirst,
        periodRows + "flags = 3" + period + oldestFirst,
        periodMessages + "date >= ? and date <= ?" + oldestFirst,
        periodMessages + "flags = 2" + period + oldestFirst,
        periodMessages + "flags = 3" + period + oldestFirst,
        variant == CountVariant::SmsServiceOnly
            ? "SELECT DISTINCT address FROM message WHERE type = 'SMS' order by address"
            : "SELECT DISTINCT address FROM message order by address",
        sum + "flags = 3" + from,
        sum + "flags = 2" + from,
        sum + both + from,
        badgeRows + "flags = 3" + from,
        badgeRows + "flags = 2" + from,
        badgeRows + both + from,
    };
}

int clampToInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)); }

// Period bounds are bound as 32-bit whole seconds.
std::int64_t boundValue(std::time_t seconds) {
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(seconds), INT32_MIN, INT32_MAX);
}

// The one of three that counts what the badge type counts.
const std::string& forCountedMessages(BadgeType badgeType, const std::string& sent, const std::string& received,
                                      const std::string& both) {
    switch (countedMessages(badgeType)) {
    case MessageType::Sent: return sent;
    case MessageType::Received: return received;
    default: return both;
    }
}

// The person filter's numbers in slices small enough for one statement.
std::vector<std::vector<std::string>> numberSlices(const Person* forPerson) {
    std::vector<std::vector<std::string>> slices;
    if (!forPerson || forPerson->numSet().empty()) return {{}};
    const auto& numbers = forPerson->numSet();
    for (std::size_t first = 0; first < numbers.size(); first += CounterStore::kMaxNumbersPerStatement) {
        const std::size_t last = std::min(numbers.size(), first + CounterStore::kMaxNumbersPerStatement);
        slices.emplace_back(numbers.begin() + static_cast<std::ptrdiff_t>(first),
                            numbers.begin() + static_cast<std::ptrdiff_t>(last));
    }
    return slices;
}

std::string_view textOf(const SqliteStatement& statement, int column) {
    int bytes = 0;
    const char* text = statement.columnText(column, &bytes);
    return text ? std::string_view(text, static_cast<std::size_t>(bytes)) : std::string_view();
}

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// Adds one address's segments to the person it belongs to in the two
// arrays, or appends that person. A contact joins an equal person (its
// numbers grow by the address); a bare number joins whoever holds it.
void mergeInto(std::vector<Person>& personArray, std::vector<int>& countArray, const CountingSession::Verdict& verdict,
               const std::string& address, int segments) {
    if (verdict.contact) {
        const int index = Person::indexOfEqual(personArray, *verdict.person);
        if (index >= 0) {
            countArray[static_cast<std::size_t>(index)] += segments;
            personArray[static_cast<std::size_t>(index)].addNumber(address);
        } else {
            personArray.push_back(*verdict.person);
            countArray.push_back(segments);
        }
        return;
    }
    const auto holder = std::find_if(personArray.begin(), personArray.end(),
                                     [&](const Person& person) { return person.containsNumber(address); });
    if (holder != personArray.end()) {
        countArray[static_cast<std::size_t>(holder - personArray.begin())] += segments;
    } else {
        personArray.push_back(Person::bareNumber(address, -1));
        countArray.push_back(segments);
    }
}

}  // namespace

CounterStore::CounterStore(std::string path, CountVariant variant)
    : path_(std::move(path)), variant_(variant), statements_(statementsFor(variant)) {}

CounterStore::CounterStore(CounterStore&&) noexcept = default;
CounterStore& CounterStore::operator=(CounterStore&&) noexcept = default;
CounterStore::~CounterStore() = default;

CounterStore CounterStore::forCurrentPhone() {
    PhoneProfile profile = PhoneProfile::find();
    CounterStore store(profile.counterDatabase(), profile.countVariant());
    store.profile_ = std::move(profile);
    return store;
}

SyncStatus CounterStore::copyRMessagesFrom(std::int64_t rFrom, std::int64_t sFrom,
                                           std::vector<std::int64_t>& returnValue) {
    // A store made for the phone syncs that phone, even if its version
    // changed since; one made for a file syncs the phone under the root now.
    return profile_ ? MessageCopy::run(*profile_, rFrom, sFrom, returnValue)
                    : MessageCopy::run(rFrom, sFrom, returnValue);
}

// --- Maintenance ----------------------------------------------------------
// Writes get a connection of their own for the one operation: the store's
// own is read-only, and the rare delete is not worth keeping a writer open.

bool CounterStore::deleteRow(long long rowid) {
    SqliteDatabase counter;
    if (!counter.open(path_, SqliteDatabase::Mode::ReadWrite)) {
        counter.logFailure("deleting a message: opening " + path_);
        return false;
    }
    SqliteStatement statement;
    if (statement.prepare(counter, "delete from message where rowid = ?")) {
        statement.bindInt(1, rowid);
        if (statement.step() == SqliteStatement::Step::Done) return true;
    }
    counter.logFailure("deleting a message from " + path_);
    return false;
}

bool CounterStore::clearDB() {
    SqliteDatabase counter;
    if (!counter.open(path_, SqliteDatabase::Mode::ReadWrite)) {
        counter.logFailure("clearing the counter database: opening " + path_);
        return false;
    }
    // The rows and the marker copy go together: a copy left behind would keep
    // the resync that follows from copying the messages again.
    SqliteTransaction transaction(counter, SqliteTransaction::Behavior::Immediate, "clearing " + path_);
    if (!transaction.isActive()) return false;
    SqliteStatement statement;
    if (!statement.prepare(counter, "delete from message") || statement.step() != SqliteStatement::Step::Done) {
        counter.logFailure("clearing " + path_ + ": deleting the messages");
        return false;
    }
    statement.finalize();
    if (!CounterMarkers::clear(counter) || !SourceMark::clear(counter)) {
        counter.logFailure("clearing " + path_ + ": deleting the sync markers");
        return false;
    }
    return transaction.commit();
}

// --- Counting ---------------------------------------------------------------

std::string CounterStore::generateAddressOrSQL(int n) {
    if (n < 1) return "";
    if (n == 1) return "address = ?";
    std::string clause = "(address = ?";
    clause.reserve(clause.size() + static_cast<std::size_t>(n - 1) * 16 + 1);
    for (int i = 1; i < n; ++i) clause += " OR address = ? ";
    clause += ")";
    return clause;
}

CountingSession CounterStore::beginCounting(const std::vector<Person>* excludedPerson) {
    if (!database_.isOpen() && database_.open(path_, SqliteDatabase::Mode::ReadOnly)) {
        // A group count and a person filter read the rows through the
        // indexes, jumping around the table: with SQLite's default 2 MB page
        // cache most of those jumps re-read pages from the file. Reading the
        // file through a memory map instead shares the system's own cache of
        // it, with no copies and nothing to allocate per operation.
        database_.exec("PRAGMA mmap_size = 268435456");
    }
    return CountingSession(database_, prepared_, path_, excludedPerson);
}

Counted<int> CounterStore::directCount(CountingSession& session, Direction flags, Bound from, Bound to,
                                       const Person* forPerson, std::vector<Sms>* records) {
    if (!from || !to) return 0;
    const std::string& base = flags == Direction::Received ? statements_.receivedRows : statements_.sentRows;
    int total = 0;
    for (const auto& numbers : numberSlices(forPerson)) {
        SqliteStatement* rows = session.statement(
            numbers.empty() ? base : base + " and " + generateAddressOrSQL(static_cast<int>(numbers.size())));
        if (!rows) return Counted<int>::failed(session.failure());
        rows->bindInt(1, boundValue(*from));
        rows->bindInt(2, boundValue(*to));
        for (std::size_t i = 0; i < numbers.size(); ++i) rows->bindText(static_cast<int>(i) + 3, numbers[i]);

        SqliteStatement::Step step;
        while ((step = rows->step()) == SqliteStatement::Step::Row) {
            const std::string_view address = textOf(*rows, 1);
            if (address.empty()) continue;
            const CountingSession::Verdict& verdict = session.verdictFor(address);
            if (!verdict.counted) continue;
            total += static_cast<int>(rows->columnInt(0));
            if (records)
                records->emplace_back(verdict.person, std::string(address),
                                      static_cast<std::time_t>(rows->columnInt(2)), rows->columnString(3), flags,
                                      rows->columnInt(4));
        }
        // A damaged page part-way: the rows before it are no total either.
        if (step == SqliteStatement::Step::Error) {
            session.fail();
            return Counted<int>::failed(session.failure());
        }
    }
    return total;
}

Counted<int> CounterStore::countIncomingFrom(Bound from, Bound to, const Person* forPerson,
                                             const std::vector<Person>* excludedPerson, std::vector<Sms>* records) {
    if (!from || !to) return 0;
    CountingSession session = beginCounting(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());
    return directCount(session, Direction::Received, from, to, forPerson, records);
}

Counted<int> CounterStore::countOutgoingFrom(Bound from, Bound to, const Person* forPerson,
                                             const std::vector<Person>* excludedPerson, std::vector<Sms>* records) {
    if (!from || !to) return 0;
    CountingSession session = beginCounting(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());
    return directCount(session, Direction::Sent, from, to, forPerson, records);
}

Counted<int> CounterStore::countMessages(MessageType type, Direction firstOfBoth, Bound from, Bound to,
                                         const Person* forPerson, const std::vector<Person>* excludedPerson,
                                         std::vector<Sms>* records) {
    if (!from || !to) return 0;
    // One session for both directions: one look at the address book, one
    // verdict per address.
    CountingSession session = beginCounting(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());
    int total = 0;
    for (const Direction direction : countedDirections(type, firstOfBoth)) {
        const Counted<int> count = directCount(session, direction, from, to, forPerson, records);
        if (!count) return count;
        total += count.value();
    }
    return total;
}

Counted<int> CounterStore::groupCount(std::optional<Direction> only, Bound from, Bound to,
                                      std::vector<Person>& personArray, std::vector<int>& countArray,
                                      const std::vector<Person>* excludedPerson) {
    if (!from || !to) return 0;
    CountingSession session = beginCounting(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());
    const std::string& sql = !only                          ? statements_.periodRows
                             : *only == Direction::Received ? statements_.receivedPeriodRows
                                                            : statements_.sentPeriodRows;
    SqliteStatement* rows = session.statement(sql);
    if (!rows) return Counted<int>::failed(session.failure());
    rows->bindInt(1, boundValue(*from));
    rows->bindInt(2, boundValue(*to));

    // One pass over the period's rows, summed per address; an address of
    // the period counts 0 when none of its rows is a received or sent
    // message.
    std::vector<AddressTotal> totals;
    std::unordered_map<std::string, std::size_t, StringHash, std::equal_to<>> indexOf;
    SqliteStatement::Step step;
    while ((step = rows->step()) == SqliteStatement::Step::Row) {
        const std::string_view address = textOf(*rows, 0);
        if (address.empty()) continue;
        auto found = indexOf.find(address);
        if (found == indexOf.end()) {
            found = indexOf.emplace(std::string(address), totals.size()).first;
            totals.push_back({found->first, 0});
        }
        if (rows->columnInt(1) != 0) totals[found->second].segments += static_cast<int>(rows->columnInt(2));
    }
    if (step == SqliteStatement::Step::Error) {
        session.fail();
        return Counted<int>::failed(session.failure());
    }
    return mergeTotals(session, totals, personArray, countArray);
}

int CounterStore::mergeTotals(CountingSession& session, std::vector<AddressTotal>& totals,
                              std::vector<Person>& personArray, std::vector<int>& countArray) const {
    listInAddressOrder(totals);
    int added = 0;
    for (const AddressTotal& total : totals) {
        const CountingSession::Verdict& verdict = session.verdictFor(total.address);
        if (!verdict.counted) continue;
        added += total.segments;
        mergeInto(personArray, countArray, verdict, total.address, total.segments);
    }
    return added;
}

const std::string& CounterStore::forDirections(MessageType type, const std::string& all, const std::string& received,
                                               const std::string& sent) {
    const auto directions = countedDirections(type, Direction::Received);
    if (directions.size() > 1) return all;
    return directions.front() == Direction::Received ? received : sent;
}

Counted<int> CounterStore::countGroupAndMessages(MessageType type, Direction firstOfBoth, Bound from, Bound to,
                                                 std::vector<Person>& personArray, std::vector<int>& countArray,
                                                 const std::vector<Person>* excludedPerson, std::vector<Sms>& records) {
    if (!from || !to) return 0;
    CountingSession session = beginCounting(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());
    SqliteStatement* rows = session.statement(forDirections(
        type, statements_.periodMessages, statements_.receivedPeriodMessages, statements_.sentPeriodMessages));
    if (!rows) return Counted<int>::failed(session.failure());
    rows->bindInt(1, boundValue(*from));
    rows->bindInt(2, boundValue(*to));

    // The rows come oldest first; each direction's records keep that order,
    // which is the order its own count lists them in.
    std::vector<Sms> byDirection[2];
    std::vector<AddressTotal> totals;
    // Each address is looked up once per row, for its total and its verdict
    // alike (the session keeps its verdicts in place).
    struct Seen {
        std::size_t index;
        const CountingSession::Verdict* verdict;
    };
    std::unordered_map<std::string, Seen, StringHash, std::equal_to<>> seen;
    int total = 0;
    SqliteStatement::Step step;
    while ((step = rows->step()) == SqliteStatement::Step::Row) {
        const std::string_view address = textOf(*rows, 0);
        if (address.empty()) continue;
        auto found = seen.find(address);
        if (found == seen.end()) {
            found = seen.emplace(std::string(address), Seen{totals.size(), &session.verdictFor(address)}).first;
            totals.push_back({found->first, 0});
        }
        const bool received = rows->columnInt(1) != 0;
        if (!received && rows->columnInt(2) == 0) continue;
        const CountingSession::Verdict& verdict = *found->second.verdict;
        if (!verdict.counted) continue;
        const int segments = static_cast<int>(rows->columnInt(3));
        totals[found->second.index].segments += segments;
        total += segments;
        byDirection[received ? 0 : 1].emplace_back(
            verdict.person, std::string(address), static_cast<std::time_t>(rows->columnInt(4)), rows->columnString(5),
            received ? Direction::Received : Direction::Sent, rows->columnInt(6));
    }
    if (step == SqliteStatement::Step::Error) {
        session.fail();
        return Counted<int>::failed(session.failure());
    }
    mergeTotals(session, totals, personArray, countArray);
    for (const Direction direction : countedDirections(type, firstOfBoth)) {
        std::vector<Sms>& some = byDirection[direction == Direction::Received ? 0 : 1];
        if (records.empty())
            records.swap(some);
        else
            records.insert(records.end(), std::make_move_iterator(some.begin()), std::make_move_iterator(some.end()));
    }
    return total;
}

void CounterStore::listInAddressOrder(std::vector<AddressTotal>& totals) const {
    // The person lists have always come in the order the counter database
    // lists its distinct addresses: the older database in the order they are
    // first met, oldest row first; the newer one, whose address index leads
    // with the service, sorted by address.
    if (variant_ == CountVariant::SmsServiceOnly)
        std::sort(totals.begin(), totals.end(),
                  [](const AddressTotal& a, const AddressTotal& b) { return a.address < b.address; });
}

Counted<int> CounterStore::countIncomingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                                  std::vector<int>& countArray,
                                                  const std::vector<Person>* excludedPerson) {
    return groupCount(Direction::Received, from, to, personArray, countArray, excludedPerson);
}

Counted<int> CounterStore::countOutgoingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                                  std::vector<int>& countArray,
                                                  const std::vector<Person>* excludedPerson) {
    return groupCount(Direction::Sent, from, to, personArray, countArray, excludedPerson);
}

Counted<int> CounterStore::countGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                          std::vector<int>& countArray, const std::vector<Person>* excludedPerson) {
    return groupCount(std::nullopt, from, to, personArray, countArray, excludedPerson);
}

Counted<int> CounterStore::countGroupOf(MessageType type, Bound from, Bound to, std::vector<Person>& personArray,
                                        std::vector<int>& countArray, const std::vector<Person>* excludedPerson) {
    const auto directions = countedDirections(type, Direction::Received);
    const std::optional<Direction> only =
        directions.size() > 1 ? std::nullopt : std::optional<Direction>(directions.front());
    return groupCount(only, from, to, personArray, countArray, excludedPerson);
}

Counted<std::vector<Person>> CounterStore::getUniquePerson(std::vector<Person> persons) {
    CountingSession session = beginCounting(nullptr);
    if (!session.isOpen()) return Counted<std::vector<Person>>::failed(session.failure());
    SqliteStatement* addresses = session.statement(statements_.allAddresses);
    if (!addresses) return Counted<std::vector<Person>>::failed(session.failure());
    std::vector<int> unused(persons.size(), 0);
    SqliteStatement::Step step;
    while ((step = addresses->step()) == SqliteStatement::Step::Row) {
        const std::string_view address = textOf(*addresses, 0);
        if (address.empty()) continue;
        const CountingSession::Verdict& verdict = session.verdictFor(address);
        if (verdict.counted) mergeInto(persons, unused, verdict, std::string(address), 0);
    }
    if (step == SqliteStatement::Step::Error) {
        session.fail();
        return Counted<std::vector<Person>>::failed(session.failure());
    }
    std::stable_sort(persons.begin(), persons.end(),
                     [](const Person& a, const Person& b) { return a.comparePerson(b) < 0; });
    return persons;
}

Counted<int> CounterStore::countBadgeFrom(Bound from, const std::vector<Person>* excludedPerson, BadgeType badgeType,
                                          int quota) {
    if (!from) return Counted<int>::failed("no period start to count the badge from");
    CountingSession session = beginCounting(excludedPerson);
    if (!session.isOpen()) return Counted<int>::failed(session.failure());

    std::int64_t total = 0;
    if (!session.excludedPerson()) {
        SqliteStatement* sum = session.statement(forCountedMessages(
            badgeType, statements_.badgeSumSent, statements_.badgeSumReceived, statements_.badgeSumBoth));
        if (!sum) return Counted<int>::failed(session.failure());
        sum->bindInt(1, boundValue(*from));
        const SqliteStatement::Step step = sum->step();
        if (step == SqliteStatement::Step::Row) total = sum->columnInt(0);  // NULL sum reads as 0
        if (step == SqliteStatement::Step::Error) session.fail();
    } else {
        SqliteStatement* rows = session.statement(forCountedMessages(
            badgeType, statements_.badgeRowsSent, statements_.badgeRowsReceived, statements_.badgeRowsBoth));
        if (!rows) return Counted<int>::failed(session.failure());
        rows->bindInt(1, boundValue(*from));
        SqliteStatement::Step step;
        while ((step = rows->step()) == SqliteStatement::Step::Row) {
            const std::string_view address = textOf(*rows, 1);
            if (!address.empty() && session.verdictFor(address).counted) total += rows->columnInt(0);
        }
        if (step == SqliteStatement::Step::Error) session.fail();
    }
    if (session.failed()) return Counted<int>::failed(session.failure());
    if (showsQuotaLeft(badgeType)) return std::max(0, clampToInt(std::int64_t{quota} - total));
    return clampToInt(total);
}
