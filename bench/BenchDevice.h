#pragma once

// The device the counting, chart and report benchmarks share: 200,000
// messages from 2,000 addresses (bodies and dates from the traffic
// generator), an address book of 1,500 contacts whose numbers are typed
// differently from the messages' addresses, synced as the programs do.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace BenchDevice {

inline constexpr std::size_t kMessages = 200000;
inline constexpr std::size_t kAddresses = 2000;
inline constexpr std::size_t kContacts = 1500;
inline constexpr std::int64_t kFrom = 1262304000;  // 2010-01-01
inline constexpr std::int64_t kTo = kFrom + 2 * 365 * 86400;

// The address as the messages carry it, in the formats carriers deliver.
std::string messageAddress(std::size_t index);
// The same number as a person types it into the address book.
std::string typedNumber(std::size_t index);
// Builds the device under `root` once; later calls reuse it. The device
// root must already be the current one (BRINDLEX_DEVICE_ROOT).
bool build(const std::string& root, const std::string& version);
struct Arguments {
    std::string data = "build/bench-data";
    int runs = 5;
};
// Reads [--data DIR] [--runs R]; nothing (after printing the usage of
// `program`) for anything else.
std::optional<Arguments> parseArguments(int argc, char** argv, const char* program);

// Median of `runs` timings after one warm-up run, in seconds.
double secondsOf(const std::function<void()>& work, int runs);
// Runs `sql` over the counter database with the period bound to its
// parameters and touches every column of every row.
long long plainScan(const std::string& sql, int parameters);

}  // namespace BenchDevice
