#include "daemon/QuotaAlertRule.h"

BadgeType QuotaAlertRule::measuredBadgeType(BadgeType badgeType) {
    switch (countedMessages(badgeType)) {
    case MessageType::Received: return BadgeType::Received;
    case MessageType::Sent: return BadgeType::Sent;
    case MessageType::Both: break;
    }
    return BadgeType::Both;
}

std::set<int> QuotaAlertRule::reached(long long used, int quota, const std::vector<int>& thresholds) {
    std::set<int> result;
    if (quota <= 0) return result;
    for (int percent : thresholds)
        // In whole numbers: 40 of 50 is exactly 80 percent.
        if (used * 100 >= static_cast<long long>(percent) * quota) result.insert(percent);
    return result;
}

std::optional<int> QuotaAlertRule::due(long long used, int quota, const std::vector<int>& thresholds,
                                       const std::set<int>& announced) {
    const std::set<int> now = reached(used, quota, thresholds);
    if (now.empty() || announced.count(*now.rbegin())) return std::nullopt;
    return *now.rbegin();
}
