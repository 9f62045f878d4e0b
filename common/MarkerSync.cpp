#include "common/MarkerSync.h"

#include "common/DataLock.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "common/SmsHelper.h"

#include <cstdint>
#include <vector>

MarkerSync::Outcome MarkerSync::syncWithStoredMarkers() {
    DataLock lock;
    Outcome outcome;
    const auto settings = SettingsStore::load();
    if (!settings) return outcome;

    std::vector<int> markers;
    outcome.status = SmsHelper::copyRMessagesFrom(SettingsStore::lastSyncReceived(&*settings),
                                                  SettingsStore::lastSyncSent(&*settings), markers);
    outcome.ran = true;
    SettingsStore::update([&](PropertyList& stored) {
        stored.setInteger(SettingsKeys::kLastSyncReceived, std::int64_t{markers.at(0)} + 1);
        stored.setInteger(SettingsKeys::kLastSyncSent, std::int64_t{markers.at(1)} + 1);
    });
    return outcome;
}

bool MarkerSync::resetMarkers() {
    return SettingsStore::update([](PropertyList& stored) {
        stored.setInteger(SettingsKeys::kLastSyncReceived, 0);
        stored.setInteger(SettingsKeys::kLastSyncSent, 0);
    });
}
