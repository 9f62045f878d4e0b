#pragma once

#include "common/Direction.h"

#include <span>

// Which messages the main screen counts, and its chart and list show. The
// numbers are the settings file's: it stores them as the strings "0", "1"
// and "2" under "messagetype" (SettingsStore reads and writes them).
enum class MessageType { Both = 0, Received = 1, Sent = 2 };

// The one place that turns a message type into the directions to count, in
// the order their records are gathered: Received or Sent alone, or, for Both
// (and any value other than Received and Sent), `firstOfBoth` and then the
// other. The main screen's total, the chart data and the report all count
// through it; the first gathers received first, the other two sent first.
inline std::span<const Direction> countedDirections(MessageType type, Direction firstOfBoth) {
    static constexpr Direction kReceived[] = {Direction::Received};
    static constexpr Direction kSent[] = {Direction::Sent};
    static constexpr Direction kReceivedThenSent[] = {Direction::Received, Direction::Sent};
    static constexpr Direction kSentThenReceived[] = {Direction::Sent, Direction::Received};
    switch (type) {
    case MessageType::Received: return kReceived;
    case MessageType::Sent: return kSent;
    default:
        if (firstOfBoth == Direction::Sent) return kSentThenReceived;
        return kReceivedThenSent;
    }
}
