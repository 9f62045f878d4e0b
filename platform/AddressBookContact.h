#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One person of the address book as it stood when the book was loaded.
struct AddressBookContact {
    int recordID = 0;  // the ABPerson ROWID, stable across runs
    // An empty string in the book counts as absent.
    std::optional<std::string> first, last, organization;
    std::vector<std::string> numbers;  // phone numbers as typed, in the book's order
};

// Contacts are shared and immutable, so one handed out stays valid after the
// book reloads.
using ContactRef = std::shared_ptr<const AddressBookContact>;
