#pragma once

#include "platform/PropertyList.h"

#include <ctime>

// The counting period the quota applies to. All calendar work is done in the
// local time zone (TZ), so a period starts at local midnight whatever the
// daylight-saving offset of that day.
class BillingPeriod {
public:
    // Start of the current period for billing day `day` at `now`: the billing
    // day of this month at 00:00 when that is already past, otherwise the one
    // of the month before. Days are built leniently: a day beyond the month
    // carries into the next one, day 0 is the last day of the month before,
    // negative days go further back. A start that would still lie after `now`
    // (billing day 30 on 1 March gives 2 March) becomes the last day of the
    // previous month instead, so a period never starts in the future.
    static std::time_t periodStart(int day, std::time_t now);
    // The current day at 23:59:59 local time.
    static std::time_t periodEnd(std::time_t now);
    // The period start the daemon uses: billing-day mode when `cyclemode` is
    // present (day from `cycleday`, absent 0), otherwise the fixed start
    // `lastfromdate` with its fraction dropped (absent: the epoch).
    static std::time_t daemonPeriodStart(const PropertyList* settings, std::time_t now);
    // A stored fixed start as a moment: the fraction dropped toward zero;
    // values no calendar can hold are clamped; nan and infinity read as 0.
    static std::time_t wholeSeconds(double seconds);
};
