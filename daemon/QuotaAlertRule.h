#pragma once

#include "common/BadgeType.h"

#include <optional>
#include <set>
#include <vector>

// When the quota alerts speak: a threshold (percent of the quota) is reached
// when the count is at least that share of the quota. Of the thresholds
// reached and not yet announced in the period only the highest is announced,
// so a count that jumps past both (a first run on a full period) gives one
// alert, not a stale warning before the real one; the lower one counts as
// announced with it.
class QuotaAlertRule {
public:
    // The badge types as counts: the quota-left types measure what their
    // "Total" counterparts count, and the badge switched off measures both
    // directions.
    static BadgeType measuredBadgeType(BadgeType badgeType);

    // Every threshold `used` reaches of `quota`; none without a quota.
    static std::set<int> reached(long long used, int quota, const std::vector<int>& thresholds);

    // The threshold to announce now, if any.
    static std::optional<int> due(long long used, int quota, const std::vector<int>& thresholds,
                                  const std::set<int>& announced);
};
