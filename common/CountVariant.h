#pragma once

// Which rows of a counter database are text messages the carrier billed.
// A counter database of a phone before 6.0 holds nothing else; from 6.0 on
// it also holds the phone's own messaging service, and only rows of the
// service "SMS" count.
enum class CountVariant {
    EveryRow,
    SmsServiceOnly,
};
