#include "common/ExclusionList.h"

#include "common/SettingsStore.h"

std::vector<Person> ExclusionList::fromSettings(const PropertyList* settings) {
    std::vector<Person> excluded;
    for (int recordID : SettingsStore::excludedPersonIds(settings))
        if (auto contact = Person::excludedContact(recordID)) excluded.push_back(std::move(*contact));
    for (const std::string& number : SettingsStore::excludedNumbers(settings))
        excluded.push_back(Person::bareNumber(number, -1));
    return excluded;
}
