// The settings file and SystemVersion.plist as the programs read them, from
// arbitrary bytes: every typed reader answers within its range, a dictionary
// that was read is written back and reads the same, and the system version
// is never empty.

#include "common/PhoneProfile.h"
#include "common/SettingsStore.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/ScratchDeviceRoot.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "platform/SystemVersion.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

void checkSettings(const PropertyList* settings) {
    const int badge = static_cast<int>(SettingsStore::badgeType(settings));
    FUZZ_CHECK(badge >= 0 && badge <= 6, "the badge type is one of the seven");
    const int type = static_cast<int>(SettingsStore::messageType(settings));
    FUZZ_CHECK(type >= 0 && type <= 2, "the message type is one of the three");
    SettingsStore::smsquota(settings);
    SettingsStore::cycleDay(settings);
    SettingsStore::cycleMode(settings);
    SettingsStore::lastFromDate(settings);
    SettingsStore::lastRecordNumber(settings);
    SettingsStore::hideSMS(settings);
    SettingsStore::lastSyncReceived(settings);
    SettingsStore::lastSyncSent(settings);
    const auto ids = SettingsStore::excludedPersonIds(settings);
    const auto numbers = SettingsStore::excludedNumbers(settings);
    FUZZ_CHECK(numbers.size() <= static_cast<std::size_t>(std::max(0, SettingsStore::excludedNumberCount(settings))),
               "no more excluded numbers than the count says");
}

void checkRoundTrip(const PropertyList& settings, const std::string& root) {
    const std::string copy = root + "/roundtrip.plist";
    FUZZ_CHECK(settings.writeToFile(copy), "a dictionary that was read can be written");
    const auto again = PropertyList::readFromFile(copy);
    FUZZ_CHECK(again.has_value(), "what was written reads back");
    FUZZ_CHECK(again->toXml() == settings.toXml(), "and reads back the same");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& root = ScratchDeviceRoot::instance("6.1.3");

    ScratchDeviceRoot::writeFile(DevicePaths::settingsFile(), data, size);
    const auto settings = SettingsStore::load();
    checkSettings(settings ? &*settings : nullptr);
    if (settings) checkRoundTrip(*settings, root);

    ScratchDeviceRoot::writeFile(DevicePaths::systemVersionPlist(), data, size);
    const std::string version = SystemVersion::systemVersion();
    FUZZ_CHECK(!version.empty(), "a system version is never empty");
    FUZZ_CHECK(SystemVersion::isSixOrLater(version) == (SystemVersion::leadingNumber(version) >= 6.0f),
               "the schema follows the leading number");
    PhoneProfile::find().counterDatabase();
    return 0;
}
