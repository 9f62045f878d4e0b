#include "common/BillingPeriod.h"

#include "common/SettingsStore.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>

namespace {

// The billing day comes from the settings file, where anything may stand.
// Beyond about a year either way a day means nothing as a day of a month, and
// limiting it keeps mktime's normalisation of tm_mday far from int overflow
// and from its out-of-range failure. Within the range the lenient carry is
// exactly the calendar's.
constexpr int kEarliestDay = -400;
constexpr int kLatestDay = 400;

// A fixed start is seconds in a double; values this far out (tens of
// billions of years) are clamped so the conversion to time_t stays defined.
constexpr double kFurthestSeconds = 1e17;

std::optional<std::tm> localFields(std::time_t now) {
    std::tm fields{};
    if (!::localtime_r(&now, &fields)) return std::nullopt;
    return fields;
}

// Builds a local time leniently from possibly out-of-range fields. Leaving
// the daylight-saving flag to mktime (-1) makes it use the offset in force at
// the built moment rather than the one of `now`, so a period that began
// before a clock change still begins at local midnight.
std::optional<std::time_t> build(std::tm fields) {
    fields.tm_isdst = -1;
    errno = 0;
    const std::time_t result = std::mktime(&fields);
    // -1 is also a real moment (the last second of 1969 in UTC); only errno
    // tells a failure apart.
    if (result == -1 && errno != 0) return std::nullopt;
    return result;
}

std::optional<std::time_t> midnight(std::tm fields, int month, int day) {
    fields.tm_mon = month;
    fields.tm_mday = day;
    fields.tm_hour = 0;
    fields.tm_min = 0;
    fields.tm_sec = 0;
    return build(fields);
}

}  // namespace

std::time_t BillingPeriod::periodStart(int day, std::time_t now) {
    // Pick up a time zone change made while a long-running process lives.
    ::tzset();
    const auto today = localFields(now);
    // A moment the calendar cannot represent: an empty period is the safe answer.
    if (!today) return now;
    const int billingDay = std::clamp(day, kEarliestDay, kLatestDay);

    const auto thisMonth = midnight(*today, today->tm_mon, billingDay);
    if (!thisMonth) return now;
    if (*thisMonth < now) return *thisMonth;

    // Month -1 is normalised by mktime into December of the year before.
    const auto previousMonth = midnight(*today, today->tm_mon - 1, billingDay);
    if (!previousMonth) return now;
    if (*previousMonth <= now) return *previousMonth;

    // The previous month was too short for the billing day, and its carry
    // overshot into the future (day 30 in February seen on 1 March). The
    // period then begins on that short month's last day; day 0 of this month
    // is exactly that day.
    return midnight(*today, today->tm_mon, 0).value_or(now);
}

std::time_t BillingPeriod::periodEnd(std::time_t now) {
    ::tzset();
    auto fields = localFields(now);
    if (!fields) return now;
    fields->tm_hour = 23;
    fields->tm_min = 59;
    fields->tm_sec = 59;
    return build(*fields).value_or(now);
}

std::time_t BillingPeriod::daemonPeriodStart(const PropertyList* settings, std::time_t now) {
    // The daemon decides by cyclemode alone: a stale lastfromdate beside it
    // does not matter, and with neither key it counts from the epoch.
    if (SettingsStore::cycleMode(settings)) return periodStart(SettingsStore::cycleDay(settings), now);
    return wholeSeconds(SettingsStore::lastFromDate(settings).value_or(0.0));
}

std::time_t BillingPeriod::wholeSeconds(double seconds) {
    if (!std::isfinite(seconds)) return 0;
    return static_cast<std::time_t>(std::trunc(std::clamp(seconds, -kFurthestSeconds, kFurthestSeconds)));
}
