#pragma once

#include "common/MessageType.h"
#include "common/Counted.h"
#include "common/MonthTotals.h"
#include "common/Person.h"
#include "common/CounterStore.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

class PropertyList;

// The numbers the app shows for a period, gathered in one place for the
// command-line report: the total of the main screen (messages and segments,
// for a message type, a person and the exclusions), the messages left of the
// quota, the per-person counts of the charts and the per-month counts of the
// report. Each comes from the same counting code the app runs, so the two
// always agree.
class QuotaReport {
public:
    struct Period {
        std::time_t from = 0;
        std::time_t to = 0;
    };

    struct Options {
        Period period;
        MessageType messageType = MessageType::Both;
        std::optional<Person> person;  // none: all persons
        std::vector<Person> excluded;
        int quota = 0;  // 0 or less: no quota
    };

    struct PersonRow {
        Person person;
        int segments = 0;
    };

    struct Result {
        Period period;
        int messages = 0;  // counted messages behind the total
        int received = 0;  // segments received (0 when the type is sent only)
        int sent = 0;      // segments sent (0 when the type is received only)
        int segments = 0;  // the main screen's "Total Messages"
        int quota = 0;
        std::optional<int> quotaLeft;    // "Messages Left"; none without a quota
        std::vector<PersonRow> persons;  // most segments first
        std::vector<MonthTotals::Month> months;
    };

    // The report, or why the counter database could not be read: a report
    // that could not count is no report, never one of zeros.
    static Counted<Result> build(const Options& options);

    // The app's current period: a stored fixed start (lastfromdate) up to
    // the end of today, otherwise the billing day (cycleday in billing-day
    // mode, day 1 without any period setting) up to the end of today.
    static Period currentPeriod(const PropertyList* settings, std::time_t now);
    // The period before the current one in billing-day mode; none for a
    // fixed start date, which has no period before it.
    static std::optional<Period> previousPeriod(const PropertyList* settings, std::time_t now);

    // The person of the counter database a command line names: a contact or
    // number by its name (ignoring case), or the person one of whose numbers
    // matches `nameOrNumber`. Contacts come with every address they used, as
    // the person picker offers them. None when nobody matches; a failure
    // when the counter database cannot be read.
    static Counted<std::optional<Person>> findPerson(const std::string& nameOrNumber);
};
