#include "platform/ContactIndex.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace {

// Letters fold to lower case in ASCII only; other characters compare by
// their UTF-8 bytes, which is code-point order.
std::string folded(const std::optional<std::string>& text) {
    std::string result = text.value_or(std::string());
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

// A contact without a last name files under its first name, and a company
// card under its organisation, as in the phone's own list.
const std::optional<std::string>& sortName(const AddressBookContact& contact) {
    if (contact.last) return contact.last;
    if (contact.first) return contact.first;
    return contact.organization;
}

struct SortEntry {
    std::string name;
    std::string first;
    int recordID;
    ContactRef contact;

    bool operator<(const SortEntry& other) const {
        return std::tie(name, first, recordID) < std::tie(other.name, other.first, other.recordID);
    }
};

}  // namespace

ContactIndex::ContactIndex(std::vector<AddressBookContact> contacts, const std::string& defaultRegion)
    : numbers_(defaultRegion) {
    // Lookups by identifier search this order, and the number index gives
    // equal matches to the contact added first.
    std::sort(contacts.begin(), contacts.end(),
              [](const AddressBookContact& a, const AddressBookContact& b) { return a.recordID < b.recordID; });
    byRecordID_.reserve(contacts.size());
    for (AddressBookContact& contact : contacts) {
        byRecordID_.push_back(std::make_shared<const AddressBookContact>(std::move(contact)));
        numbers_.add(byRecordID_.back());
    }
    sortedLastNameFirst_ = sortLastNameFirst(byRecordID_);
}

ContactRef ContactIndex::withRecordID(int recordID) const {
    auto found = std::lower_bound(byRecordID_.begin(), byRecordID_.end(), recordID,
                                  [](const ContactRef& contact, int id) { return contact->recordID < id; });
    if (found == byRecordID_.end() || (*found)->recordID != recordID) return nullptr;
    return *found;
}

std::vector<ContactRef> ContactIndex::sortLastNameFirst(const std::vector<ContactRef>& contacts) {
    // Folding each name once beats folding both sides of every comparison.
    std::vector<SortEntry> entries;
    entries.reserve(contacts.size());
    for (const ContactRef& contact : contacts)
        entries.push_back({folded(sortName(*contact)), folded(contact->first), contact->recordID, contact});
    std::sort(entries.begin(), entries.end());
    std::vector<ContactRef> sorted;
    sorted.reserve(entries.size());
    for (SortEntry& entry : entries) sorted.push_back(std::move(entry.contact));
    return sorted;
}
