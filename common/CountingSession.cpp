#include "common/CountingSession.h"

#include "common/PhoneProfile.h"
#include "platform/AddressBook.h"
#include "platform/ProgramLog.h"

#include <algorithm>

CountingSession::CountingSession(const std::vector<Person>* excludedPerson)
    : excluded_(excludedPerson && !excludedPerson->empty() ? excludedPerson : nullptr) {
    AddressBook::shared().refreshIfChanged();
    const PhoneProfile profile = PhoneProfile::find();
    countVariant_ = profile.countVariant();
    path_ = profile.counterDatabase();
    if (!database_.open(path_, SqliteDatabase::Mode::ReadOnly)) {
        fail("counting: opening " + path_);
        return;
    }
    // A group count reads the rows of every address through the address
    // index, jumping around the table: with SQLite's default 2 MB page cache
    // most of those jumps re-read pages from the file. Reading the file
    // through a memory map instead shares the system's own cache of it, with
    // no copies and nothing to allocate per operation.
    database_.exec("PRAGMA mmap_size = 268435456");
}

SqliteStatement* CountingSession::statement(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        SqliteStatement prepared;
        if (!prepared.prepare(database_, sql)) {
            fail("counting: preparing a query of the counter database");
            return nullptr;
        }
        found = statements_.emplace(sql, std::move(prepared)).first;
    }
    found->second.reset();
    found->second.clearBindings();
    return &found->second;
}

void CountingSession::fail(std::string_view doing) {
    if (failed()) return;
    failureDoing_ = doing;
    failureError_ = database_.lastError();
    failure_ = "cannot read the counter database " + path_ + ": " + failureError_;
}

void CountingSession::logFailure() const {
    if (failed()) ProgramLog::failure(failureDoing_, failureError_);
}

const CountingSession::Verdict& CountingSession::verdictFor(std::string_view address) {
    auto found = verdicts_.find(address);
    if (found == verdicts_.end()) {
        std::string key(address);
        Verdict verdict = judge(key);
        found = verdicts_.emplace(std::move(key), std::move(verdict)).first;
    }
    return found->second;
}

CountingSession::Verdict CountingSession::judge(const std::string& address) const {
    Verdict verdict;
    Person::Resolution resolution = Person::resolveAddress(address);
    if (resolution.contactFound) {
        if (!resolution.contactHasName || excludesPerson(resolution.person)) return verdict;
        verdict.person = std::make_shared<const Person>(std::move(resolution.person));
    } else {
        if (excludesNumber(address)) return verdict;
        verdict.person = std::make_shared<const Person>(Person::bareNumber(address, 0));
    }
    verdict.counted = true;
    return verdict;
}

bool CountingSession::excludesNumber(std::string_view address) const {
    return excluded_ && std::any_of(excluded_->begin(), excluded_->end(),
                                    [&](const Person& excluded) { return excluded.containsNumber(address); });
}

bool CountingSession::excludesPerson(const Person& person) const {
    return excluded_ && Person::indexOfEqual(*excluded_, person) >= 0;
}
