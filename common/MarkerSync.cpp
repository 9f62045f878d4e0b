#include "common/MarkerSync.h"
#include "platform/ProgramLog.h"

#include "platform/DataLock.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "common/CounterMarkers.h"
#include "common/CounterStore.h"
#include "platform/DevicePaths.h"
#include "platform/TerminalText.h"

#include <cstdint>
#include <cstdio>
#include <vector>

MarkerSync::Outcome MarkerSync::syncWithStoredMarkers() {
    DataLock lock;
    Outcome outcome;
    const auto settings = SettingsStore::load();
    if (!settings) return outcome;

    std::vector<std::int64_t> markers;
    outcome.status = CounterStore::forCurrentPhone().copyRMessagesFrom(
        SettingsStore::lastSyncReceived(&*settings), SettingsStore::lastSyncSent(&*settings), markers);
    outcome.ran = true;
    const bool stored = SettingsStore::update([&](PropertyList& stored) {
        stored.setInteger(SettingsKeys::kLastSyncReceived, CounterMarkers::after(markers.at(0)));
        stored.setInteger(SettingsKeys::kLastSyncSent, CounterMarkers::after(markers.at(1)));
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
    if (!resetMarkers() || !CounterStore::forCurrentPhone().clearDB()) return outcome;
    outcome.cleared = true;
    outcome.sync = syncWithStoredMarkers();
    return outcome;
}
