// brindlex-chart-bench [--data DIR] [--runs R]
//
// The data behind the chart and the monthly report on a counter database of
// 200,000 messages from 2,000 addresses, with an address book of 1,500
// contacts whose numbers are written differently from the messages'
// addresses (built as brindlex-count-bench builds its data, in a folder of
// its own), against floors run in the same process on the same rows:
//   chart data (both directions)  / one GROUP BY address statement over the period
//   report data                   / one GROUP BY month statement over the period
// The chart data is what the main screen computes before it draws: the
// per-person counts and the period's total with its records. The report data
// is the period's records of both directions sorted by date and summed month
// by month. Every figure is the median of R runs after one warm-up run.
#include "app/charts/ChartData.h"
#include "app/charts/MonthlyReport.h"
#include "common/Person.h"
#include "common/Seeding.h"
#include "common/SmsHelper.h"
#include "common/SqliteDatabase.h"
#include "common/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/TrafficGenerator.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMessages = 200000;
constexpr std::size_t kAddresses = 2000;
constexpr std::size_t kContacts = 1500;
constexpr std::int64_t kFrom = 1262304000;  // 2010-01-01
constexpr std::int64_t kTo = kFrom + 2 * 365 * 86400;

std::string lineDigits(std::size_t index) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03zu%04zu", 200 + index / 10000, index % 10000);
    return digits;
}

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

bool buildDevice(const std::string& root, const std::string& version) {
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
    std::vector<int> markers;
    if (SmsHelper::copyRMessagesFrom(0, 0, markers) != 0) return false;
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

void report(const char* what, double ours, double floor, double target) {
    std::printf("  %-34s %8.4f s / %8.4f s = %5.2f (target <= %.0f)\n", what, ours, floor, ours / floor, target);
}

bool benchSchema(const std::string& dataDir, const char* label, const std::string& version, int runs) {
    const std::string root = fs::absolute(dataDir).string() + "/" + label;
    ::setenv("BRINDLEX_DEVICE_ROOT", root.c_str(), 1);
    std::printf("%s schema (system version %s), %zu messages, %zu addresses, %zu contacts\n", label,
                version.c_str(), kMessages, kAddresses, kContacts);
    if (!buildDevice(root, version)) {
        std::fprintf(stderr, "cannot build the benchmark device in %s\n", root.c_str());
        return false;
    }
    const std::string sms = SystemVersion::usesNewSchema(version) ? "type = 'SMS' AND " : "";
    const std::vector<Person> noExclusions;
    const SmsHelper::Bound from = kFrom, to = kTo;

    const double groupByAddress = secondsOf(
        [&] {
            plainScan("select address, sum(smscount) from message where " + sms +
                          "(flags = 2 OR flags = 3) and date >= ? and date <= ? group by address", 2);
        },
        runs);
    std::size_t persons = 0;
    const double chart = secondsOf(
        [&] {
            std::vector<Person> people;
            std::vector<double> counts;
            std::vector<Sms> records;
            ChartData::generate(from, to, 0, noExclusions, people, counts, records);
            persons = people.size();
        },
        runs);
    report("chart data, both directions", chart, groupByAddress, 5);

    const double groupByMonth = secondsOf(
        [&] {
            plainScan("select strftime('%Y-%m', date, 'unixepoch', 'localtime') as month, "
                      "sum(case when flags = 2 then smscount else 0 end), "
                      "sum(case when flags = 3 then smscount else 0 end) from message where " + sms +
                          "(flags = 2 OR flags = 3) and date >= ? and date <= ? group by month", 2);
        },
        runs);
    std::size_t months = 0;
    const double reportData = secondsOf(
        [&] { months = MonthlyReport::months(MonthlyReport::records(from, to, noExclusions)).size(); }, runs);
    report("report data", reportData, groupByMonth, 5);
    std::printf("  (%zu persons in the chart, %zu months in the report)\n", persons, months);
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string data = "build/bench-data";
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 < argc && arg == "--data") {
            data = argv[++i];
        } else if (i + 1 < argc && arg == "--runs") {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: brindlex-chart-bench [--data DIR] [--runs R]\n");
            return 2;
        }
    }
    const bool ok =
        benchSchema(data + "/charts", "new", "6.1.3", runs) && benchSchema(data + "/charts", "old", "5.1.1", runs);
    return ok ? 0 : 1;
}
