#pragma once

#include "common/BadgeType.h"
#include "common/Counted.h"
#include "common/CountVariant.h"
#include "common/PhoneProfile.h"
#include "common/Direction.h"
#include "common/MessageType.h"
#include "common/Person.h"
#include "common/Sms.h"
#include "common/SyncStatus.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CountingSession;

// One counter database and what is done with it: the sync into it, the
// maintenance of its rows, and every count the app, the daemon, the ledger
// and the report show. The store opens the file on its first operation and
// keeps it, with its prepared statements, for as long as it lives; every
// operation ends its read before it returns, so a store kept across
// operations sees the rows written between them. A store is meant to live
// for one piece of work (one recount, one badge update, one report): the
// phone's system version, which picks the file and its variant, is asked
// afresh by forCurrentPhone() for the next one.
class CounterStore {
public:
    using Bound = std::optional<std::time_t>;

    CounterStore(std::string path, CountVariant variant);
    CounterStore(CounterStore&&) noexcept;
    CounterStore& operator=(CounterStore&&) noexcept;
    ~CounterStore();

    // The store of the phone under the device root as it is now: the counter
    // database and the count variant its system version picks.
    static CounterStore forCurrentPhone();

    const std::string& path() const { return path_; }
    CountVariant variant() const { return variant_; }

    // Copies every message of the phone's sms.db that the counter database
    // does not hold yet, with its segment count, in one transaction
    // (MessageCopy says how new messages are told apart). Appends two
    // numbers to `returnValue`: for each direction (received, then sent) the
    // newest date copied, or the marker minus one when nothing newer was
    // copied or the copy was abandoned. Callers store each value plus one
    // (CounterMarkers::after) as the next date marker. Returns Ok, or another
    // status when a database could not be opened or a statement could not be
    // prepared (nothing copied then).
    //
    // A read error part-way through sms.db (a damaged page) or a failed
    // insert ends the copy there: the messages before it are committed, and
    // the next sync carries on from there. A failed COMMIT, or a transaction
    // SQLite rolled back by itself (a full disk), keeps nothing and hands the
    // markers back unchanged; the status is still Ok.
    SyncStatus copyRMessagesFrom(std::int64_t rFrom, std::int64_t sFrom, std::vector<std::int64_t>& returnValue);

    // Deletes one row; true when the statement ran to completion.
    bool deleteRow(long long rowid);
    // Deletes every row, and the database's copy of the sync markers, in one
    // transaction; sms.db is untouched.
    bool clearDB();

    // --- Counting. Every number the system shows is a sum of segments over
    // rows of the counter database. A missing period bound is nullopt; both
    // bounds are inclusive. Exclusions are applied row by row in code, by
    // resolving each address to a Person; an empty or absent exclusion list
    // excludes nothing. Only the rows the store's variant names count.

    // Segments of the received (sent) rows in [from, to] that pass the person
    // filter (its numbers compared exactly with the address) and the
    // exclusions; appends one Sms per counted row to `records` when given.
    // 0 when a bound is missing; a failure with its reason when the counter
    // database cannot be read (not there, damaged, without its table, or a
    // damaged page part-way through the rows).
    Counted<int> countIncomingFrom(Bound from, Bound to, const Person* forPerson,
                                   const std::vector<Person>* excludedPerson, std::vector<Sms>* records);
    Counted<int> countOutgoingFrom(Bound from, Bound to, const Person* forPerson,
                                   const std::vector<Person>* excludedPerson, std::vector<Sms>* records);
    // The direct counts of every direction `type` counts, added up, their
    // records appended in the order of countedDirections(type, firstOfBoth);
    // the first failure ends it.
    Counted<int> countMessages(MessageType type, Direction firstOfBoth, Bound from, Bound to, const Person* forPerson,
                               const std::vector<Person>* excludedPerson, std::vector<Sms>* records);

    // Per-person totals of the period, appended to (and merged into) the two
    // arrays, index for index, in the order the addresses are listed; the
    // addresses of one contact end up as one person. Returns the segments
    // added. The arrays are untouched when a bound is missing or the count
    // fails; the failure comes back with its reason and nothing is written
    // to standard error.
    Counted<int> countIncomingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                        std::vector<int>& countArray, const std::vector<Person>* excludedPerson);
    Counted<int> countOutgoingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                        std::vector<int>& countArray, const std::vector<Person>* excludedPerson);
    Counted<int> countGroupFrom(Bound from, Bound to, std::vector<Person>& personArray, std::vector<int>& countArray,
                                const std::vector<Person>* excludedPerson);
    // The group count of the directions `type` counts.
    Counted<int> countGroupOf(MessageType type, Bound from, Bound to, std::vector<Person>& personArray,
                              std::vector<int>& countArray, const std::vector<Person>* excludedPerson);

    // The group count of `type` into the two arrays, as countGroupOf, and
    // the total of `type` with its records, as countMessages with
    // `firstOfBoth`, read in one pass over the period's rows: the numbers a
    // chart draws. Returns the total; on a failure the arrays and the
    // records are untouched.
    Counted<int> countGroupAndMessages(MessageType type, Direction firstOfBoth, Bound from, Bound to,
                                       std::vector<Person>& personArray, std::vector<int>& countArray,
                                       const std::vector<Person>* excludedPerson, std::vector<Sms>& records);

    // `persons` with every person of the counter database merged in (contacts
    // merged over their addresses, and bare numbers), the whole list sorted
    // by name; or why the database could not be read.
    Counted<std::vector<Person>> getUniquePerson(std::vector<Person> persons = {});

    // The badge value from `from` on: for the quota-left types the quota
    // minus the segments (never below 0), otherwise the segments (Off
    // counts like Both; whether to show it is the caller's decision). A
    // failure when `from` is missing or the database cannot be read: no
    // number stands in for a count that did not happen.
    Counted<int> countBadgeFrom(Bound from, const std::vector<Person>* excludedPerson, BadgeType badgeType, int quota);

    // "" for n < 1, "address = ?" for 1, "(address = ?" + (n - 1) times
    // " OR address = ? " + ")" for more.
    static std::string generateAddressOrSQL(int n);

    // Most numbers one statement of a person filter carries; a person with
    // more is counted in several statements, which stays well within
    // SQLite's limit on parameters.
    static constexpr int kMaxNumbersPerStatement = 500;

    // The statements of the counts, each written once; the variant's
    // condition is put in by the constructor.
    struct Statements {
        std::string receivedRows;
        std::string sentRows;
        std::string periodRows;  // address, whether a message, segments; every row of the period, oldest first
        std::string receivedPeriodRows;
        std::string sentPeriodRows;
        // Every column of the same rows: address, whether received, whether sent, segments, date, text, rowid.
        std::string periodMessages;
        std::string receivedPeriodMessages;
        std::string sentPeriodMessages;
        std::string allAddresses;
        std::string badgeSumSent;
        std::string badgeSumReceived;
        std::string badgeSumBoth;
        std::string badgeRowsSent;
        std::string badgeRowsReceived;
        std::string badgeRowsBoth;
    };

private:
    // The segments of one address over the rows of a group count.
    struct AddressTotal {
        std::string address;
        int segments = 0;
    };

    // Opens the file for reading when it is not open yet, and starts the
    // session of one counting operation on it.
    CountingSession beginCounting(const std::vector<Person>* excludedPerson);

    Counted<int> directCount(CountingSession& session, Direction flags, Bound from, Bound to, const Person* forPerson,
                             std::vector<Sms>* records);
    Counted<int> groupCount(std::optional<Direction> only, Bound from, Bound to, std::vector<Person>& personArray,
                            std::vector<int>& countArray, const std::vector<Person>* excludedPerson);
    void listInAddressOrder(std::vector<AddressTotal>& totals) const;
    // Merges the counted addresses of `totals` into the arrays, in the order
    // the addresses are listed; the segments added.
    int mergeTotals(CountingSession& session, std::vector<AddressTotal>& totals, std::vector<Person>& personArray,
                    std::vector<int>& countArray) const;
    // The period statement of the directions `type` counts: one of the three
    // `all`, `received`, `sent`.
    static const std::string& forDirections(MessageType type, const std::string& all, const std::string& received,
                                            const std::string& sent);

    std::string path_;
    CountVariant variant_;
    // The phone the store was made for; its sync copies for that phone.
    std::optional<PhoneProfile> profile_;
    Statements statements_;
    SqliteDatabase database_;
    std::unordered_map<std::string, SqliteStatement> prepared_;
};
