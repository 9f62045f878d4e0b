#pragma once

#include "common/CountVariant.h"
#include "common/Person.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// What one counting operation keeps while it runs: the counter database of
// the current system version opened read-only, its prepared statements
// (a group count runs the same per-address count thousands of times), and
// what each address resolved to. The address book is checked for a changed
// file once, when the session starts, so every row of one operation sees the
// same book.
class CountingSession {
public:
    // How an address of a counted row stands against the address book and
    // the exclusion list of this operation.
    struct Verdict {
        bool counted = false;                  // false: the row is skipped
        std::shared_ptr<const Person> person;  // the row's person when counted
    };

    explicit CountingSession(const std::vector<Person>* excludedPerson);

    bool isOpen() const { return database_.isOpen(); }
    CountVariant countVariant() const { return countVariant_; }
    const SqliteDatabase& database() const { return database_; }
    const std::vector<Person>* excludedPerson() const { return excluded_; }

    // A prepared statement for `sql`, reset and with its bindings cleared;
    // nullptr when it cannot be prepared (recorded as fail() does).
    SqliteStatement* statement(const std::string& sql);

    // Records the database's last error, with what the operation was doing,
    // as the failure of this session; only the first one counts, since a
    // group count runs thousands of counts and a damaged file would fail
    // every one of them.
    void fail(std::string_view doing);
    bool failed() const { return !failure_.empty(); }
    // Why the counter database could not be read, for the user: the file and
    // SQLite's own message. Empty while nothing failed.
    const std::string& failure() const { return failure_; }
    // Writes the recorded failure to standard error (one line, ProgramLog),
    // for the operations that hand back no failure of their own.
    void logFailure() const;

    // The verdict of the direct counts for a row's address: a contact
    // without any name part is skipped; a contact is skipped when an
    // excluded person equals it; a bare number (recordID 0) when an excluded
    // person contains it.
    const Verdict& verdictFor(std::string_view address);

    // True when some excluded person contains the number (bare numbers).
    bool excludesNumber(std::string_view address) const;
    // True when some excluded person equals the person (contacts).
    bool excludesPerson(const Person& person) const;

private:
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };

    Verdict judge(const std::string& address) const;

    SqliteDatabase database_;
    CountVariant countVariant_ = CountVariant::EveryRow;
    const std::vector<Person>* excluded_;
    std::string path_;
    std::string failure_;
    std::string failureDoing_;  // what the operation was doing when it failed
    std::string failureError_;  // SQLite's message
    std::unordered_map<std::string, SqliteStatement> statements_;
    std::unordered_map<std::string, Verdict, StringHash, std::equal_to<>> verdicts_;
};
