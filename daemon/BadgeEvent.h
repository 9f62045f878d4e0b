#pragma once

#include "common/BadgeType.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class Person;
class PropertyList;

// What the daemon does for one message notification (and once at start):
// wait for the phone to finish writing, copy what is new into the counter
// database, and set the icon badge to the count the settings ask for. The
// waiting, the badge and the clock come in as hooks, so the logic runs and is
// tested without a bus or an event loop.
class BadgeEvent {
public:
    static constexpr auto kReceivedWait = std::chrono::seconds(2);
    // The phone writes a sent message in several steps; give it a minute.
    static constexpr auto kSentWait = std::chrono::seconds(60);
    // The event after a new backup went into the device root: its sms.db
    // is complete, so nothing is waited for.
    static constexpr const char* kBackupImportedEvent = "BackupImported";

    // What an event read and counted, for whatever follows the badge.
    struct Reading {
        const PropertyList* settings = nullptr;  // null without a readable file
        BadgeType badgeType = kDefaultBadgeType;
        int quota = 0;
        std::time_t periodStart = 0;
        const std::vector<Person>* excluded = nullptr;
        std::optional<int> badgeValue;  // none when the badge is off or its count failed
    };

    struct Hooks {
        // Waits that long; false when the daemon is being stopped, and the
        // event then ends before touching anything.
        std::function<bool(std::chrono::milliseconds)> wait;
        // Shows the value on the app's icon (updateBadgeForID).
        std::function<void(int value)> setBadge;
        std::function<std::time_t()> now;
        // Says what keeps the event from doing its work (no settings file to
        // keep the markers in, a counter database that cannot be read).
        std::function<void(const std::string& problem)> warn;
        // Runs after the badge is set (also with the badge off); may be empty.
        std::function<void(const Reading&)> afterBadge = {};
    };

    explicit BadgeEvent(Hooks hooks) : hooks_(std::move(hooks)) {}

    // The notification callback; `name` is empty for the run at start-up.
    // False when the event ended early because the daemon is stopping.
    bool CTSMSEvent(const std::string& name);

    static std::chrono::milliseconds waitFor(const std::string& name);

private:
    BadgeType badgeTypeStoringDefault(const PropertyList* settings) const;

    Hooks hooks_;
};
