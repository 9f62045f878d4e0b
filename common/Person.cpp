#include "common/Person.h"

#include "platform/AddressBook.h"

#include <algorithm>
#include <functional>

namespace {

constexpr char kStar = '*';

bool startsWith(std::string_view text, std::string_view prefix) {
    return !prefix.empty() && text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return !suffix.empty() && text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

void Person::addNumber(const std::string& number) {
    if (std::find(numSet_.begin(), numSet_.end(), number) == numSet_.end()) numSet_.push_back(number);
}

bool Person::containsNumber(std::string_view number) const {
    return std::any_of(numSet_.begin(), numSet_.end(),
                       [&](const std::string& mine) { return equalNumber(mine, number); });
}

std::string Person::getFirstNumber() const { return numSet_.empty() ? std::string() : numSet_.front(); }

bool Person::equalNumber(std::string_view a, std::string_view b) {
    // The order of the tests matters when both sides are patterns.
    if (!a.empty() && a.front() == kStar) return endsWith(b, a.substr(1));
    if (!a.empty() && a.back() == kStar) return startsWith(b, a.substr(0, a.size() - 1));
    if (!b.empty() && b.front() == kStar) return endsWith(a, b.substr(1));
    if (!b.empty() && b.back() == kStar) return startsWith(a, b.substr(0, b.size() - 1));
    return a == b;
}

bool Person::isEqual(const Person& other) const {
    if (recordID_ == -1 || other.recordID_ == -1)
        return std::any_of(other.numSet_.begin(), other.numSet_.end(),
                           [&](const std::string& number) { return containsNumber(number); });
    return recordID_ == other.recordID_;
}

std::size_t Person::hash() const { return std::hash<std::string>{}(name_); }

int Person::comparePerson(const Person& other) const {
    const int order = name_.compare(other.name_);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

Person Person::bareNumber(const std::string& number, int recordID) {
    Person person;
    person.setName(number);
    person.addNumber(number);
    person.setRecordID(recordID);
    return person;
}

std::optional<std::string> Person::firstLastName(const AddressBookContact& contact) {
    if (contact.first && contact.last) return *contact.first + " " + *contact.last;
    if (contact.first) return contact.first;
    return contact.last;
}

std::optional<std::string> Person::displayName(const AddressBookContact& contact) {
    if (auto name = firstLastName(contact)) return name;
    return contact.organization;
}

Person::Resolution Person::resolveAddress(const std::string& address) {
    Resolution resolution;
    const ContactRef contact = AddressBook::shared().findPersonMatchingPhoneNumber(address);
    if (!contact) return resolution;
    resolution.contactFound = true;
    const auto name = displayName(*contact);
    if (!name) return resolution;
    resolution.contactHasName = true;
    resolution.person.setName(*name);
    resolution.person.addNumber(address);
    resolution.person.setRecordID(contact->recordID);
    return resolution;
}

std::optional<Person> Person::excludedContact(int recordID) {
    AddressBook& book = AddressBook::shared();
    book.refreshIfChanged();
    const ContactRef contact = book.personWithRecordID(recordID);
    if (!contact) return std::nullopt;
    // Unlike a display name, the organisation does not name an excluded contact.
    const std::optional<std::string> name = firstLastName(*contact);
    if (!name) return std::nullopt;
    Person person;
    person.setName(*name);
    person.setRecordID(recordID);
    return person;
}

int Person::indexOfEqual(const std::vector<Person>& list, const Person& person) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (person.isEqual(list[i])) return static_cast<int>(i);
    return -1;
}
