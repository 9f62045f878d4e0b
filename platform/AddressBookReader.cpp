#include "platform/AddressBookReader.h"

#include "platform/SqliteHardening.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace {

constexpr int kPhoneNumberProperty = 3;

struct ConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

using Outcome = AddressBookReader::Outcome;

Outcome outcomeOf(int resultCode) {
    const int primary = resultCode & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? Outcome::Busy : Outcome::Failed;
}

// Nothing on failure; `error` then tells a lock from anything else.
Statement prepare(sqlite3* db, const char* sql, Outcome* error) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    Statement statement(raw);
    if (rc != SQLITE_OK) *error = outcomeOf(sqlite3_errcode(db));
    return statement;
}

std::optional<std::string> nonEmptyText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const int bytes = sqlite3_column_bytes(statement, column);
    if (!text || bytes == 0) return std::nullopt;
    return std::string(text, static_cast<std::size_t>(bytes));
}

// Record identifiers are 32-bit on the phone; a row outside that range is not
// one the rest of the system could refer to.
std::optional<int> recordIdOf(sqlite3_stmt* statement, int column) {
    const sqlite3_int64 value = sqlite3_column_int64(statement, column);
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

Outcome readPeople(sqlite3* db, std::vector<AddressBookContact>* contacts) {
    Outcome error = Outcome::Failed;
    Statement people = prepare(db, "SELECT ROWID, First, Last, Organization FROM ABPerson ORDER BY ROWID", &error);
    if (!people) return error;
    int rc;
    while ((rc = sqlite3_step(people.get())) == SQLITE_ROW) {
        const auto recordId = recordIdOf(people.get(), 0);
        if (!recordId) continue;
        AddressBookContact contact;
        contact.recordId = *recordId;
        contact.first = nonEmptyText(people.get(), 1);
        contact.last = nonEmptyText(people.get(), 2);
        contact.organization = nonEmptyText(people.get(), 3);
        contacts->push_back(std::move(contact));
    }
    return rc == SQLITE_DONE ? Outcome::Loaded : outcomeOf(rc);
}

AddressBookContact* contactWithId(std::vector<AddressBookContact>& contacts, int recordId) {
    auto found = std::lower_bound(contacts.begin(), contacts.end(), recordId,
                                  [](const AddressBookContact& contact, int id) { return contact.recordId < id; });
    return found != contacts.end() && found->recordId == recordId ? &*found : nullptr;
}

// Numbers whose person is gone are left behind by the phone's own editor at
// times; they belong to nobody.
Outcome readNumbers(sqlite3* db, std::vector<AddressBookContact>* contacts) {
    Outcome error = Outcome::Failed;
    Statement numbers = prepare(db,
                                "SELECT record_id, value FROM ABMultiValue WHERE property = ?1"
                                " ORDER BY record_id, ROWID",
                                &error);
    if (!numbers) return error;
    sqlite3_bind_int(numbers.get(), 1, kPhoneNumberProperty);
    int rc;
    while ((rc = sqlite3_step(numbers.get())) == SQLITE_ROW) {
        const auto recordId = recordIdOf(numbers.get(), 0);
        auto value = nonEmptyText(numbers.get(), 1);
        AddressBookContact* contact = recordId ? contactWithId(*contacts, *recordId) : nullptr;
        if (contact && value) contact->numbers.push_back(std::move(*value));
    }
    return rc == SQLITE_DONE ? Outcome::Loaded : outcomeOf(rc);
}

Outcome readInTransaction(sqlite3* db, std::vector<AddressBookContact>* contacts) {
    // A deferred transaction takes its shared lock at the first read and holds
    // it until the end, so no writer can slip in between the two queries.
    if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return outcomeOf(sqlite3_errcode(db));
    Outcome outcome = readPeople(db, contacts);
    if (outcome == Outcome::Loaded) outcome = readNumbers(db, contacts);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return outcome;
}

}  // namespace

AddressBookReader::Result AddressBookReader::read(const std::string& path, int busyTimeoutMs) {
    Result result;
    sqlite3* raw = nullptr;
    // Read-only never creates the file: a missing book stays missing.
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Connection db(raw);
    if (rc != SQLITE_OK || !SqliteHardening::apply(db.get())) return result;
    sqlite3_busy_timeout(db.get(), busyTimeoutMs);
    result.outcome = readInTransaction(db.get(), &result.contacts);
    if (result.outcome != Outcome::Loaded) result.contacts.clear();
    return result;
}
