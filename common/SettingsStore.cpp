#include "common/SettingsStore.h"

#include "platform/DataLock.h"
#include "common/SettingsKeys.h"
#include "platform/DevicePaths.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>

namespace {

// The file format stores 32-bit integers. A larger value can only come from
// a hand-edited or foreign file; it saturates rather than wrapping into a
// value of the opposite sign (a huge quota must not turn negative).
int narrowed(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)); }

int integerOf(const PropertyList* settings, const char* key, int fallback) {
    if (!settings) return fallback;
    return narrowed(settings->integerValue(key, fallback));
}

bool has(const PropertyList* settings, const char* key) { return settings && settings->contains(key); }

// The index of a numbered key such as "eperson12" for the prefix "eperson",
// or nothing when the key is not one of that list's ("epersonNA3" is not an
// "eperson" key, nor is "epersoncount"). Leading zeros are never written, so
// "eperson01" is not a numbered key either.
std::optional<std::int64_t> numberedIndex(const std::string& key, const std::string& prefix) {
    if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const std::string digits = key.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    if (digits.size() > 1 && digits.front() == '0') return std::nullopt;
    // Beyond ten digits the index cannot be an int, so it is beyond any count.
    if (digits.size() > 10) return INT64_MAX;
    std::int64_t index = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), index);
    return index;
}

void removeNumberedKeysFrom(PropertyList& settings, const std::string& prefix, std::size_t firstStale) {
    for (const std::string& key : settings.keys()) {
        auto index = numberedIndex(key, prefix);
        if (index && *index >= static_cast<std::int64_t>(firstStale)) settings.remove(key);
    }
}

// Walks a numbered list: the entries below `count`, in index order. The
// excluded contacts end at the first missing key; the excluded numbers go past
// one, as the app has always restored them (`skipGaps`).
template <typename Visit>
void forEachNumbered(const PropertyList& settings, const char* countKey, const char* prefix, bool skipGaps,
                     Visit visit) {
    const int count = narrowed(settings.integerValue(countKey, 0));
    if (!skipGaps) {
        for (int i = 0; i < count; ++i) {
            const std::string key = SettingsStore::numberedKey(prefix, i);
            if (!settings.contains(key)) return;
            visit(key);
        }
        return;
    }
    // Only the keys that are there: a hand-edited count of two billion must
    // not mean two billion look-ups.
    std::vector<std::int64_t> present;
    for (const std::string& key : settings.keys()) {
        const auto index = numberedIndex(key, prefix);
        if (index && *index < count) present.push_back(*index);
    }
    std::sort(present.begin(), present.end());
    for (const std::int64_t index : present) visit(SettingsStore::numberedKey(prefix, static_cast<int>(index)));
}

}  // namespace

std::optional<PropertyList> SettingsStore::load() { return PropertyList::readFromFile(DevicePaths::settingsFile()); }

bool SettingsStore::update(const std::function<void(PropertyList&)>& change) {
    DataLock lock;
    auto settings = load();
    if (!settings) return false;
    change(*settings);
    return settings->writeToFile(DevicePaths::settingsFile());
}

int SettingsStore::smsquota(const PropertyList* settings) {
    return integerOf(settings, SettingsKeys::kSmsQuota, SettingsKeys::kDefaultSmsQuota);
}

BadgeType SettingsStore::badgeType(const PropertyList* settings) {
    return badgeTypeOfStored(integerOf(settings, SettingsKeys::kBadgeType, storedValue(kDefaultBadgeType)));
}

bool SettingsStore::hasBadgeType(const PropertyList* settings) { return has(settings, SettingsKeys::kBadgeType); }

void SettingsStore::setBadgeType(PropertyList& settings, BadgeType type) {
    settings.setInteger(SettingsKeys::kBadgeType, storedValue(type));
}

MessageType SettingsStore::messageType(const PropertyList* settings) {
    if (!settings) return MessageType::Both;
    const auto stored = settings->stringValue(SettingsKeys::kMessageType);
    if (!stored || *stored == "0") return MessageType::Both;
    return *stored == "1" ? MessageType::Received : MessageType::Sent;
}

void SettingsStore::setMessageType(PropertyList& settings, MessageType type) {
    switch (type) {
    case MessageType::Both:
    case MessageType::Received:
    case MessageType::Sent:
        settings.setString(SettingsKeys::kMessageType, std::to_string(static_cast<int>(type)));
        break;
    }
}

bool SettingsStore::cycleMode(const PropertyList* settings) { return has(settings, SettingsKeys::kCycleMode); }

int SettingsStore::cycleDay(const PropertyList* settings) {
    return integerOf(settings, SettingsKeys::kCycleDay, SettingsKeys::kDefaultCycleDay);
}

std::optional<double> SettingsStore::lastFromDate(const PropertyList* settings) {
    if (!has(settings, SettingsKeys::kLastFromDate)) return std::nullopt;
    return settings->doubleValue(SettingsKeys::kLastFromDate, 0.0);
}

std::optional<std::string> SettingsStore::lastRecordNumber(const PropertyList* settings) {
    if (!settings) return std::nullopt;
    return settings->stringValue(SettingsKeys::kLastRecordNumber);
}

bool SettingsStore::hideSMS(const PropertyList* settings) { return has(settings, SettingsKeys::kHideSMS); }

std::int64_t SettingsStore::lastSyncReceived(const PropertyList* settings) {
    return settings ? settings->integerValue(SettingsKeys::kLastSyncReceived, 0) : 0;
}

std::int64_t SettingsStore::lastSyncSent(const PropertyList* settings) {
    return settings ? settings->integerValue(SettingsKeys::kLastSyncSent, 0) : 0;
}

std::vector<int> SettingsStore::excludedPersonIds(const PropertyList* settings) {
    std::vector<int> ids;
    if (!settings) return ids;
    forEachNumbered(*settings, SettingsKeys::kExcludedPersonCount, SettingsKeys::kExcludedPersonPrefix, false,
                    [&](const std::string& key) { ids.push_back(narrowed(settings->integerValue(key, 0))); });
    return ids;
}

std::vector<std::string> SettingsStore::excludedNumbers(const PropertyList* settings) {
    std::vector<std::string> numbers;
    if (!settings) return numbers;
    forEachNumbered(*settings, SettingsKeys::kExcludedNumberCount, SettingsKeys::kExcludedNumberPrefix, true,
                    [&](const std::string& key) {
                        // A value that is neither string nor number (a foreign
                        // file's array, say) cannot be matched; it is skipped.
                        if (auto number = settings->stringValue(key)) numbers.push_back(*number);
                    });
    return numbers;
}

int SettingsStore::excludedNumberCount(const PropertyList* settings) {
    return integerOf(settings, SettingsKeys::kExcludedNumberCount, 0);
}

void SettingsStore::setExcludedPersonIds(PropertyList& settings, const std::vector<int>& ids) {
    removeNumberedKeysFrom(settings, SettingsKeys::kExcludedPersonPrefix, ids.size());
    settings.setInteger(SettingsKeys::kExcludedPersonCount, static_cast<std::int64_t>(ids.size()));
    for (std::size_t i = 0; i < ids.size(); ++i)
        settings.setInteger(numberedKey(SettingsKeys::kExcludedPersonPrefix, static_cast<int>(i)), ids[i]);
}

void SettingsStore::setExcludedNumbers(PropertyList& settings, const std::vector<std::string>& numbers) {
    removeNumberedKeysFrom(settings, SettingsKeys::kExcludedNumberPrefix, numbers.size());
    settings.setInteger(SettingsKeys::kExcludedNumberCount, static_cast<std::int64_t>(numbers.size()));
    for (std::size_t i = 0; i < numbers.size(); ++i)
        settings.setString(numberedKey(SettingsKeys::kExcludedNumberPrefix, static_cast<int>(i)), numbers[i]);
}

std::string SettingsStore::numberedKey(const std::string& prefix, int index) { return prefix + std::to_string(index); }
