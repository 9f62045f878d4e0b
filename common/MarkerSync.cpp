#include "common/MarkerSync.h"
#include "platform/ProgramLog.h"

#include "platform/DataLock.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "common/SmsHelper.h"
#include "platform/DevicePaths.h"
#include "platform/TerminalText.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// The stored marker for the newest date copied: one second later,
// saturating at the end of the range.
std::int64_t markerAfter(std::int64_t newest) { return newest == INT64_MAX ? INT64_MAX : newest + 1; }

}  // namespace

MarkerSync::Outcome MarkerSync::syncWithStoredMarkers() {
    DataLock lock;
    Outcome outcome;
    const auto settings = SettingsStore::load();
    if (!settings) return outcome;

    std::vector<std::int64_t> markers;
    outcome.status = SmsHelper::copyRMessagesFrom(SettingsStore::lastSyncReceived(&*settings),
                                                  SettingsStore::lastSyncSent(&*settings), markers);
    outcome.ran = true;
    const bool stored = SettingsStore::update([&](PropertyList& stored) {
        stored.setInteger(SettingsKeys::kLastSyncReceived, markerAfter(markers.at(0)));
        stored.setInteger(SettingsKeys::kLastSyncSent, markerAfter(markers.at(1)));
    });
    // The counter database holds its own copy of the markers, so nothing is
    // copied twice; the settings file catches up with the next sync.
    if (!stored)
        ProgramLog::print("the sync markers could not be written to %s\n",
                          TerminalText::safe(DevicePaths::settingsFile()).c_str());
    return outcome;
}

bool MarkerSync::resetMarkers() {
    return SettingsStore::update([](PropertyList& stored) {
        stored.setInteger(SettingsKeys::kLastSyncReceived, 0);
        stored.setInteger(SettingsKeys::kLastSyncSent, 0);
    });
}

MarkerSync::ClearOutcome MarkerSync::clearAndResync() {
    DataLock lock;
    ClearOutcome outcome;
    if (!resetMarkers() || !SmsHelper::clearDB()) return outcome;
    outcome.cleared = true;
    outcome.sync = syncWithStoredMarkers();
    return outcome;
}
