// Writes that fail part-way (a full disk, a failing device) and processes
// killed at any moment: the old files stay whole, nothing half-written is
// left in place, and once the disk has room again the next sync copies every
// message exactly once.

#include "FaultRun.h"

#include "app/list/CsvExport.h"
#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <sys/resource.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kFirstDate = 1362517200;  // 2013-03-05

// The folder's file names, without SQLite's lock file of the sync.
std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

struct Copied {
    long long rows = -1;
    long long distinct = -1;
};

// Opened as the next sync opens it: a journal a killed process left hot is
// played back first.
Copied copiedRows() {
    SqliteDatabase db;
    SqliteStatement count;
    Copied copied;
    if (!db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite) ||
        !count.prepare(db,
                       "SELECT count(*), (SELECT count(*) FROM (SELECT DISTINCT address, date, text, flags "
                       "FROM message)) FROM message") ||
        count.step() != SqliteStatement::Step::Row)
        return copied;
    copied.rows = count.columnInt(0);
    copied.distinct = count.columnInt(1);
    return copied;
}

// Opened as the next sync opens it, which rolls back what a failed write left.
bool integrityOk(const std::string& path) {
    SqliteDatabase db;
    SqliteStatement check;
    return db.open(path, SqliteDatabase::Mode::ReadWrite) && check.prepare(db, "PRAGMA integrity_check") &&
           check.step() == SqliteStatement::Step::Row && check.columnString(0) == "ok";
}

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), "17.1")); }

    // `count` messages dated one a second from `first` on.
    void storeMessages(int count, int first = 0) {
        std::vector<FixtureMessage> batch;
        batch.reserve(static_cast<std::size_t>(count));
        for (int i = first; i < first + count; ++i)
            batch.push_back({"+1415555" + std::to_string(1000 + i % 900), "Message number " + std::to_string(i),
                             kFirstDate + i, i % 3 == 0, "SMS"});
        SmsDatabaseFixture sms(DevicePaths::smsDatabase());
        ASSERT_TRUE(sms.storeMessages(batch));
    }

    fault::RunResult ledgerSync(fault::RunOptions options = {}) {
        options.environment["BRINDLEX_DEVICE_ROOT"] = root_.path();
        return fault::run({"brindlex-ledger", "sync"}, options);
    }

    // The daemon with the shim set to kill it just before its `write`th
    // write under the data directory: a crash at a point that is the same
    // every run, whatever the machine's speed.
    fault::RunOptions daemonKilledAtWrite(int write) const {
        fault::RunOptions options = daemonOptions();
        options.environment.insert({{"LD_PRELOAD", fault::binDirectory() + "/../lib/libbrindlex_failing_writes.so"},
                                    {"BRINDLEX_FAIL_UNDER", DevicePaths::dataDirectory()},
                                    {"BRINDLEX_KILL_AT_WRITE", std::to_string(write)}});
        return options;
    }

    // The shim's variables for writes under the data directory failing
    // from the `after`th on.
    fault::RunOptions failingWrites(int after, const char* error, bool fsync) const {
        fault::RunOptions options;
        options.environment = {{"LD_PRELOAD", fault::binDirectory() + "/../lib/libbrindlex_failing_writes.so"},
                               {"BRINDLEX_FAIL_UNDER", DevicePaths::dataDirectory()},
                               {"BRINDLEX_FAIL_AFTER", std::to_string(after)},
                               {"BRINDLEX_FAIL_ERRNO", error},
                               {"BRINDLEX_FAIL_FSYNC", fsync ? "1" : "0"}};
        return options;
    }

    fault::RunOptions daemonOptions() const {
        fault::RunOptions options;
        options.environment["BRINDLEX_DEVICE_ROOT"] = root_.path();
        return options;
    }

    // Starts the daemon and ends it (SIGTERM) once the counter database
    // holds `expected` rows; they must all be different messages.
    void runDaemonUntilCopied(long long expected) {
        fault::Child daemon({"brindlex-badged"}, daemonOptions());
        const bool copiedAll = fault::waitFor([&] { return copiedRows().rows >= expected; }, std::chrono::seconds(240));
        const auto result = daemon.finish(SIGTERM);
        ASSERT_TRUE(copiedAll) << result.stderrText;
        const Copied copied = copiedRows();
        EXPECT_EQ(copied.rows, expected);
        EXPECT_EQ(copied.distinct, expected);
    }

    // What must hold after any failed or killed run. When even the rollback
    // could not write, SQLite leaves its journal hot beside the database;
    // the next connection that may write (the next sync) plays it back, and
    // the database is as it was before the failed transaction.
    void expectWholeFiles(const std::set<std::string>& expectedFiles) {
        const auto settings = PropertyList::readFromFile(DevicePaths::settingsFile());
        ASSERT_TRUE(settings.has_value()) << "the settings file is a complete property list";
        EXPECT_TRUE(integrityOk(PhoneProfile::find().counterDatabase()));
        for (const auto& name : filesIn(DevicePaths::dataDirectory()))
            EXPECT_TRUE(expectedFiles.count(name)) << "left behind: " << name;
        EXPECT_FALSE(fs::exists(PhoneProfile::find().counterDatabase() + "-journal")) << "rolled back on opening";
    }

    TempDeviceRoot root_;
};

const std::set<std::string> kDataFiles = {"properties.plist", "ledgerwick6.db", ".sync.lock"};

// Every write of the sync and of the settings file after it, failing in turn
// with ENOSPC, EIO and a failing fsync: each run says what failed or leaves
// everything copied, and the run after the disk has room again completes the
// copy without a duplicate.
TEST_F(FaultTest, SyncAndSettingsWriteFailingAtEveryWriteCopyEachMessageOnce) {
    storeMessages(3000);
    Seeding::copyIfNeeded();
    ASSERT_TRUE(fs::exists(PhoneProfile::find().counterDatabase()));

    // Each run finds 100 new messages besides whatever earlier runs left.
    int stored = 3000, failures = 0;
    for (const char* error : {"ENOSPC", "EIO"}) {
        for (const int after : {0, 1, 2, 3, 5, 8, 13, 40, 200}) {
            for (const bool fsync : {false, true}) {
                SCOPED_TRACE(std::string(error) + " after " + std::to_string(after) + (fsync ? " +fsync" : ""));
                storeMessages(100, stored);
                stored += 100;
                const auto result = ledgerSync(failingWrites(after, error, fsync));
                expectWholeFiles(kDataFiles);
                const Copied copied = copiedRows();
                EXPECT_EQ(copied.rows, copied.distinct) << "no message copied twice";
                if (copied.rows < stored) {
                    ++failures;
                    EXPECT_NE(result.stderrText.find("brindlex"), std::string::npos)
                        << "a sync that stopped short says why";
                }
            }
        }
    }
    EXPECT_GT(failures, 0) << "the faults reached the sync";
    RecordProperty("runsStoppedShort", failures);
    ASSERT_EQ(ledgerSync().status, 0);
    const Copied copied = copiedRows();
    EXPECT_EQ(copied.rows, stored);
    EXPECT_EQ(copied.distinct, stored);
}

// A first sync big enough to spill SQLite's page cache into the file: when
// the disk fills then, SQLite rolls the whole transaction back by itself,
// which frees the room the change took. Whatever the sync writes after that
// runs outside any transaction and succeeds, so it must write nothing: a
// mark committed on its own would cover rows that are gone. Every run says
// the disk is full; the next one copies every message exactly once.
TEST_F(FaultTest, AFirstSyncRolledBackByAFullDiskLeavesNoMarkAndTheNextCopiesEverything) {
    constexpr int kMessages = 24000;
    storeMessages(kMessages);
    Seeding::copyIfNeeded();
    for (const int after : {20, 120, 400}) {
        SCOPED_TRACE("one write failing after " + std::to_string(after));
        fault::RunOptions options = failingWrites(after, "ENOSPC", false);
        options.environment["BRINDLEX_FAIL_COUNT"] = "1";
        const auto result = ledgerSync(options);
        expectWholeFiles(kDataFiles);
        const Copied copied = copiedRows();
        EXPECT_EQ(copied.rows, copied.distinct);
        if (copied.rows < kMessages) {
            EXPECT_NE(result.stderrText.find("is full"), std::string::npos) << result.stderrText;
        }
    }
    ASSERT_EQ(ledgerSync().status, 0);
    const Copied copied = copiedRows();
    EXPECT_EQ(copied.rows, kMessages);
    EXPECT_EQ(copied.distinct, kMessages);
}

// The badge daemon's start-up sync on a disk that fails part-way: it says
// so and keeps running, the files stay whole, and the daemon started once
// the disk has room copies every message exactly once.
TEST_F(FaultTest, DaemonOnAFailingDiskSaysSoAndCatchesUpOnce) {
    storeMessages(2000);
    Seeding::copyIfNeeded();
    int stored = 2000;
    for (const int after : {0, 2, 5, 13, 40}) {
        SCOPED_TRACE("after " + std::to_string(after));
        storeMessages(100, stored);
        stored += 100;
        fault::RunOptions options = failingWrites(after, "ENOSPC", true);
        options.environment["BRINDLEX_DEVICE_ROOT"] = root_.path();
        fault::Child daemon({"brindlex-badged"}, options);
        const bool said =
            fault::waitFor([&] { return daemon.stderrSoFar().find("brindlex-badged:") != std::string::npos; },
                           std::chrono::seconds(30));
        const auto result = daemon.finish(SIGTERM);
        EXPECT_TRUE(said) << "a failed sync says why: " << result.stderrText;
        EXPECT_TRUE(result.killed) << "the daemon keeps running: " << result.stderrText;
        expectWholeFiles(kDataFiles);
        const Copied copied = copiedRows();
        EXPECT_EQ(copied.rows, copied.distinct);
    }
    runDaemonUntilCopied(stored);
}

// A disk that fills up as the settings file is written: the write fails,
// the old file stays as it was and no temporary file is left beside it.
TEST_F(FaultTest, SettingsWriteOnAFullDiskKeepsTheOldFile) {
    PropertyList old;
    old.setString("smsquota", "100");
    ASSERT_TRUE(old.writeToFile(DevicePaths::settingsFile()));
    const auto before = filesIn(DevicePaths::dataDirectory());

    PropertyList big;
    for (int i = 0; i < 2000; ++i) big.setString("epersonNA" + std::to_string(i), std::string(40, '7'));
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{4096, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = big.writeToFile(DevicePaths::settingsFile());
    const QString csvPath = CsvExport::documentsFilePath();
    const bool csvFirst = CsvExport::writeAtomically(csvPath, QByteArray(100, 'a'));
    const bool csvWritten = CsvExport::writeAtomically(csvPath, QByteArray(100000, 'b'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    const auto after = PropertyList::readFromFile(DevicePaths::settingsFile());
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->stringValue("smsquota"), "100");
    EXPECT_EQ(filesIn(DevicePaths::dataDirectory()), before);

    // The CSV export alike: the first, small export is whole, the large one
    // fails and leaves the first in place and no temporary file.
    EXPECT_TRUE(csvFirst);
    EXPECT_FALSE(csvWritten);
    std::ifstream csv(csvPath.toStdString(), std::ios::binary);
    const std::string kept((std::istreambuf_iterator<char>(csv)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, std::string(100, 'a'));
    EXPECT_EQ(filesIn(fs::path(csvPath.toStdString()).parent_path().string()), std::set<std::string>{"data.csv"});
}

// The badge daemon killed with SIGKILL at random points of its first sync
// of 200,000 messages, and started again each time: at the end every
// message is there exactly once, and the settings file was a complete
// property list after every kill. Each kill falls on one of the first
// 15,000 writes of the run (the whole sync writes about 150,000 times), so
// after the sync's write transaction began.
TEST_F(FaultTest, DaemonKilledDuringAFirstSyncCopiesEachMessageOnce) {
    constexpr int kMessages = 200000;
    constexpr int kKills = 40;
    storeMessages(kMessages);
    Seeding::copyIfNeeded();
    const std::string journal = PhoneProfile::find().counterDatabase() + "-journal";
    std::mt19937 random(20130305);
    std::uniform_int_distribution<int> killedAtWrite(1, 15000);
    int duringSync = 0;
    for (int i = 0; i < kKills; ++i) {
        fault::Child daemon({"brindlex-badged"}, daemonKilledAtWrite(killedAtWrite(random)));
        fault::waitFor([&] { return !daemon.running(); }, std::chrono::seconds(120));
        const bool syncing = fs::exists(journal);
        const auto result = daemon.finish(SIGKILL);
        ASSERT_EQ(result.signal, SIGKILL) << "the daemon runs until it is ended: " << result.stderrText;
        duringSync += syncing ? 1 : 0;
        if (fs::exists(DevicePaths::settingsFile())) {
            ASSERT_TRUE(PropertyList::readFromFile(DevicePaths::settingsFile()).has_value()) << "after kill " << i;
        }
        const Copied copied = copiedRows();
        ASSERT_EQ(copied.rows, copied.distinct) << "after kill " << i;
    }
    RecordProperty("killsDuringTheSync", duringSync);
    EXPECT_GE(duringSync, kKills * 9 / 10) << "the kills fell into the sync";
    const auto start = std::chrono::steady_clock::now();
    runDaemonUntilCopied(kMessages);
    RecordProperty(
        "uninterruptedSyncMs",
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
}

// Messages arriving one by one, each notified, with the daemon killed at a
// random point of each run (while it catches up at start, syncs the new
// message or writes the settings; a run writes about 28 times): the next
// start catches up, and nothing is copied twice. A kill point past the
// run's last write ends it from outside once the message is copied.
TEST_F(FaultTest, DaemonKilledDuringAStreamOfNotificationsCopiesEachMessageOnce) {
    constexpr int kFirst = 1000;
    constexpr int kStream = 30;
    storeMessages(kFirst);
    runDaemonUntilCopied(kFirst);
    std::mt19937 random(20130306);
    std::uniform_int_distribution<int> killedAtWrite(1, 40);
    for (int i = 0; i < kStream; ++i) {
        fault::Child daemon({"brindlex-badged"}, daemonKilledAtWrite(killedAtWrite(random)));
        fault::RunOptions phone = daemonOptions();
        ASSERT_EQ(
            fault::run({"brindlex-phone", "receive", "+14155550100", "stream " + std::to_string(i)}, phone).status, 0);
        fault::waitFor([&] { return !daemon.running() || copiedRows().rows > kFirst + i; }, std::chrono::seconds(60));
        daemon.finish(SIGKILL);
        ASSERT_TRUE(PropertyList::readFromFile(DevicePaths::settingsFile()).has_value()) << "after kill " << i;
        const Copied copied = copiedRows();
        ASSERT_EQ(copied.rows, copied.distinct) << "after kill " << i;
    }
    runDaemonUntilCopied(kFirst + kStream);
}

// Another process holds the counter database's write lock for longer than
// the busy timeout: the sync gives up with a message and copies nothing;
// the next sync catches up, once.
TEST_F(FaultTest, ALockHeldPastTheBusyTimeoutLosesNothing) {
    storeMessages(500);
    ASSERT_EQ(ledgerSync().status, 0);
    storeMessages(500, 500);  // 500 more, dated after the first ones
    {
        SqliteDatabase holder;
        ASSERT_TRUE(holder.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(holder.exec("BEGIN EXCLUSIVE"));
        const auto locked = ledgerSync();
        EXPECT_NE(locked.stderrText.find("locked"), std::string::npos) << locked.stderrText;
        holder.exec("ROLLBACK");
    }
    {
        SqliteDatabase holder;
        ASSERT_TRUE(holder.open(DevicePaths::smsDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(holder.exec("BEGIN EXCLUSIVE"));
        ledgerSync();  // a reader of a write-ahead log is not even held up
        holder.exec("ROLLBACK");
    }
    ASSERT_EQ(ledgerSync().status, 0);
    const Copied copied = copiedRows();
    EXPECT_EQ(copied.rows, 1000);
    EXPECT_EQ(copied.distinct, 1000);
}

}  // namespace
