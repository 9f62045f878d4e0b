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
    int recordId;
    ContactRef contact;

    bool operator<(const SortEntry& other) const {
        return std::tie(name, first, recordId) < std::tie(other.name, other.first, other.recordId);
    }
};

}  // namespace

ContactIndex::ContactIndex(std::vector<AddressBookContact> contacts, const std::string& defaultRegion)
    : numbers_(defaultRegion) {
    // Lookups by identifier search this order, and the number index gives
    // equal matches to the contact added first.
    std::sort(contacts.begin(), contacts.end(),
              [](const AddressBookContact& a, const AddressBookContact& b) { return a.recordId < b.recordId; });
    byRecordId_.reserve(contacts.size());
    for (AddressBookContact& contact : contacts) {
        byRecordId_.push_back(std::make_shared<const AddressBookContact>(std::move(contact)));
        numbers_.add(byRecordId_.back());
    }
    sortedLastNameFirst_ = sortLastNameFirst(byRecordId_);
}

ContactRef ContactIndex::withRecordId(int recordId) const {
    auto found = std::lower_bound(byRecordId_.begin(), byRecordId_.end(), recordId,
                                  [](const ContactRef& contact, int id) { return contact->recordId < id; });
    if (found == byRecordId_.end() || (*found)->recordId != recordId) return nullptr;
    return *found;
}

std::vector<ContactRef> ContactIndex::sortLastNameFirst(const std::vector<ContactRef>& contacts) {
    // Folding each name once beats folding both sides of every comparison.
    std::vector<SortEntry> entries;
    entries.reserve(contacts.size());
    for (const ContactRef& contact : contacts)
        entries.push_back({folded(sortName(*contact)), folded(contact->first), contact->recordId, contact});
    std::sort(entries.begin(), entries.end());
    std::vector<ContactRef> sorted;
    sorted.reserve(entries.size());
    for (SortEntry& entry : entries) sorted.push_back(std::move(entry.contact));
    return sorted;
}
