#pragma once

#include "tools/fixtures/AddressBookFixture.h"

#include <optional>
#include <string>
#include <vector>

// The Contacts app of the phone: `contacts add FIRST LAST NUMBER...` adds a
// person ("" for a name part the person lacks) and `contacts list` shows
// the address book, one contact a line: record identifier, name, numbers.
class ContactCommands {
public:
    static int run(const std::vector<std::string>& arguments);

private:
    static int add(const std::vector<std::string>& arguments);
    static int list();
    static std::optional<std::string> namePart(const std::string& argument);
    static std::string displayName(const AddressBookFixture::Contact& contact);
    static std::string joinNumbers(const std::vector<std::string>& numbers);
};
