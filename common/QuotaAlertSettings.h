#pragma once

#include <vector>

class PropertyList;

// The settings of the quota alerts in the shared settings file: whether the
// daemon warns at all, and at which shares of the quota. The app does not
// edit them yet; it keeps them, as it keeps every key it does not handle.
class QuotaAlertSettings {
public:
    static constexpr const char* kEnabledKey = "quotaalerts";          // integer, 0 = off
    static constexpr const char* kFirstThresholdKey = "quotaalert1";   // integer percent of smsquota
    static constexpr const char* kSecondThresholdKey = "quotaalert2";  // integer percent of smsquota

    static constexpr int kDefaultFirstThreshold = 80;
    static constexpr int kDefaultSecondThreshold = 100;

    // On unless the key holds 0 (a number or a string of digits).
    static bool enabled(const PropertyList* settings);
    // The two thresholds in percent, ascending, without duplicates and
    // without values below 1, which would warn before anything was sent.
    static std::vector<int> thresholds(const PropertyList* settings);
};
