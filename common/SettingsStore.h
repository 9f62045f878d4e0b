#pragma once

#include "common/BadgeType.h"
#include "common/MessageType.h"
#include "platform/PropertyList.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The settings file shared by the app and the daemon: one property-list
// dictionary in the data directory. Every reader loads the whole file afresh;
// every writer loads it, changes only its own keys and writes the whole
// dictionary back, so keys it does not handle survive.
//
// The typed readers take the loaded dictionary, or null when there is no
// file, and give each key's default when it is absent. Integer keys are read
// leniently (a number or a string of digits) and narrowed to the 32-bit range
// the app's settings use; the sync markers alone keep all 64 bits.
class SettingsStore {
public:
    // The whole dictionary; nothing when the file is missing or unreadable
    // (every key then takes its default).
    static std::optional<PropertyList> load();
    // Load, change, write back atomically, all under the data lock so the
    // other process cannot slip its own write in between and have it undone.
    // A missing or unreadable file is left alone (only seeding creates it)
    // and gives false, as does a failed write.
    static bool update(const std::function<void(PropertyList&)>& change);

    static int smsquota(const PropertyList* settings);
    static BadgeType badgeType(const PropertyList* settings);
    static bool hasBadgeType(const PropertyList* settings);
    static void setBadgeType(PropertyList& settings, BadgeType type);
    // Absent or "0" is Both, "1" Received, any other value Sent.
    static MessageType messageType(const PropertyList* settings);
    // Stores "0", "1" or "2"; a value outside the three leaves the key alone.
    static void setMessageType(PropertyList& settings, MessageType type);
    // Billing-day mode is marked by the key's presence; its value is not read.
    static bool cycleMode(const PropertyList* settings);
    static int cycleDay(const PropertyList* settings);
    static std::optional<double> lastFromDate(const PropertyList* settings);
    static std::optional<std::string> lastRecordNumber(const PropertyList* settings);
    static bool hideSMS(const PropertyList* settings);
    // The sync markers are Unix seconds and are read at full 64-bit width: a
    // message dated past 2038 (a phone clock run ahead, or a date misread)
    // must not pin a marker below its own date.
    static std::int64_t lastSyncReceived(const PropertyList* settings);
    static std::int64_t lastSyncSent(const PropertyList* settings);

    // Address-book record IDs of the excluded contacts: as many as the count
    // key says, up to the first missing numbered key. (ExclusionList turns
    // both lists into the persons the counts exclude.)
    static std::vector<int> excludedPersonIds(const PropertyList* settings);
    // Excluded numbers and wildcard patterns: as many as the count key says,
    // going past a missing numbered key; values that are neither string nor
    // number are skipped.
    static std::vector<std::string> excludedNumbers(const PropertyList* settings);
    // The stored count of excluded numbers (epersoncountNA), 0 when absent.
    static int excludedNumberCount(const PropertyList* settings);
    // Each writes one list with its count and removes the numbered keys a
    // longer earlier list left beyond the new count.
    static void setExcludedPersonIds(PropertyList& settings, const std::vector<int>& ids);
    static void setExcludedNumbers(PropertyList& settings, const std::vector<std::string>& numbers);

    // prefix followed by the index in decimal: eperson0, epersonNA12.
    static std::string numberedKey(const std::string& prefix, int index);
};
