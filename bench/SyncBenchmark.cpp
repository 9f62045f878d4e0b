// brindlex-sync-bench [--messages N] [--runs R] [--data DIR]
//
// Measures the sync on a generated sms.db of both schemas against the
// sqlite3 command line working on the same file, and reports ratios:
//   first sync (markers 0)       / sqlite3 ATTACH + INSERT ... SELECT into a seeded counter database
//   incremental sync, 10 new     / sqlite3 running the read statement's scan over sms.db
//   peak resident memory of the first sync
// Each figure is the median of R runs; every run is a fresh process, as the
// app and the daemon are. The generated files are kept under DIR and reused.
#include "common/MarkerSync.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "common/SqliteDatabase.h"
#include "common/SqliteStatement.h"
#include "platform/AppBundle.h"
#include "platform/DevicePaths.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/TrafficGenerator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kStart = 1262304000;  // 2010-01-01

struct Options {
    std::size_t messages = 1000000;
    int runs = 3;
    std::string data = "build/bench-data";
};

struct ProcessRun {
    double seconds = 0;
    bool ok = false;
};

ProcessRun runProcess(const std::vector<std::string>& argv, bool quiet) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    ProcessRun run;
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::string selfPath() { return fs::read_symlink("/proc/self/exe").string(); }

// A fresh seeded counter database and settings file with markers 0.
void resetCounterStore() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(DevicePaths::counterDatabase() + suffix);
    fs::remove(DevicePaths::settingsFile());
    Seeding::copyIfNeeded();
}

bool prepareSmsDatabase(const Options& options, const std::string& root, const std::string& version) {
    const std::string done = root + "/.generated-" + std::to_string(options.messages);
    if (fs::exists(done)) return true;
    fs::remove_all(root);
    std::string error;
    if (!DeviceFixture::createDeviceRoot(root, version, &error)) {
        std::fprintf(stderr, "cannot create %s: %s\n", root.c_str(), error.c_str());
        return false;
    }
    std::printf("  generating %zu messages in %s ...\n", options.messages, DevicePaths::smsDatabase().c_str());
    std::fflush(stdout);
    TrafficOptions traffic;
    traffic.fromDate = kStart;
    traffic.toDate = kStart + 3 * 365 * 86400;
    traffic.nonSmsShare = 0.02;
    TrafficGenerator generator(traffic);
    SmsDatabaseFixture sms(DevicePaths::smsDatabase());
    for (std::size_t stored = 0; stored < options.messages;) {
        const std::size_t batch = std::min<std::size_t>(100000, options.messages - stored);
        if (!sms.storeMessages(generator.generate(batch))) {
            std::fprintf(stderr, "cannot store messages: %s\n", sms.lastError().c_str());
            return false;
        }
        stored += batch;
    }
    std::fclose(std::fopen(done.c_str(), "w"));
    return true;
}

std::string floorCopySql(bool newSchema) {
    const std::string smsPath = DevicePaths::smsDatabase();
    const std::string segments =
        "CASE WHEN text IS NULL THEN 0 ELSE max(1, (length(text) + 159) / 160) END";
    if (!newSchema)
        return "ATTACH '" + smsPath + "' AS p; BEGIN; INSERT INTO message (address, date, text, flags, smscount) "
               "SELECT address, date, text, flags, " + segments + " FROM p.message "
               "WHERE ((date >= 0 AND flags = 3) OR (date >= 0 AND flags = 2)) AND address <> '' ORDER BY ROWID; COMMIT;";
    return "ATTACH '" + smsPath + "' AS p; BEGIN; INSERT INTO message (address, date, text, flags, smscount, type) "
           "SELECT h.id, m.date + 978307200, m.text, CASE m.is_from_me WHEN 0 THEN 2 ELSE 3 END, " + segments +
           ", m.service FROM p.message m, p.handle h WHERE h.rowid = m.handle_id AND m.is_from_me IN (0, 1) "
           "AND m.date >= (0 - 978307200) AND h.id <> '' ORDER BY m.rowid; COMMIT;";
}

// The sync's own read statement with the markers written in.
std::string floorScanSql(bool newSchema, std::int64_t rFrom, std::int64_t sFrom) {
    const std::string s = std::to_string(sFrom), r = std::to_string(rFrom);
    if (!newSchema)
        return "select address, date, text,flags from message where (date >=" + s + " AND flags = 3) OR (date >=" + r +
               " AND flags = 2) order by ROWID asc";
    return "SELECT h.id as address,(date + 978307200) as date, text as text, CASE is_from_me  WHEN 0 THEN 2 WHEN 1 "
           "THEN 3 ELSE 0 END as flags, m.service as type FROM message m, handle h WHERE h.rowid = m.handle_id AND "
           "((m.is_from_me = 1 AND m.date >= (" + s + " - 978307200)) OR (m.is_from_me = 0 AND m.date >= (" + r +
           " - 978307200))) ORDER BY m.rowid ASC";
}

long long counterRowCount() {
    SqliteDatabase db;
    if (!db.open(DevicePaths::counterDatabase(), SqliteDatabase::Mode::ReadOnly)) return -1;
    SqliteStatement count;
    if (!count.prepare(db, "select count(*) from message") || count.step() != SqliteStatement::Step::Row) return -1;
    return count.columnInt(0);
}

// Peak resident memory of this process image, in kB. (ru_maxrss of a
// spawned child would also count the parent's memory from before exec.)
long peakResidentKilobytes() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kilobytes = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kilobytes) == 1) break;
    std::fclose(status);
    return kilobytes;
}

int syncOnce(const char* reportPath) {
    Seeding::copyIfNeeded();
    const MarkerSync::Outcome outcome = MarkerSync::syncWithStoredMarkers();
    if (reportPath) {
        if (std::FILE* report = std::fopen(reportPath, "w")) {
            std::fprintf(report, "%ld\n", peakResidentKilobytes());
            std::fclose(report);
        }
    }
    return outcome.ran && outcome.status == 0 ? 0 : 1;
}

double reportedPeakMegabytes(const std::string& reportPath) {
    long kilobytes = -1;
    if (std::FILE* report = std::fopen(reportPath.c_str(), "r")) {
        if (std::fscanf(report, "%ld", &kilobytes) != 1) kilobytes = -1;
        std::fclose(report);
    }
    return static_cast<double>(kilobytes) / 1024.0;
}

bool benchSchema(const Options& options, const char* label, const std::string& version, bool newSchema) {
    const std::string root = fs::absolute(options.data).string() + "/" + label;
    ::setenv("BRINDLEX_DEVICE_ROOT", root.c_str(), 1);
    std::printf("%s schema (system version %s)\n", label, version.c_str());
    if (!prepareSmsDatabase(options, root, version)) return false;

    std::vector<double> ours, floor, peak;
    long long copied = -1;
    for (int run = 0; run < options.runs; ++run) {
        resetCounterStore();
        const std::string report = root + "/.peak";
        const ProcessRun sync = runProcess({selfPath(), "--sync-once", report}, true);
        if (!sync.ok) return false;
        ours.push_back(sync.seconds);
        peak.push_back(reportedPeakMegabytes(report));
        copied = counterRowCount();

        resetCounterStore();
        const ProcessRun sqlite = runProcess({"sqlite3", "-batch", DevicePaths::counterDatabase(), floorCopySql(newSchema)}, true);
        if (!sqlite.ok) return false;
        floor.push_back(sqlite.seconds);
    }

    // Incremental: the counter store as a first sync left it, 10 new messages.
    resetCounterStore();
    if (!runProcess({selfPath(), "--sync-once"}, true).ok) return false;
    std::vector<double> incremental, scan;
    SmsDatabaseFixture sms(DevicePaths::smsDatabase());
    std::int64_t newest = kStart + 4 * 365 * 86400;
    for (int run = 0; run < options.runs; ++run) {
        for (int i = 0; i < 10; ++i)
            sms.storeMessage(FixtureMessage{"+14155550199", std::string("new message ") + std::to_string(i), ++newest,
                                            i % 2 == 0, "SMS"});
        auto settings = SettingsStore::load();
        const std::int64_t rFrom = SettingsStore::lastSyncReceived(settings ? &*settings : nullptr);
        const std::int64_t sFrom = SettingsStore::lastSyncSent(settings ? &*settings : nullptr);
        const ProcessRun sqlite = runProcess({"sqlite3", "-batch", DevicePaths::smsDatabase(), floorScanSql(newSchema, rFrom, sFrom)}, true);
        const ProcessRun sync = runProcess({selfPath(), "--sync-once"}, true);
        if (!sqlite.ok || !sync.ok) return false;
        scan.push_back(sqlite.seconds);
        incremental.push_back(sync.seconds);
    }

    const double first = median(ours), firstFloor = median(floor);
    const double inc = median(incremental), incFloor = median(scan);
    std::printf("  rows copied by the first sync: %lld of %zu messages\n", copied, options.messages);
    std::printf("  first sync         %7.3f s   sqlite3 INSERT...SELECT %7.3f s   ratio %.2f (target <= 1.5)\n", first,
                firstFloor, first / firstFloor);
    std::printf("  incremental (10)   %7.3f s   sqlite3 read scan       %7.3f s   ratio %.2f (target <= 1.2)\n", inc,
                incFloor, inc / incFloor);
    std::printf("  peak resident memory of the first sync: %.1f MB (target <= 50 MB)\n", median(peak));
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sync-once") return syncOnce(i + 1 < argc ? argv[i + 1] : nullptr);
        if (i + 1 < argc && arg == "--messages") {
            options.messages = std::strtoull(argv[++i], nullptr, 10);
        } else if (i + 1 < argc && arg == "--runs") {
            options.runs = std::max(1, std::atoi(argv[++i]));
        } else if (i + 1 < argc && arg == "--data") {
            options.data = argv[++i];
        } else {
            std::fprintf(stderr, "usage: brindlex-sync-bench [--messages N] [--runs R] [--data DIR]\n");
            return 2;
        }
    }
    std::printf("Sync benchmark: %zu messages, median of %d runs\n", options.messages, options.runs);
    const bool ok = benchSchema(options, "old", "5.1.1", false) && benchSchema(options, "new", "6.1.3", true);
    return ok ? 0 : 1;
}
