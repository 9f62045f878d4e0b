#pragma once

#include "common/BadgeType.h"
#include "common/Counted.h"
#include "common/Direction.h"
#include "common/MessageType.h"
#include "common/Person.h"
#include "common/Sms.h"
#include "common/SyncStatus.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AddressBook;
class CountingSession;
class SqliteStatement;

// Data access of the counter store. Every operation opens the databases it
// needs, works, and closes them again before it returns; nothing stays open
// between calls. The system version is asked afresh each time: it picks the
// counter database (ledgerwick.db or ledgerwick6.db), the sms.db schema and
// the statement variants.
class SmsHelper {
public:
    // Copies every message of sms.db that the counter database does not
    // hold yet, with its segment count, in one transaction (MessageCopy says
    // how new messages are told apart). Appends two numbers to `returnValue`:
    // for each direction (received, then sent) the newest date copied, or
    // the marker minus one when nothing newer was copied or the copy was
    // abandoned. Callers store each value plus one as the next date marker.
    // Returns Ok, or another status when a database could not be opened or a
    // statement could not be prepared (nothing copied then).
    //
    // A read error part-way through sms.db (a damaged page) or a failed
    // insert ends the copy there: the messages before it are committed, and
    // the next sync carries on from there. A failed COMMIT, or a transaction
    // SQLite rolled back by itself (a full disk), keeps nothing and hands the
    // markers back unchanged; the status is still Ok.
    static SyncStatus copyRMessagesFrom(std::int64_t rFrom, std::int64_t sFrom, std::vector<std::int64_t>& returnValue);

    // Deletes one row of the counter database; true when the statement ran
    // to completion.
    static bool deleteRow(long long rowid);
    // Deletes every row of the counter database, and its copy of the sync
    // markers, in one transaction; sms.db is untouched.
    static bool clearDB();

    static bool isNormalSMS(std::u16string_view text);

    // --- Counting. Every number the system shows is a sum of segments over
    // rows of the counter database. A missing period bound is nullopt; both
    // bounds are inclusive. Exclusions are applied row by row in code, by
    // resolving each address to a Person; an empty or absent exclusion list
    // excludes nothing. Received rows are direction 2, sent rows 3; from
    // system version 6.0 only rows of type "SMS" are counted.

    using Bound = std::optional<std::time_t>;

    // Segments of the received (sent) rows in [from, to] that pass the person
    // filter (its numbers compared exactly with the address) and the
    // exclusions; appends one Sms per counted row to `records` when given.
    // 0 when a bound is missing; a failure with its reason when the counter
    // database cannot be read (not there, damaged, without its table, or a
    // damaged page part-way through the rows).
    static Counted<int> countIncomingFrom(Bound from, Bound to, const Person* forPerson,
                                          const std::vector<Person>* excludedPerson, std::vector<Sms>* records);
    static Counted<int> countOutgoingFrom(Bound from, Bound to, const Person* forPerson,
                                          const std::vector<Person>* excludedPerson, std::vector<Sms>* records);
    // The direct counts of every direction `type` counts, added up, their
    // records appended in the order of countedDirections(type, firstOfBoth);
    // the first failure ends it.
    static Counted<int> countMessages(MessageType type, Direction firstOfBoth, Bound from, Bound to,
                                      const Person* forPerson, const std::vector<Person>* excludedPerson,
                                      std::vector<Sms>* records);

    // Per-person totals of the period, appended to (and merged into) the two
    // arrays, index for index; the addresses of one contact end up as one
    // person. Returns the segments added. Arrays are untouched when a bound
    // is missing or the database cannot be opened; when a read fails part-way
    // the arrays keep what was found (counting 0 for what failed), the
    // failure is returned and written to standard error once.
    static Counted<int> countIncomingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                               std::vector<int>& countArray, const std::vector<Person>* excludedPerson);
    static Counted<int> countOutgoingGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                               std::vector<int>& countArray, const std::vector<Person>* excludedPerson);
    static Counted<int> countGroupFrom(Bound from, Bound to, std::vector<Person>& personArray,
                                       std::vector<int>& countArray, const std::vector<Person>* excludedPerson);
    // The group count of the directions `type` counts.
    static Counted<int> countGroupOf(MessageType type, Bound from, Bound to, std::vector<Person>& personArray,
                                     std::vector<int>& countArray, const std::vector<Person>* excludedPerson);

    // Appends every person of the counter database (contacts merged over
    // their addresses, and bare numbers) and sorts the whole array by name.
    // A database that cannot be read adds nobody and writes one line to
    // standard error.
    static void getUniquePerson(std::vector<Person>& persons);

    // The badge value from `from` on: for the quota-left types the quota
    // minus the segments (never below 0), otherwise the segments (Off
    // counts like Both; whether to show it is the caller's decision). A
    // failure when `from` is missing or the database cannot be read: no
    // number stands in for a count that did not happen.
    static Counted<int> countBadgeFrom(Bound from, const std::vector<Person>* excludedPerson, BadgeType badgeType,
                                       int quota);

    // "" for n < 1, "address = ?" for 1, "(address = ?" + (n - 1) times
    // " OR address = ? " + ")" for more.
    static std::string generateAddressOrSQL(int n);

    // The process-wide address book.
    static AddressBook& initAddressBook();

    // Group-count direction types.
    static constexpr int kGroupBoth = 0;
    static constexpr int kGroupReceived = 1;
    static constexpr int kGroupSent = 2;
    static constexpr int kGroupNone = 3;

    // Most numbers one statement of a person filter carries; a person with
    // more is counted in several statements, which stays well within
    // SQLite's limit on parameters.
    static constexpr int kMaxNumbersPerStatement = 500;

private:
    static Counted<int> directCount(CountingSession& session, Direction flags, Bound from, Bound to,
                                    const Person* forPerson, std::vector<Sms>* records);
    static Counted<int> groupCount(int type, Bound from, Bound to, std::vector<Person>& personArray,
                                   std::vector<int>& countArray, const std::vector<Person>* excludedPerson);
    // The segments it added; failures are recorded in the session.
    static int countGroupSelect(CountingSession& session, SqliteStatement& select, std::vector<Person>& personArray,
                                std::vector<int>& countArray, int type, Bound from, Bound to);

    static bool runMaintenance(const std::string& sql, long long rowid, bool bindRowid);
};
