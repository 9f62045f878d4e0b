#include "platform/AddressBookReader.h"

#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/SqliteTransaction.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

namespace {

constexpr int kPhoneNumberProperty = 3;

using Outcome = AddressBookReader::Outcome;

// Logs the failure and tells a lock from anything else.
Outcome failureOf(const SqliteDatabase& db, const char* doing) {
    db.logFailure(doing);
    return db.lastErrorIsBusy() ? Outcome::Busy : Outcome::Failed;
}

std::optional<std::string> nonEmptyText(const SqliteStatement& statement, int column) {
    int bytes = 0;
    const char* text = statement.columnText(column, &bytes);
    if (!text || bytes == 0) return std::nullopt;
    return std::string(text, static_cast<std::size_t>(bytes));
}

// Record identifiers are 32-bit on the phone; a row outside that range is not
// one the rest of the system could refer to.
std::optional<int> recordIDOf(const SqliteStatement& statement, int column) {
    const std::int64_t value = statement.columnInt(column);
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

Outcome readPeople(const SqliteDatabase& db, std::vector<AddressBookContact>* contacts) {
    constexpr const char* kDoing = "reading the contacts of the address book";
    SqliteStatement people;
    if (!people.prepare(db, "SELECT ROWID, First, Last, Organization FROM ABPerson ORDER BY ROWID"))
        return failureOf(db, kDoing);
    SqliteStatement::Step step;
    while ((step = people.step()) == SqliteStatement::Step::Row) {
        const auto recordID = recordIDOf(people, 0);
        if (!recordID) continue;
        AddressBookContact contact;
        contact.recordID = *recordID;
        contact.first = nonEmptyText(people, 1);
        contact.last = nonEmptyText(people, 2);
        contact.organization = nonEmptyText(people, 3);
        contacts->push_back(std::move(contact));
    }
    return step == SqliteStatement::Step::Done ? Outcome::Loaded : failureOf(db, kDoing);
}

AddressBookContact* contactWithId(std::vector<AddressBookContact>& contacts, int recordID) {
    auto found = std::lower_bound(contacts.begin(), contacts.end(), recordID,
                                  [](const AddressBookContact& contact, int id) { return contact.recordID < id; });
    return found != contacts.end() && found->recordID == recordID ? &*found : nullptr;
}

// Numbers whose person is gone are left behind by the phone's own editor at
// times; they belong to nobody.
Outcome readNumbers(const SqliteDatabase& db, std::vector<AddressBookContact>* contacts) {
    constexpr const char* kDoing = "reading the phone numbers of the address book";
    SqliteStatement numbers;
    if (!numbers.prepare(db,
                         "SELECT record_id, value FROM ABMultiValue WHERE property = ?1"
                         " ORDER BY record_id, ROWID"))
        return failureOf(db, kDoing);
    numbers.bindInt(1, kPhoneNumberProperty);
    SqliteStatement::Step step;
    while ((step = numbers.step()) == SqliteStatement::Step::Row) {
        const auto recordID = recordIDOf(numbers, 0);
        auto value = nonEmptyText(numbers, 1);
        AddressBookContact* contact = recordID ? contactWithId(*contacts, *recordID) : nullptr;
        if (contact && value) contact->numbers.push_back(std::move(*value));
    }
    return step == SqliteStatement::Step::Done ? Outcome::Loaded : failureOf(db, kDoing);
}

Outcome readInTransaction(SqliteDatabase& db, std::vector<AddressBookContact>* contacts) {
    // A deferred transaction takes its shared lock at the first read and holds
    // it until the end, so no writer can slip in between the two queries.
    SqliteTransaction transaction(db, SqliteTransaction::Behavior::Deferred, "reading the address book");
    if (!transaction.isActive()) return db.lastErrorIsBusy() ? Outcome::Busy : Outcome::Failed;
    Outcome outcome = readPeople(db, contacts);
    if (outcome == Outcome::Loaded) outcome = readNumbers(db, contacts);
    // Nothing was written: ending the read either way releases the lock.
    transaction.commit();
    return outcome;
}

}  // namespace

AddressBookReader::Result AddressBookReader::read(const std::string& path, int busyTimeoutMs) {
    Result result;
    SqliteDatabase db;
    // Read-only never creates the file: a missing book stays missing. The
    // book is someone else's file, so the connection is hardened against a
    // crafted one.
    if (!db.open(path, SqliteDatabase::Mode::Untrusted)) return result;
    db.setBusyTimeout(busyTimeoutMs);
    result.outcome = readInTransaction(db, &result.contacts);
    if (result.outcome != Outcome::Loaded) result.contacts.clear();
    return result;
}
