#pragma once

#include "platform/AddressBookContact.h"

#include <phonenumbers/phonenumber.pb.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Finds the contact a message address belongs to, the way the phone matches
// numbers: formatting and country prefixes do not matter, a number without
// its area code matches the full one, and an address that is no phone number
// at all (an e-mail handle, a sender name) matches only the same string, as
// does text too long to be a number (more than 64 characters or 20 digits).
//
// Every contact number is parsed once, when added, and filed under the last
// seven digits of its national significant number (all of them when it has
// fewer). A lookup parses the address once and weighs only the numbers filed
// under its own key, which also keeps a short code such as "72345" from
// matching a long number that merely ends in it.
class PhoneNumberIndex {
public:
    explicit PhoneNumberIndex(std::string defaultRegion = "US");

    // Contacts must be added in ascending record identifier order: among
    // equally good matches the first added wins.
    void add(const ContactRef& contact);
    // The contact with the best kind of match (exact, national number, short
    // national number), the lowest record identifier among equals; nothing
    // when no number matches.
    ContactRef match(const std::string& address) const;

private:
    struct ParsedNumber {
        i18n::phonenumbers::PhoneNumber number;
        ContactRef contact;
    };
    struct Parsed {
        i18n::phonenumbers::PhoneNumber number;
        std::string key;
    };
    struct Candidate {
        int strength = 0;  // 0: no match
        ContactRef contact;
        bool beatenBy(int otherStrength, const AddressBookContact& other) const;
    };

    void addNumber(const std::string& number, const ContactRef& contact);
    void considerNumberMatches(const Parsed& address, Candidate* best) const;
    std::optional<Parsed> parse(const std::string& text) const;

    std::string defaultRegion_;
    std::unordered_map<std::string, ContactRef> byExactString_;
    std::unordered_map<std::string, std::vector<ParsedNumber>> byKey_;
};
