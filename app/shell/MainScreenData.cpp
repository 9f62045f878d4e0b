#include "app/shell/MainScreenData.h"

#include "common/CounterStore.h"
#include "common/MessageSources.h"
#include "common/PersonTotals.h"
#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "platform/DevicePaths.h"
#include "platform/ProgramLog.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

#include <algorithm>
#include <filesystem>

std::string MainScreenData::counterDatabasePath() const { return PhoneProfile::find().counterDatabase(); }

std::string MainScreenData::addressBookPath() const { return DevicePaths::addressBook(); }

bool MainScreenData::holdsPhoneData() const {
    std::error_code ignored;
    if (std::filesystem::exists(DevicePaths::systemVersionPlist(), ignored) ||
        std::filesystem::exists(DevicePaths::smsDatabase(), ignored))
        return true;
    // A kind of phone added beside the built-in one fits by files of its own.
    const auto kind = PhoneProfile::find().sourceKind();
    return kind && MessageSources::isAdded(*kind);
}

MarkerSync::Outcome MainScreenData::sync() const { return MarkerSync::syncWithStoredMarkers(); }

int MainScreenData::storedMessages() const {
    // A first import has no counter database yet: nothing is opened that
    // would only fail.
    const std::string path = PhoneProfile::find().counterDatabase();
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) return 0;
    SqliteDatabase db;
    SqliteStatement count;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly) || !count.prepare(db, "SELECT count(*) FROM message") ||
        count.step() != SqliteStatement::Step::Row)
        return 0;
    return static_cast<int>(count.columnInt(0));
}

MainScreenData::Synced MainScreenData::syncNewBackup(int storedBefore) const {
    // A first import makes the data directory; the bundle's seeds go in
    // before the sync needs them.
    Seeding::copyIfNeeded();
    Synced result{sync(), 0};
    // Against the rows before the import, not before this sync: a sync of an
    // activation (or of the daemon) may have copied the backup's messages
    // in between, and they are this import's all the same.
    if (result.outcome.ran && result.outcome.status == SyncStatus::Ok)
        result.newMessages = std::max(0, storedMessages() - storedBefore);
    return result;
}

MainScreenData::Cleared MainScreenData::clearAndResync() const {
    Cleared result{MarkerSync::clearAndResync(), {}};
    if (result.outcome.cleared) result.persons = persons();
    return result;
}

std::vector<Person> MainScreenData::persons() const {
    // A group over every address: too long for the UI thread on a large
    // database, hence here.
    Counted<std::vector<Person>> persons = CounterStore::forCurrentPhone().getUniquePerson();
    if (persons) return std::move(persons.value());
    // Nobody to pick from is what the filter can show; the line says why.
    ProgramLog::failure("listing the people of the counter database", persons.failure());
    return {};
}

MainScreenData::Count MainScreenData::count(const MainScreenSettings& settings) const {
    Count result;
    const std::optional<Person>& person = settings.selectedPerson;
    // For both: received first, then sent, into the same list.
    result.count = CounterStore::forCurrentPhone().countMessages(
        settings.messageType, Direction::Received, settings.from, settings.to, person ? &*person : nullptr,
        &settings.excludedPersonArray, &result.records);
    // Oldest first, as the list expects (it shows the newest on top);
    // records of the same second keep their counted order.
    std::stable_sort(result.records.begin(), result.records.end(),
                     [](const Sms& a, const Sms& b) { return a.compare(b) < 0; });
    return result;
}

MainScreenData::Chart MainScreenData::chart(const MainScreenSettings& settings) const {
    Chart result;
    CounterStore store = CounterStore::forCurrentPhone();
    const Counted<int> total =
        PersonTotals::generate(store, settings.from, settings.to, settings.messageType, settings.excludedPersonArray,
                               result.persons, result.counts, result.records);
    // The chart draws what could be counted; the line says why the rest could not.
    if (!total) ProgramLog::failure("counting the messages per person", total.failure());
    result.total = total.valueOr(0);
    return result;
}

std::vector<MonthlyReport::MonthRow> MainScreenData::report(const MainScreenSettings& settings,
                                                            const QLocale& locale) const {
    CounterStore store = CounterStore::forCurrentPhone();
    return MonthlyReport::months(
        MonthlyReport::records(store, settings.from, settings.to, settings.excludedPersonArray), locale);
}

Counted<int> MainScreenData::badgeCount(const MainScreenSettings& settings) const { return settings.badgeCount(); }
