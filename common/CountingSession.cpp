#include "common/CountingSession.h"

#include "platform/AddressBook.h"

#include <algorithm>

CountingSession::CountingSession(const SqliteDatabase& database, StatementCache& statements, std::string_view path,
                                 const std::vector<Person>* excludedPerson)
    : database_(&database), statements_(&statements),
      excluded_(excludedPerson && !excludedPerson->empty() ? excludedPerson : nullptr), path_(path) {
    AddressBook::shared().refreshIfChanged();
    if (!database.isOpen()) fail();
}

CountingSession::~CountingSession() {
    for (SqliteStatement* statement : handedOut_) statement->reset();
}

SqliteStatement* CountingSession::statement(const std::string& sql) {
    auto found = statements_->find(sql);
    if (found == statements_->end()) {
        SqliteStatement prepared;
        if (!prepared.prepare(*database_, sql)) {
            fail();
            return nullptr;
        }
        found = statements_->emplace(sql, std::move(prepared)).first;
    }
    SqliteStatement* statement = &found->second;
    statement->reset();
    statement->clearBindings();
    if (std::find(handedOut_.begin(), handedOut_.end(), statement) == handedOut_.end()) handedOut_.push_back(statement);
    return statement;
}

void CountingSession::fail() {
    if (failed()) return;
    failure_ = "cannot read the counter database " + path_ + ": " + database_->lastError();
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
        verdict.contact = true;
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
