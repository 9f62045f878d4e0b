#include "app/shell/MainScreenSettings.h"

#include "common/BillingPeriod.h"
#include "common/ExclusionList.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "common/CounterStore.h"
#include "platform/AddressBook.h"
#include "platform/PropertyList.h"

#include <cmath>
#include <string>

std::optional<Person> MainScreenSettings::personForNumber(const std::string& number) {
    AddressBook& book = AddressBook::shared();
    book.refreshIfChanged();
    const ContactRef contact = book.findPersonMatchingPhoneNumber(number);
    if (!contact) return Person::bareNumber(number, -1);
    const std::optional<std::string> name = Person::firstLastName(*contact);
    if (!name) return std::nullopt;
    Person person;
    person.setName(*name);
    person.addNumber(number);
    person.setRecordID(contact->recordID);
    return person;
}

void MainScreenSettings::loadFilterSettings(const PropertyList* settings) {
    messageType = SettingsStore::messageType(settings);
    selectedPerson.reset();
    if (auto number = SettingsStore::lastRecordNumber(settings)) selectedPerson = personForNumber(*number);
    // Contacts first, then bare numbers, each in saved order, read as the
    // daemon and the command-line report read them.
    excludedPersonArray = ExclusionList::fromSettings(settings);
    badgeType = SettingsStore::badgeType(settings);
    smsquota = SettingsStore::smsquota(settings);
}

void MainScreenSettings::loadPeriod(const PropertyList* settings, std::time_t now) {
    if (auto fixedStart = SettingsStore::lastFromDate(settings)) {
        saveFromDate = PeriodMode::FixedDate;
        cycleDay = 0;
        from = BillingPeriod::wholeSeconds(*fixedStart);
    } else {
        saveFromDate = PeriodMode::BillingDay;
        cycleDay = SettingsStore::cycleMode(settings) ? SettingsStore::cycleDay(settings) : 1;
        from = BillingPeriod::periodStart(cycleDay, now);
    }
    to = BillingPeriod::periodEnd(now);
    if (settings && settings->contains(SettingsKeys::kHideSMS)) {
        // Only "Y" turns the flag on; another value leaves it as it was.
        if (settings->stringValue(SettingsKeys::kHideSMS) == "Y") hideSMS = true;
    } else {
        hideSMS = false;
    }
}

void MainScreenSettings::storeInto(PropertyList& settings) const {
    settings.setInteger(SettingsKeys::kSmsQuota, smsquota);
    if (saveFromDate == PeriodMode::FixedDate) {
        settings.setDouble(SettingsKeys::kLastFromDate, static_cast<double>(from));
        settings.remove(SettingsKeys::kCycleMode);
    } else {
        settings.remove(SettingsKeys::kLastFromDate);
        settings.setString(SettingsKeys::kCycleDay, std::to_string(cycleDay));
        settings.setString(SettingsKeys::kCycleMode, "Y");
    }
    SettingsStore::setBadgeType(settings, badgeType);
    SettingsStore::setMessageType(settings, messageType);
    if (selectedPerson)
        settings.setString(SettingsKeys::kLastRecordNumber, selectedPerson->getFirstNumber());
    else
        settings.remove(SettingsKeys::kLastRecordNumber);

    std::vector<int> contacts;
    std::vector<std::string> numbers;
    for (const Person& person : excludedPersonArray) {
        if (person.recordID() == -1)
            numbers.push_back(person.name());
        else
            contacts.push_back(person.recordID());
    }
    SettingsStore::setExcludedPersonIds(settings, contacts);
    SettingsStore::setExcludedNumbers(settings, numbers);
}

void MainScreenSettings::storeLastDate(std::time_t now) {
    if (saveFromDate != PeriodMode::FixedDate && badgeType != BadgeType::Off)
        from = BillingPeriod::periodStart(cycleDay, now);
    SettingsStore::update([this](PropertyList& settings) { storeInto(settings); });
}

Counted<int> MainScreenSettings::badgeCount() const {
    return CounterStore::forCurrentPhone().countBadgeFrom(from, &excludedPersonArray, badgeType, smsquota);
}
