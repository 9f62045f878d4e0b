#include "app/shell/MainScreenData.h"

#include "app/charts/ChartData.h"
#include "common/SmsHelper.h"
#include "platform/DevicePaths.h"

#include <algorithm>

std::string MainScreenData::counterDatabasePath() const { return DevicePaths::counterDatabase(); }

std::string MainScreenData::addressBookPath() const { return DevicePaths::addressBook(); }

MarkerSync::Outcome MainScreenData::sync() const { return MarkerSync::syncWithStoredMarkers(); }

MainScreenData::Cleared MainScreenData::clearAndResync() const {
    Cleared result{MarkerSync::clearAndResync(), {}};
    if (result.outcome.cleared) result.persons = persons();
    return result;
}

std::vector<Person> MainScreenData::persons() const {
    // A group over every address: too long for the UI thread on a large
    // database, hence here.
    std::vector<Person> persons;
    SmsHelper::getUniquePerson(persons);
    return persons;
}

MainScreenData::Count MainScreenData::count(const MainScreenSettings& settings) const {
    Count result;
    const std::optional<Person>& person = settings.selectedPerson;
    // For both: received first, then sent, into the same list.
    result.count =
        SmsHelper::countMessages(settings.messageType, Direction::Received, settings.from, settings.to,
                                 person ? &*person : nullptr, &settings.excludedPersonArray, &result.records);
    // Oldest first, as the list expects (it shows the newest on top);
    // records of the same second keep their counted order.
    std::stable_sort(result.records.begin(), result.records.end(),
                     [](const Sms& a, const Sms& b) { return a.compare(b) < 0; });
    return result;
}

MainScreenData::Chart MainScreenData::chart(const MainScreenSettings& settings) const {
    Chart result;
    result.total = ChartData::generate(settings.from, settings.to, settings.messageType, settings.excludedPersonArray,
                                       result.persons, result.counts, result.records);
    return result;
}

std::vector<MonthlyReport::MonthRow> MainScreenData::report(const MainScreenSettings& settings,
                                                            const QLocale& locale) const {
    return MonthlyReport::months(MonthlyReport::records(settings.from, settings.to, settings.excludedPersonArray),
                                 locale);
}

Counted<int> MainScreenData::badgeCount(const MainScreenSettings& settings) const { return settings.badgeCount(); }
