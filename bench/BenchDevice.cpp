#include "bench/BenchDevice.h"

#include "common/MarkerSync.h"
#include "common/Seeding.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/TrafficGenerator.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace BenchDevice {

namespace {

std::string lineDigits(std::size_t index) {
    char digits[48];
    std::snprintf(digits, sizeof digits, "%03zu%04zu", 200 + index / 10000, index % 10000);
    return digits;
}

}  // namespace

// The address as the messages carry it, in the formats carriers deliver.
std::string messageAddress(std::size_t index) {
    const std::string line = lineDigits(index);
    switch (index % 3) {
    case 0: return "+1415" + line;
    case 1: return "415" + line;
    default: return "+1 (415) " + line.substr(0, 3) + "-" + line.substr(3);
    }
}

// The same number as a person types it into the address book.
std::string typedNumber(std::size_t index) {
    const std::string line = lineDigits(index);
    return index % 2 == 0 ? "(415) " + line.substr(0, 3) + "-" + line.substr(3) : "+1 415 " + line;
}

bool build(const std::string& root, const std::string& version) {
    const std::string done = root + "/.generated";
    if (fs::exists(done)) return true;
    fs::remove_all(root);
    if (!DeviceFixture::createDeviceRoot(root, version)) return false;

    // Bodies and dates from the traffic generator, addresses spread over
    // 2,000 correspondents with a few much more active than the rest.
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
    if (!SmsDatabaseFixture(DevicePaths::smsDatabase()).storeMessages(messages)) return false;

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

    Seeding::copyIfNeeded();
    // Synced as the programs do, markers stored, so an app or daemon started
    // on this device later copies nothing twice.
    const MarkerSync::Outcome sync = MarkerSync::syncWithStoredMarkers();
    if (!sync.ran || sync.status != SyncStatus::Ok) return false;
    std::fclose(std::fopen(done.c_str(), "w"));
    return true;
}

double secondsOf(const std::function<void()>& work, int runs) {
    work();  // warm-up: caches, the address book's index
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Runs `sql` with the period bound to its parameters and touches every column
// of every row, as a caller that needs the values would.
long long plainScan(const std::string& sql, int parameters) {
    SqliteDatabase db;
    if (!db.open(DevicePaths::counterDatabase(), SqliteDatabase::Mode::ReadOnly)) return -1;
    SqliteStatement statement;
    if (!statement.prepare(db, sql)) return -1;
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

std::optional<Arguments> parseArguments(int argc, char** argv, const char* program) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 < argc && arg == "--data") {
            arguments.data = argv[++i];
        } else if (i + 1 < argc && arg == "--runs") {
            arguments.runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--data DIR] [--runs R]\n", program);
            return std::nullopt;
        }
    }
    return arguments;
}

}  // namespace BenchDevice
