#pragma once

#include "common/MessageType.h"

// What the app's icon badge shows. The numbers are the settings file's
// ("badgetype", an integer); a value outside 0 to 6 read from the file is
// kept as it is and written back unchanged, and counts like Both.
enum class BadgeType {
    Both = 0,
    Received = 1,
    Sent = 2,
    Off = 3,  // no badge; counts like Both where a count is asked for anyway
    QuotaLeftOfBoth = 4,
    QuotaLeftOfReceived = 5,
    QuotaLeftOfSent = 6,
};

// The badge type of a settings file without the key.
inline constexpr BadgeType kDefaultBadgeType = BadgeType::Sent;

constexpr int storedValue(BadgeType type) { return static_cast<int>(type); }
constexpr BadgeType badgeTypeOfStored(int value) { return static_cast<BadgeType>(value); }

// The badge shows the quota minus the segments rather than the segments.
constexpr bool showsQuotaLeft(BadgeType type) {
    return type == BadgeType::QuotaLeftOfBoth || type == BadgeType::QuotaLeftOfReceived ||
           type == BadgeType::QuotaLeftOfSent;
}

// The messages whose segments the badge counts.
constexpr MessageType countedMessages(BadgeType type) {
    switch (type) {
    case BadgeType::Received:
    case BadgeType::QuotaLeftOfReceived: return MessageType::Received;
    case BadgeType::Sent:
    case BadgeType::QuotaLeftOfSent: return MessageType::Sent;
    default: return MessageType::Both;
    }
}
