#include "common/QuotaAlertSettings.h"

#include "platform/PropertyList.h"

#include <algorithm>

namespace {

int percentAt(const PropertyList* settings, const char* key, int fallback) {
    if (!settings) return fallback;
    const std::int64_t value = settings->integerValue(key, fallback);
    // Anything beyond ten times the quota would never be reached.
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, 1000));
}

}  // namespace

bool QuotaAlertSettings::enabled(const PropertyList* settings) {
    return !settings || settings->integerValue(kEnabledKey, 1) != 0;
}

std::vector<int> QuotaAlertSettings::thresholds(const PropertyList* settings) {
    std::vector<int> percents{percentAt(settings, kFirstThresholdKey, kDefaultFirstThreshold),
                              percentAt(settings, kSecondThresholdKey, kDefaultSecondThreshold)};
    std::erase_if(percents, [](int percent) { return percent < 1; });
    std::sort(percents.begin(), percents.end());
    percents.erase(std::unique(percents.begin(), percents.end()), percents.end());
    return percents;
}
