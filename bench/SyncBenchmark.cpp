// brindlex-sync-bench [--messages N] [--runs R] [--data DIR]
//
// Measures the sync on a generated sms.db of both schemas against the
// sqlite3 command line working on the same file, and reports ratios:
//   first sync (markers 0)       / sqlite3 ATTACH + INSERT ... SELECT into a seeded counter database
//   incremental sync, 10 new     / sqlite3 running the read statement's scan over sms.db
// for the schema before 6.0, for 6.x, and for a phone of today (17.1: chats,
// nanoseconds, attributedBody, group chats and tapbacks).
//   peak resident memory of the first sync
// Each figure is the median of R runs; every run is a fresh process, as the
// app and the daemon are. The generated files are kept under DIR and reused.
#include "bench/BenchDevice.h"
#include "bench/BenchReport.h"
#include "common/MarkerSync.h"
#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "common/SmsReader.h"
#include "platform/SqliteDatabase.h"
#include "platform/SystemVersion.h"
#include "platform/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/TrafficGenerator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

using BenchReport::ProcessRun;
using BenchReport::runProcess;

namespace {

constexpr std::int64_t kStart = BenchDevice::kFrom;
constexpr int kDefaultRuns = 3;
constexpr std::size_t kDefaultMessages = 1000000;

double median(std::vector<double> values) { return BenchReport::summaryOf(std::move(values)).median; }

std::string selfPath() { return fs::read_symlink("/proc/self/exe").string(); }

// A fresh seeded counter database and settings file with markers 0.
void resetCounterStore() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        fs::remove(PhoneProfile::find().counterDatabase() + suffix);
    fs::remove(DevicePaths::settingsFile());
    Seeding::copyIfNeeded();
}

// The generated traffic as a phone of today stores it: every sent message
// reached through its chat (handle_id 0), 5 % of the messages in one of a few
// group chats, 10 % with the body only in attributedBody (the rest with both
// columns, as phones write them), and 3 % tapbacks on an earlier message.
std::vector<ModernMessage> modernTraffic(const std::vector<FixtureMessage>& messages, std::size_t first) {
    static const std::vector<FixtureChat> groups = {
        FixtureChat::groupOf({"+14155550201", "+14155550202", "+14155550203"}),
        FixtureChat::groupOf({"+14155550204", "+14155550205"}),
        FixtureChat::groupOf({"+14155550201", "+14155550206", "+14155550207", "+14155550208"}),
    };
    std::vector<ModernMessage> out;
    out.reserve(messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const FixtureMessage& m = messages[i];
        const std::size_t n = first + i;
        ModernMessage row = m.sent ? ModernMessage::sentTo(m.address, m.text, m.unixDate)
                                   : ModernMessage::received(m.address, m.text, m.unixDate);
        row.service = m.service;
        row.chat.service = m.service;
        if (n % 100 < 5) {
            row.chat = groups[n % groups.size()];
            row.sender = row.chat.members.back();
        }
        if (n % 10 == 3 && m.text) row.body = BodyStorage::AttributedBodyOnly;
        if (n % 100 >= 50 && n % 100 < 53) row.associatedMessageType = 2001;
        out.push_back(std::move(row));
    }
    return out;
}

// `count` generated messages in the current sms.db, in batches that keep the
// generator's memory small.
bool generateMessages(std::size_t count) {
    std::printf("  generating %zu messages in %s ...\n", count, DevicePaths::smsDatabase().c_str());
    std::fflush(stdout);
    TrafficOptions traffic;
    traffic.fromDate = kStart;
    traffic.toDate = kStart + 3 * 365 * 86400;
    traffic.nonSmsShare = 0.02;
    TrafficGenerator generator(traffic);
    SmsDatabaseFixture sms(DevicePaths::smsDatabase());
    const bool modern = sms.detectColumnSet().value_or(SmsColumnSet::Ios6) != SmsColumnSet::Ios6;
    for (std::size_t stored = 0; stored < count;) {
        const std::size_t batch = std::min<std::size_t>(100000, count - stored);
        const auto messages = generator.generate(batch);
        if (!(modern ? sms.storeModernMessages(modernTraffic(messages, stored)) : sms.storeMessages(messages))) {
            std::fprintf(stderr, "cannot store messages: %s\n", sms.lastError().c_str());
            return false;
        }
        stored += batch;
    }
    return true;
}

bool prepareSmsDatabase(std::size_t messages, const std::string& root, const std::string& version) {
    std::string error;
    const bool ready = BenchDevice::generateOnce(
        root, version, ".generated-" + std::to_string(messages), [messages] { return generateMessages(messages); },
        &error);
    if (!error.empty()) std::fprintf(stderr, "cannot create %s: %s\n", root.c_str(), error.c_str());
    return ready;
}

// The same joins, filters and date conversion as the sync's reader of a
// modern file, in one INSERT ... SELECT (it cannot read attributedBody, so
// those bodies stay NULL: the floor does less than the sync).
std::string modernFloorCopySql() {
    const std::string smsPath = DevicePaths::smsDatabase();
    const std::string segments = "CASE WHEN m.text IS NULL THEN 0 ELSE max(1, (length(m.text) + 159) / 160) END";
    return "ATTACH '" + smsPath +
           "' AS p; BEGIN; INSERT INTO message (address, date, text, flags, smscount, type) "
           "SELECT COALESCE(h.id, r.id), (CASE WHEN m.date > 100000000000 THEN m.date / 1000000000 ELSE m.date END) "
           "+ 978307200, m.text, CASE m.is_from_me WHEN 0 THEN 2 ELSE 3 END, " +
           segments +
           ", COALESCE(m.service, h.service, r.service, c.service_name) "
           "FROM p.message m LEFT JOIN p.handle h ON m.handle_id > 0 AND h.ROWID = m.handle_id "
           "LEFT JOIN p.chat c ON h.ROWID IS NULL AND c.ROWID = (SELECT MIN(j.chat_id) FROM p.chat_message_join j "
           "WHERE j.message_id = m.ROWID) LEFT JOIN p.chat_handle_join ch ON ch.chat_id = c.ROWID "
           "LEFT JOIN p.handle r ON r.ROWID = ch.handle_id "
           "WHERE m.is_from_me IN (0, 1) AND COALESCE(m.associated_message_type, 0) IN (0, 2, 3) "
           "AND COALESCE(m.item_type, 0) = 0 AND NOT (m.is_from_me = 1 AND COALESCE(m.error, 0) <> 0) "
           "AND COALESCE(h.id, r.id) <> '' AND m.date <> 0 ORDER BY m.ROWID; COMMIT;";
}

std::string floorCopySql(bool sixOrLater) {
    const std::string smsPath = DevicePaths::smsDatabase();
    const std::string segments = "CASE WHEN text IS NULL THEN 0 ELSE max(1, (length(text) + 159) / 160) END";
    if (!sixOrLater)
        return "ATTACH '" + smsPath +
               "' AS p; BEGIN; INSERT INTO message (address, date, text, flags, smscount) "
               "SELECT address, date, text, flags, " +
               segments +
               " FROM p.message "
               "WHERE ((date >= 0 AND flags = 3) OR (date >= 0 AND flags = 2)) AND address <> '' ORDER BY ROWID; "
               "COMMIT;";
    return "ATTACH '" + smsPath +
           "' AS p; BEGIN; INSERT INTO message (address, date, text, flags, smscount, type) "
           "SELECT h.id, m.date + 978307200, m.text, CASE m.is_from_me WHEN 0 THEN 2 ELSE 3 END, " +
           segments +
           ", m.service FROM p.message m, p.handle h WHERE h.rowid = m.handle_id AND m.is_from_me IN (0, 1) "
           "AND m.date >= (0 - 978307200) AND h.id <> '' ORDER BY m.rowid; COMMIT;";
}

// sqlite3 running the sync's own read statement over sms.db, from the
// ROWID the sync starts after (INT64_MIN: the whole file).
std::vector<std::string> floorScanCommand(const std::string& version, std::int64_t afterRowid) {
    SqliteDatabase sms;
    std::optional<std::string> statement;
    if (sms.open(DevicePaths::smsDatabase(), SqliteDatabase::Mode::ReadOnly))
        statement = SmsReader::readStatement(sms, version);
    return {"sqlite3", "-batch", DevicePaths::smsDatabase(), ".param set ?1 " + std::to_string(afterRowid),
            statement.value_or("select 1") + ";"};
}

long long counterRowCount() {
    SqliteDatabase db;
    SqliteStatement count;
    if (!BenchDevice::prepareOnCounter(db, count, "select count(*) from message")) return -1;
    return count.step() == SqliteStatement::Step::Row ? count.columnInt(0) : -1;
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
    return outcome.ran && outcome.status == SyncStatus::Ok ? 0 : 1;
}

double reportedPeakMegabytes(const std::string& reportPath) {
    long kilobytes = -1;
    if (std::FILE* report = std::fopen(reportPath.c_str(), "r")) {
        if (std::fscanf(report, "%ld", &kilobytes) != 1) kilobytes = -1;
        std::fclose(report);
    }
    return static_cast<double>(kilobytes) / 1024.0;
}

bool benchSchema(const BenchReport::Arguments& options, const char* label, const std::string& version,
                 bool modern = false) {
    const std::string root = BenchDevice::enter(options.data, label);
    const std::size_t messages = options.messages.value_or(kDefaultMessages);
    std::printf("%s schema (system version %s)\n", label, version.c_str());
    if (!prepareSmsDatabase(messages, root, version)) return false;

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
        const ProcessRun sqlite =
            runProcess({"sqlite3", "-batch", PhoneProfile::find().counterDatabase(),
                        modern ? modernFloorCopySql() : floorCopySql(SystemVersion::isSixOrLater(version))},
                       true);
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
        // The floor: one plain scan of what the phone holds.
        const ProcessRun sqlite = runProcess(floorScanCommand(version, INT64_MIN), true);
        const ProcessRun sync = runProcess({selfPath(), "--sync-once"}, true);
        if (!sqlite.ok || !sync.ok) return false;
        scan.push_back(sqlite.seconds);
        incremental.push_back(sync.seconds);
    }

    const double first = median(ours), firstFloor = median(floor);
    const double inc = median(incremental), incFloor = median(scan);
    std::printf("  rows copied by the first sync: %lld of %zu messages\n", copied, messages);
    BenchReport::printRatioBeside({"first sync", first, firstFloor, modern ? 2.0 : 1.5}, "sqlite3 INSERT...SELECT");
    BenchReport::printRatioBeside({"incremental (10)", inc, incFloor, 1.2}, "sqlite3 read scan");
    std::printf("  peak resident memory of the first sync: %.1f MB (target <= 50 MB)\n", median(peak));
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // The measured syncs: this program started again, alone in its process.
    if (argc > 1 && std::string(argv[1]) == "--sync-once") return syncOnce(argc > 2 ? argv[2] : nullptr);
    BenchReport::Arguments defaults;
    defaults.runs = kDefaultRuns;
    defaults.messages = kDefaultMessages;
    const auto options = BenchReport::parseArguments(argc, argv, "brindlex-sync-bench", defaults);
    if (!options) return 2;
    std::printf("Sync benchmark: %zu messages, median of %d runs\n", options->messages.value_or(kDefaultMessages),
                options->runs);
    const bool ok = benchSchema(*options, "old", "5.1.1") && benchSchema(*options, "new", "6.1.3") &&
                    benchSchema(*options, "modern", "17.1", true);
    return ok ? 0 : 1;
}
