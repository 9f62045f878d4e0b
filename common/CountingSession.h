#pragma once

#include "common/Person.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// What one counting operation of a CounterStore keeps while it runs: the
// exclusions it applies, what each address resolved to, and its first
// failure. The database and its prepared statements belong to the store and
// outlive the session; the session resets every statement it handed out when
// it ends, so no read stays open between operations (an open read would hide
// the rows other connections write, and keep writers waiting). The address
// book is checked for a changed file once, when the session starts, so every
// row of one operation sees the same book.
class CountingSession {
public:
    // How an address of a counted row stands against the address book and
    // the exclusion list of this operation.
    struct Verdict {
        bool counted = false;                  // false: the row is skipped
        bool contact = false;                  // the address belongs to a contact with a name
        std::shared_ptr<const Person> person;  // the row's person when counted
    };

    using StatementCache = std::unordered_map<std::string, SqliteStatement>;

    // `database` is open, or its failed open is what the session reports.
    CountingSession(const SqliteDatabase& database, StatementCache& statements, std::string_view path,
                    const std::vector<Person>* excludedPerson);
    CountingSession(CountingSession&&) = default;
    CountingSession(const CountingSession&) = delete;
    CountingSession& operator=(const CountingSession&) = delete;
    ~CountingSession();

    bool isOpen() const { return database_->isOpen(); }
    const std::vector<Person>* excludedPerson() const { return excluded_; }

    // A prepared statement for `sql`, reset and with its bindings cleared;
    // nullptr when it cannot be prepared (recorded as fail() does).
    SqliteStatement* statement(const std::string& sql);

    // Records the database's last error as the failure of this session; only
    // the first one counts.
    void fail();
    bool failed() const { return !failure_.empty(); }
    // Why the counter database could not be read, for the user: the file and
    // SQLite's own message. Empty while nothing failed.
    const std::string& failure() const { return failure_; }

    // The verdict of the counts for a row's address: a contact without any
    // name part is skipped; a contact is skipped when an excluded person
    // equals it; a bare number (recordID 0) when an excluded person contains
    // it.
    const Verdict& verdictFor(std::string_view address);

private:
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };

    Verdict judge(const std::string& address) const;
    bool excludesNumber(std::string_view address) const;
    bool excludesPerson(const Person& person) const;

    const SqliteDatabase* database_;
    StatementCache* statements_;
    std::vector<SqliteStatement*> handedOut_;
    const std::vector<Person>* excluded_;
    std::string path_;
    std::string failure_;
    std::unordered_map<std::string, Verdict, StringHash, std::equal_to<>> verdicts_;
};
