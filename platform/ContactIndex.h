#pragma once

#include "platform/AddressBookContact.h"
#include "platform/PhoneNumberIndex.h"

#include <string>
#include <vector>

// One loaded version of the address book with everything a lookup needs
// prepared up front: contacts by record identifier, the sorted list for the
// contact picker and the phone-number index.
class ContactIndex {
public:
    ContactIndex() = default;  // an empty book
    ContactIndex(std::vector<AddressBookContact> contacts, const std::string& defaultRegion);

    ContactRef match(const std::string& address) const { return numbers_.match(address); }
    ContactRef withRecordID(int recordID) const;
    const std::vector<ContactRef>& sortedLastNameFirst() const { return sortedLastNameFirst_; }
    int size() const { return static_cast<int>(byRecordID_.size()); }

private:
    static std::vector<ContactRef> sortLastNameFirst(const std::vector<ContactRef>& contacts);

    std::vector<ContactRef> byRecordID_;
    std::vector<ContactRef> sortedLastNameFirst_;
    PhoneNumberIndex numbers_;
};
