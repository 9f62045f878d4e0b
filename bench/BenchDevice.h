#pragma once

// The device the counting, chart, report and stall benchmarks share: 200,000
// messages from 2,000 addresses (bodies and dates from the traffic
// generator), an address book of 1,500 contacts whose numbers are typed
// differently from the messages' addresses, synced as the programs do. Also
// the steps every benchmark device goes through: made current, generated
// once and reused, read back through plain statements.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class SqliteDatabase;
class SqliteStatement;

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

// Makes DATADIR/LABEL, as an absolute path, the current device root
// (BRINDLEX_DEVICE_ROOT) and returns it.
std::string enter(const std::string& dataDir, const std::string& label);
// Creates the device root `root` of `version` and has `fill` fill it, unless
// an earlier run got that far: its mark `mark` in the root says so. Anything
// less is thrown away and started afresh. `error` says why the root could not
// be created.
bool generateOnce(const std::string& root, const std::string& version, const std::string& mark,
                  const std::function<bool()>& fill, std::string* error = nullptr);
// Builds the device under `root`, the current root, once; later calls reuse
// it. Says so on standard error when it cannot.
bool build(const std::string& root, const std::string& version);
// The whole of a benchmark that measures on this device: reads the options
// [--data DIR] [--runs R] of `program`, then runs `bench` on the device of
// each schema (built under DIR/`folder` when missing), the newer first, each
// introduced by a line that names it. Returns the program's exit status.
int runOnEachSchema(int argc, char** argv, const char* program, const std::string& folder,
                    const std::function<void(const std::string& version, int runs)>& bench);

// Prepares `sql` over the current counter database, opened read-only.
bool prepareOnCounter(SqliteDatabase& db, SqliteStatement& statement, const std::string& sql);
// Runs `sql` over the counter database with the period bound to its
// parameters and touches every column of every row.
long long plainScan(const std::string& sql, int parameters);

}  // namespace BenchDevice
