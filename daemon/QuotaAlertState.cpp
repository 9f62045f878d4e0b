#include "daemon/QuotaAlertState.h"

#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"

namespace {

constexpr const char* kPeriodStartKey = "periodstart";
// announced80, announced100: one key per threshold said, its value 1.
constexpr const char* kAnnouncedPrefix = "announced";

}  // namespace

QuotaAlertState QuotaAlertState::load(const std::string& path) {
    const auto stored = PropertyList::readFromFile(path);
    if (!stored || !stored->contains(kPeriodStartKey)) return {};
    std::set<int> announced;
    const std::string prefix = kAnnouncedPrefix;
    for (const std::string& key : stored->keys()) {
        if (key.rfind(prefix, 0) != 0 || stored->integerValue(key, 0) == 0) continue;
        try {
            announced.insert(std::stoi(key.substr(prefix.size())));
        } catch (const std::exception&) {
            // A key this version did not write; ignored.
        }
    }
    return QuotaAlertState(static_cast<std::time_t>(stored->integerValue(kPeriodStartKey)), std::move(announced));
}

bool QuotaAlertState::save(const std::string& path) const {
    PropertyList stored;
    if (periodStart_) stored.setInteger(kPeriodStartKey, static_cast<std::int64_t>(*periodStart_));
    for (int percent : announced_) stored.setInteger(kAnnouncedPrefix + std::to_string(percent), 1);
    return stored.writeToFile(path);
}

std::string QuotaAlertState::defaultPath() { return DevicePaths::dataDirectory() + "/quotaalerts.plist"; }

std::set<int> QuotaAlertState::announcedIn(std::time_t periodStart) const {
    if (!periodStart_ || *periodStart_ != periodStart) return {};
    return announced_;
}
