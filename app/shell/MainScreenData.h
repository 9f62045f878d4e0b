#pragma once

#include "app/charts/MonthlyReport.h"
#include "app/shell/MainScreenSettings.h"
#include "common/Counted.h"
#include "common/MarkerSync.h"
#include "common/Person.h"
#include "common/Sms.h"

#include <QLocale>

#include <string>
#include <vector>

// Every read and write of the counter database the main screen starts, in
// one place: the sync from the phone, Clear DB, the person list, the count
// behind the totals, the chart's numbers, the report's months and the
// badge. The calls run on worker threads, each with the settings it was
// handed, and open the databases themselves; nothing here touches a widget.
class MainScreenData {
public:
    struct Count {
        Counted<int> count = 0;
        std::vector<Sms> records;  // oldest first, as the list takes them
    };
    struct Chart {
        std::vector<Person> persons;
        std::vector<int> counts;
        std::vector<Sms> records;
        int total = 0;
    };
    struct Synced {
        MarkerSync::Outcome outcome;
        int newMessages = 0;  // rows the sync added to the counter database
    };
    struct Cleared {
        MarkerSync::ClearOutcome outcome;
        std::vector<Person> persons;  // of the resynced database
    };

    // The files a count reads, whose changes call for a new one.
    std::string counterDatabasePath() const;
    std::string addressBookPath() const;

    // Whether the device root holds a phone at all: its system version, its
    // sms.db, or the files of an added kind of phone. Without any no backup was ever imported, and there is
    // nothing to sync or count (a missing sms.db of a phone that is there
    // is a failure of the sync, and said so).
    bool holdsPhoneData() const;

    MarkerSync::Outcome sync() const;
    // The sync after a backup import, which seeds what a first import needs
    // and tells how many messages the counter database gained since it held
    // `storedBefore` (storedMessages() as the import found it).
    Synced syncNewBackup(int storedBefore) const;
    // The rows of the counter database; 0 when it is not there (yet).
    int storedMessages() const;
    // Delete, marker reset and resync under one hold of the data lock, then
    // the people of the resynced database.
    Cleared clearAndResync() const;
    std::vector<Person> persons() const;
    Count count(const MainScreenSettings& settings) const;
    Chart chart(const MainScreenSettings& settings) const;
    std::vector<MonthlyReport::MonthRow> report(const MainScreenSettings& settings, const QLocale& locale) const;
    // Not for a badge that is off.
    Counted<int> badgeCount(const MainScreenSettings& settings) const;
};
