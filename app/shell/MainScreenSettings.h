#pragma once

#include "common/BadgeType.h"
#include "common/Counted.h"
#include "common/MessageType.h"
#include "common/Person.h"

#include <ctime>
#include <optional>
#include <vector>

class PropertyList;

// The main screen's settings while the app runs: loaded from the shared
// settings file at launch and at every activation, changed by the screens,
// and written back (with the icon badge) when the app leaves the
// foreground. The screen owns one of these; keeping it apart from the
// widgets keeps the file rules testable on their own.
struct MainScreenSettings {
    // How the period start is kept: a date the user fixed, or the billing
    // day of each month.
    enum class PeriodMode { FixedDate, BillingDay };

    MessageType messageType = MessageType::Both;
    std::optional<Person> selectedPerson;
    std::vector<Person> excludedPersonArray;  // contacts (record ID) and bare numbers (-1)
    BadgeType badgeType = kDefaultBadgeType;
    int smsquota = 0;
    PeriodMode saveFromDate = PeriodMode::BillingDay;
    int cycleDay = 1;  // 1 to 31 in billing-day mode, 0 in fixed-date mode
    std::time_t from = 0;
    std::time_t to = 0;
    bool hideSMS = false;

    // Once at launch: message type, person filter, exclusions, badge type
    // and quota. `settings` may be null (no readable file: every default).
    void loadFilterSettings(const PropertyList* settings);
    // At launch and every activation: period mode, start and end, and the
    // hidden flag.
    void loadPeriod(const PropertyList* settings, std::time_t now);

    // Writes every setting back into the file (under the data lock; nothing
    // is written when the file cannot be read). In billing-day mode, unless
    // the badge is off, the period start is recomputed for `now` first.
    void storeLastDate(std::time_t now);
    // The count the icon badge shows for these settings (a read over the
    // whole period), or why it could not be counted. Not for a badge that is
    // off.
    Counted<int> badgeCount() const;

    // Writes this screen's keys into a loaded dictionary (no badge, no file).
    void storeInto(PropertyList& settings) const;

    // The person filter restored from a stored number: the matching
    // contact (named by first and last name), or the bare number; nothing
    // for a matching contact without either name.
    static std::optional<Person> personForNumber(const std::string& number);
};
