#pragma once

#include <cstdint>
#include <optional>

// The direction of one message. The numbers are those the counter database
// stores in `flags` (and keys its copy of the sync markers by); they are part
// of the file format.
enum class Direction { Received = 2, Sent = 3 };

// The stored value.
constexpr int flagsOf(Direction direction) { return static_cast<int>(direction); }

// The direction a stored `flags` value stands for; nothing for any other
// value (sms.db has other states than these two).
constexpr std::optional<Direction> directionOfFlags(std::int64_t flags) {
    if (flags == flagsOf(Direction::Received)) return Direction::Received;
    if (flags == flagsOf(Direction::Sent)) return Direction::Sent;
    return std::nullopt;
}
