#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct AddressBookContact;

// A party of a conversation: an address-book contact, which may own several
// numbers, or a bare number or star pattern that no contact stands behind.
// Numbers are never normalised: they are kept and compared exactly as the
// message database spells them, or as the user typed a pattern.
//
// recordID: the address-book record identifier of a contact; -1 for a bare
// number or pattern; 0 for a new person and for the bare persons the direct
// counts put into message records.
class Person {
public:
    Person() = default;

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    int recordID() const { return recordID_; }
    void setRecordID(int recordID) { recordID_ = recordID; }
    // The numbers and patterns of this person, without duplicates, in the
    // order they were added.
    const std::vector<std::string>& numSet() const { return numSet_; }

    void addNumber(const std::string& number);
    // True when some number of this person matches `number` (this person's
    // number as the first argument of equalNumber).
    bool containsNumber(std::string_view number) const;
    // The first number, or "" for a person without numbers.
    std::string getFirstNumber() const;

    // The matching rule for a stored number or pattern `a` and a looked-up
    // number `b`; either may carry one leading or trailing star. An empty
    // remainder matches nothing, so a lone star matches no number.
    static bool equalNumber(std::string_view a, std::string_view b);

    // Equality as every list search uses it, with the person looked for as
    // the receiver: when either side is a bare number or pattern (recordID
    // -1), by numbers (this person contains one of the other's numbers);
    // otherwise by record identifier alone. Not symmetric for patterns.
    bool isEqual(const Person& other) const;
    std::size_t hash() const;
    // Plain, case-sensitive ordering of the names: negative, 0 or positive.
    int comparePerson(const Person& other) const;

    // A bare number or pattern: the string as name and as its one number.
    static Person bareNumber(const std::string& number, int recordID);

    // The contact's display name: "First Last" when both exist, otherwise
    // the first name, the last name, or the organisation; nothing when the
    // contact has none of them.
    static std::optional<std::string> displayName(const AddressBookContact& contact);
    // "First Last", or whichever of the two exists; nothing without either.
    // Restored filters and exclusions are named this way, without the
    // organisation.
    static std::optional<std::string> firstLastName(const AddressBookContact& contact);
    // The person an address resolves to through the address book: the
    // contact (its display name, the address as its one number, its record
    // identifier), or nothing when no contact matches the address.
    // `contactHasName` is false for a matching contact without any name part.
    struct Resolution;
    static Resolution resolveAddress(const std::string& address);

    // An excluded contact rebuilt from its stored record identifier: name
    // from first and last name only, no numbers. Nothing when the contact no
    // longer exists or has neither name.
    static std::optional<Person> excludedContact(int recordID);

    // Searches `list` in order for a person equal to `person` (the receiver);
    // the index of the first one, or -1.
    static int indexOfEqual(const std::vector<Person>& list, const Person& person);

private:
    std::string name_;
    int recordID_ = 0;
    std::vector<std::string> numSet_;
};

struct Person::Resolution {
    bool contactFound = false;
    bool contactHasName = false;
    Person person;
};
