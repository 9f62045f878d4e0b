#include "daemon/BadgeEvent.h"

#include "common/BillingPeriod.h"
#include "common/ExclusionList.h"
#include "common/MarkerSync.h"
#include "common/Person.h"
#include "common/PhoneProfile.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "common/CounterStore.h"
#include "platform/DevicePaths.h"

#include <sys/stat.h>

namespace {

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

std::chrono::milliseconds BadgeEvent::waitFor(const std::string& name) {
    if (name == kBackupImportedEvent) return std::chrono::milliseconds(0);
    return name == "kCTMessageSentNotification" ? kSentWait : kReceivedWait;
}

bool BadgeEvent::CTSMSEvent(const std::string& name) {
    // Seeding runs only at start; without a counter database there is
    // nothing to copy into and nothing to count.
    if (!fileExists(PhoneProfile::find().counterDatabase())) return true;
    if (!hooks_.wait(waitFor(name))) return false;

    const MarkerSync::Outcome sync = MarkerSync::syncWithStoredMarkers();
    if (!sync.ran)
        hooks_.warn("cannot read the settings file " + DevicePaths::settingsFile() +
                    "; new messages are not copied until it can be read");

    // Read after the sync: the markers are the only keys the sync changed.
    const auto settings = SettingsStore::load();
    const PropertyList* values = settings ? &*settings : nullptr;
    const BadgeType badgeType = badgeTypeStoringDefault(values);
    const int quota = SettingsStore::smsquota(values);
    if (badgeType == BadgeType::Off && !hooks_.afterBadge) return true;

    const std::vector<Person> excluded = ExclusionList::fromSettings(values);
    const std::time_t start = BillingPeriod::daemonPeriodStart(values, hooks_.now());
    std::optional<int> badge;
    if (badgeType != BadgeType::Off) {
        const Counted<int> count = CounterStore::forCurrentPhone().countBadgeFrom(start, &excluded, badgeType, quota);
        if (count) {
            badge = count.value();
            hooks_.setBadge(*badge);
        } else {
            // The badge keeps the last number that was counted: a 0 or a -1
            // in its place would look like a count.
            hooks_.warn(count.failure() + "; the badge keeps its last value");
        }
    }
    if (hooks_.afterBadge) hooks_.afterBadge(Reading{values, badgeType, quota, start, &excluded, badge});
    return true;
}

BadgeType BadgeEvent::badgeTypeStoringDefault(const PropertyList* settings) const {
    if (SettingsStore::hasBadgeType(settings)) return SettingsStore::badgeType(settings);
    // The first event after installation records the default, so the app
    // shows the same choice the badge follows.
    SettingsStore::update([](PropertyList& stored) {
        if (!stored.contains(SettingsKeys::kBadgeType)) SettingsStore::setBadgeType(stored, kDefaultBadgeType);
    });
    return kDefaultBadgeType;
}
