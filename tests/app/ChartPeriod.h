#pragma once

#include <ctime>

// The period the chart screens are counted over: 1 to 20 March 2013, UTC,
// and a moment inside it for the traffic.
constexpr std::time_t kMarch1 = 1362096000;   // 2013-03-01 00:00 UTC
constexpr std::time_t kMarch20 = 1363823999;  // 2013-03-20 23:59:59 UTC
constexpr std::time_t kMarch5 = 1362477600;   // 2013-03-05 10:00 UTC
