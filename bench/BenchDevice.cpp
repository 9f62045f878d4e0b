#include "bench/BenchDevice.h"

#include "bench/BenchReport.h"
#include "common/MarkerSync.h"
#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/TrafficGenerator.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace BenchDevice {

namespace {

std::string lineDigits(std::size_t index) {
    char digits[48];
    std::snprintf(digits, sizeof digits, "%03zu%04zu", 200 + index / 10000, index % 10000);
    return digits;
}

// Bodies and dates from the traffic generator, addresses spread over 2,000
// correspondents with a few much more active than the rest.
bool storeMessages() {
    TrafficOptions traffic;
    traffic.fromDate = kFrom;
    traffic.toDate = kTo;
    traffic.nonSmsShare = 0.02;
    auto messages = TrafficGenerator(traffic).generate(kMessages);
    // Every address writes at least once; half of the rest goes to the 200
    // most active correspondents.
    std::mt19937_64 random(7);
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::size_t index = i < kAddresses ? i : (random() % 2 ? random() % 200 : random() % kAddresses);
        messages[i].address = messageAddress(index);
    }
    return SmsDatabaseFixture(DevicePaths::smsDatabase()).storeMessages(messages);
}

bool storeContacts() {
    AddressBookFixture book(DevicePaths::addressBook());
    if (!book.create()) return false;
    for (std::size_t i = 0; i < kContacts; ++i) {
        std::vector<std::string> numbers{typedNumber(i)};
        // Every fifth contact also owns one of the numbers beyond the first
        // 1,500, so groups merge several addresses into one person.
        if (i % 5 == 0 && kContacts + i / 5 < kAddresses) numbers.push_back(typedNumber(kContacts + i / 5));
        if (book.addContact("First" + std::to_string(i), "Last" + std::to_string(i), std::nullopt, numbers) < 0)
            return false;
    }
    return true;
}

}  // namespace

std::string messageAddress(std::size_t index) {
    const std::string line = lineDigits(index);
    switch (index % 3) {
    case 0: return "+1415" + line;
    case 1: return "415" + line;
    default: return "+1 (415) " + line.substr(0, 3) + "-" + line.substr(3);
    }
}

std::string typedNumber(std::size_t index) {
    const std::string line = lineDigits(index);
    return index % 2 == 0 ? "(415) " + line.substr(0, 3) + "-" + line.substr(3) : "+1 415 " + line;
}

std::string enter(const std::string& dataDir, const std::string& label) {
    const std::string root = fs::absolute(dataDir).string() + "/" + label;
    ::setenv("BRINDLEX_DEVICE_ROOT", root.c_str(), 1);
    return root;
}

bool generateOnce(const std::string& root, const std::string& version, const std::string& mark,
                  const std::function<bool()>& fill, std::string* error) {
    const std::string done = root + "/" + mark;
    if (fs::exists(done)) return true;
    fs::remove_all(root);
    if (!DeviceFixture::createDeviceRoot(root, version, error) || !fill()) return false;
    std::fclose(std::fopen(done.c_str(), "w"));
    return true;
}

bool build(const std::string& root, const std::string& version) {
    const bool built = generateOnce(root, version, ".generated", [] {
        if (!storeMessages() || !storeContacts()) return false;
        Seeding::copyIfNeeded();
        // Synced as the programs do, markers stored, so an app or daemon
        // started on this device later copies nothing twice.
        const MarkerSync::Outcome sync = MarkerSync::syncWithStoredMarkers();
        return sync.ran && sync.status == SyncStatus::Ok;
    });
    if (!built) std::fprintf(stderr, "cannot build the benchmark device in %s\n", root.c_str());
    return built;
}

int runOnEachSchema(int argc, char** argv, const char* program, const std::string& folder,
                    const std::function<void(const std::string& version, int runs)>& bench) {
    const auto arguments = BenchReport::parseArguments(argc, argv, program);
    if (!arguments) return 2;
    for (const auto& [label, version] : {std::pair{"new", "6.1.3"}, std::pair{"old", "5.1.1"}}) {
        const std::string root = enter(arguments->data + folder, label);
        std::printf("%s schema (system version %s), %zu messages, %zu addresses, %zu contacts\n", label, version,
                    kMessages, kAddresses, kContacts);
        if (!build(root, version)) return 1;
        bench(version, arguments->runs);
        std::fflush(stdout);
    }
    return 0;
}

bool prepareOnCounter(SqliteDatabase& db, SqliteStatement& statement, const std::string& sql) {
    return db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly) &&
           statement.prepare(db, sql);
}

// Touches every column of every row, as a caller that needs the values would.
long long plainScan(const std::string& sql, int parameters) {
    SqliteDatabase db;
    SqliteStatement statement;
    if (!prepareOnCounter(db, statement, sql)) return -1;
    statement.bindInt(1, kFrom);
    if (parameters > 1) statement.bindInt(2, kTo);
    long long checksum = 0;
    const int columns = sqlite3_column_count(statement.handle());
    while (statement.step() == SqliteStatement::Step::Row) {
        for (int c = 0; c < columns; ++c) {
            int bytes = 0;
            if (statement.columnText(c, &bytes)) checksum += bytes;
        }
    }
    return checksum;
}

}  // namespace BenchDevice
