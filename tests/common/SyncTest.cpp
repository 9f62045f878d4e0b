#include "platform/DataLock.h"
#include "common/MarkerSync.h"
#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "common/CounterStore.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "platform/SystemVersion.h"
#include "support/CounterRows.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/TrafficGenerator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <thread>
#include <sys/stat.h>
#include <chrono>
#include <signal.h>
#include <sys/resource.h>
#include <tuple>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kBase = 1356998400;  // 2013-01-01 00:00:00 UTC

struct SyncResult {
    SyncStatus status;
    std::int64_t received;
    std::int64_t sent;
};

SyncResult sync(std::int64_t rFrom, std::int64_t sFrom) {
    std::vector<std::int64_t> markers{-99};  // the sync appends after what is there
    const SyncStatus status = CounterStore::forCurrentPhone().copyRMessagesFrom(rFrom, sFrom, markers);
    EXPECT_EQ(markers.size(), 3u);
    EXPECT_EQ(markers[0], -99);
    return {status, markers.at(1), markers.at(2)};
}

// A sync that went through and handed back these newest dates.
::testing::AssertionResult syncedUpTo(const SyncResult& result, std::int64_t received, std::int64_t sent) {
    if (result.status == SyncStatus::Ok && result.received == received && result.sent == sent)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "status " << static_cast<int>(result.status) << ", received "
                                         << result.received << " (expected " << received << "), sent " << result.sent
                                         << " (expected " << sent << ")";
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A device of the given system version with seeded data directory.
class SyncTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), GetParam(), &error)) << error;
        Seeding::copyIfNeeded();
        ASSERT_TRUE(fs::exists(PhoneProfile::find().counterDatabase()));
        ASSERT_TRUE(fs::exists(DevicePaths::settingsFile()));
    }

    bool sixOrLater() const { return SystemVersion::isSixOrLater(GetParam()); }
    SmsDatabaseFixture sms() const { return SmsDatabaseFixture(DevicePaths::smsDatabase()); }
    long long store(const std::string& address, std::int64_t date, std::optional<std::string> text, bool sent,
                    const std::string& service = "SMS") {
        return sms().storeMessage(FixtureMessage{address, std::move(text), date, sent, service});
    }

    TempDeviceRoot root_;
};

}  // namespace

TEST_P(SyncTest, FirstSyncCopiesEveryMessageWithItsSegmentsAndHandsBackTheNewestDates) {
    store("+14155550101", kBase + 10, "hello", false);
    store("+14155550102", kBase + 20, std::string(161, 'x'), true);
    store("+14155550101", kBase + 30, std::nullopt, false);
    store("4155550103", kBase + 25, "", true);
    store("+7 912 000", kBase + 5, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", false);

    const SyncResult result = sync(0, 0);
    EXPECT_TRUE(syncedUpTo(result, kBase + 30, kBase + 25));

    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].address, "+14155550101");
    EXPECT_EQ(rows[0].date, kBase + 10);  // Unix seconds in both schemas
    EXPECT_EQ(rows[0].text, "hello");
    EXPECT_EQ(rows[0].flags, 2);
    EXPECT_EQ(rows[0].smscount, 1);
    EXPECT_EQ(rows[1].flags, 3);
    EXPECT_EQ(rows[1].smscount, 2);
    EXPECT_EQ(rows[2].text, std::nullopt);
    EXPECT_EQ(rows[2].smscount, 0);
    EXPECT_EQ(rows[3].text, "");
    EXPECT_EQ(rows[3].smscount, 1);
    EXPECT_EQ(rows[4].smscount, 1);
    if (sixOrLater()) {
        EXPECT_EQ(rows[0].type, "SMS");
    }
}

// A sync is one operation: the store made for the phone copies into its
// counter database from the source its version names, even when the version
// file changes under it (an import of another version's backup).
TEST_P(SyncTest, AStoreSyncsThePhoneItWasMadeForWhateverTheVersionFileSaysMeanwhile) {
    store("+14155550101", kBase + 10, "hello", false);
    CounterStore counter = CounterStore::forCurrentPhone();
    PropertyList version;
    version.setString("ProductVersion", sixOrLater() ? "5.1.1" : "6.1.3");
    ASSERT_TRUE(version.writeToFile(DevicePaths::systemVersionPlist()));

    std::vector<std::int64_t> markers;
    EXPECT_EQ(counter.copyRMessagesFrom(0, 0, markers), SyncStatus::Ok);
    version.setString("ProductVersion", GetParam());
    ASSERT_TRUE(version.writeToFile(DevicePaths::systemVersionPlist()));
    EXPECT_EQ(counterRows().size(), 1u);
}

TEST_P(SyncTest, MarkersStayPutWhenNothingIsNewSoALaterMessageOfTheSameSecondIsCopied) {
    store("+14155550101", kBase + 100, "first", false);
    store("+14155550102", kBase + 200, "first sent", true);
    SyncResult result = sync(0, 0);
    std::int64_t rMarker = result.received + 1, sMarker = result.sent + 1;

    // Several syncs without news must not move the markers on.
    for (int i = 0; i < 3; ++i) {
        result = sync(rMarker, sMarker);
        EXPECT_EQ(result.status, SyncStatus::Ok);
        rMarker = result.received + 1;
        sMarker = result.sent + 1;
    }
    EXPECT_EQ(rMarker, kBase + 101);
    EXPECT_EQ(sMarker, kBase + 201);

    // Messages dated exactly at the markers arrive after those syncs.
    store("+14155550101", kBase + 101, "same second as the marker", false);
    store("+14155550102", kBase + 201, "sent at the marker", true);
    result = sync(rMarker, sMarker);
    EXPECT_EQ(result.received, kBase + 101);
    EXPECT_EQ(result.sent, kBase + 201);
    EXPECT_EQ(counterRows().size(), 4u);
}

TEST_P(SyncTest, EachDirectionHasItsOwnLowerBound) {
    // Received marker well ahead of the sent marker: sent messages dated in
    // between must still be copied, received ones before their marker not.
    store("+14155550101", kBase + 50, "old received", false);
    store("+14155550102", kBase + 50, "sent between the markers", true);
    store("+14155550101", kBase + 150, "new received", false);
    const SyncResult result = sync(kBase + 100, kBase + 10);
    EXPECT_TRUE(syncedUpTo(result, kBase + 150, kBase + 50));
    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, "sent between the markers");
    EXPECT_EQ(rows[1].text, "new received");
}

TEST_P(SyncTest, RowsWithoutAddressOrDirectionAreSkippedAndMoveNoMarker) {
    if (sixOrLater()) {
        sms().storeNewRaw(std::string(""), kBase + 500 - 978307200, "empty handle", 0, "SMS");
        sms().storeNewRaw(std::nullopt, kBase + 500 - 978307200, "no handle", 1, "SMS");
        sms().storeNewRaw(std::string("+100"), kBase + 500 - 978307200, "odd direction", 7, "SMS");
        store("+14155550101", kBase + 40, "chat", false, "iMessage");
    } else {
        sms().storeOldRaw(std::nullopt, kBase + 500, "null address", 2);
        sms().storeOldRaw(std::string(""), kBase + 500, "empty address", 3);
        sms().storeOldRaw(std::string("+100"), kBase + 500, "draft", 0);
        sms().storeOldRaw(std::string("+100"), kBase + 500, "other state", 33);
    }
    store("+14155550102", kBase + 20, "real", false);

    const SyncResult result = sync(0, 0);
    const auto rows = counterRows();
    if (sixOrLater()) {
        // Other services are copied with their service name; counting skips them.
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].type, "iMessage");
        EXPECT_EQ(result.received, kBase + 40);
    } else {
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(result.received, kBase + 20);
    }
    EXPECT_EQ(rows.back().text, "real");
    EXPECT_EQ(result.sent, -1);
}

TEST_P(SyncTest, FailuresToOpenOrPrepareReportTheirStatusAndKeepTheMarkers) {
    store("+14155550101", kBase, "x", false);

    // 3: sms.db of another schema (here: the other one).
    fs::remove(DevicePaths::smsDatabase());
    SmsDatabaseFixture(DevicePaths::smsDatabase()).create(sixOrLater() ? SmsSchema::Old : SmsSchema::New);
    SyncResult result = sync(kBase, kBase + 7);
    EXPECT_EQ(result.status, SyncStatus::CannotReadSmsDatabase);
    EXPECT_EQ(result.received, kBase - 1);
    EXPECT_EQ(result.sent, kBase + 6);

    // 3 as well: garbage where sms.db should be.
    writeFile(DevicePaths::smsDatabase(), std::string(4096, 'Z'));
    EXPECT_EQ(sync(0, 0).status, SyncStatus::CannotReadSmsDatabase);

    // 1: no sms.db at all, and it is not created by the attempt.
    fs::remove(DevicePaths::smsDatabase());
    result = sync(5, 6);
    EXPECT_EQ(result.status, SyncStatus::CannotOpenSmsDatabase);
    EXPECT_EQ(result.received, 4);
    EXPECT_EQ(result.sent, 5);
    EXPECT_FALSE(fs::exists(DevicePaths::smsDatabase()));

    // 2: no counter database; the attempt must not create an empty one that
    // would keep the seed out for good.
    sms().create(sixOrLater() ? SmsSchema::New : SmsSchema::Old);
    fs::remove(PhoneProfile::find().counterDatabase());
    EXPECT_EQ(sync(0, 0).status, SyncStatus::CannotOpenCounterDatabase);
    EXPECT_FALSE(fs::exists(PhoneProfile::find().counterDatabase()));
    Seeding::copyIfNeeded();
    EXPECT_EQ(sync(0, 0).status, SyncStatus::Ok);

    // 4: a counter database without the table, and one that is garbage.
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("DROP TABLE message"));
    }
    EXPECT_EQ(sync(0, 0).status, SyncStatus::CannotWriteCounterDatabase);
    writeFile(PhoneProfile::find().counterDatabase(), std::string(8192, '\x01'));
    EXPECT_NE(sync(0, 0).status, SyncStatus::Ok);
}

TEST_P(SyncTest, AFailedInsertKeepsTheRowsBeforeItAndTheNextSyncCarriesOnFromThere) {
    store("+14155550101", kBase + 1, "before", false);
    store("+14155550101", kBase + 2, "poison", true);
    store("+14155550101", kBase + 3, "after", false);
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(
            db.exec("CREATE TRIGGER refuse BEFORE INSERT ON message WHEN NEW.text = 'poison' "
                    "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    }
    SyncResult result = sync(kBase, kBase);
    // Received: the row stored before the failure; sent: the refused row
    // moves nothing.
    EXPECT_TRUE(syncedUpTo(result, kBase + 1, kBase - 1));
    ASSERT_EQ(counterRows().size(), 1u);
    EXPECT_EQ(counterRows()[0].text, "before");

    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("DROP TRIGGER refuse"));
    }
    result = sync(result.received + 1, result.sent + 1);
    EXPECT_EQ(result.received, kBase + 3);
    EXPECT_EQ(result.sent, kBase + 2);
    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].text, "poison");
    EXPECT_EQ(rows[2].text, "after");
}

// Whether another process is blocked on the data lock's flock: /proc/locks
// lists such a waiter as "N: -> FLOCK ... MAJOR:MINOR:INODE ...".
bool someoneWaitsForTheDataLock() {
    struct stat lockFile {};
    if (::stat(DevicePaths::lockFile().c_str(), &lockFile) != 0) return false;
    std::ifstream locks("/proc/locks");
    const std::string inode = ":" + std::to_string(lockFile.st_ino) + " ";
    for (std::string line; std::getline(locks, line);)
        if (line.find("->") != std::string::npos && line.find("FLOCK") != std::string::npos &&
            line.find(inode) != std::string::npos)
            return true;
    return false;
}

// Polls `condition` until it holds, for at most ten seconds.
template <typename Condition>
bool waitUntil(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

// Every row of the counter database distinct by (address, date, text,
// direction): the traffic generator never repeats a message.
void expectNoDuplicates(const std::vector<CounterRow>& rows) {
    std::set<std::tuple<std::string, std::int64_t, std::optional<std::string>, int>> seen;
    for (const auto& row : rows)
        EXPECT_TRUE(seen.insert({row.address, row.date, row.text, row.flags}).second)
            << "copied twice: " << row.address << " at " << row.date;
}

TEST_P(SyncTest, ATruncatedSmsDatabaseCopiesNothingTwice) {
    TrafficOptions options;
    options.fromDate = kBase;
    options.toDate = kBase + 365 * kDay;
    ASSERT_TRUE(sms().storeMessages(TrafficGenerator(options).generate(20000)));
    const auto size = fs::file_size(DevicePaths::smsDatabase());
    fs::resize_file(DevicePaths::smsDatabase(), size / 2);

    // Half the tree's pages are gone: how much is still readable depends on
    // where they lay. Whatever the first sync got, no later one repeats it.
    ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
    const std::size_t copied = counterRows().size();
    EXPECT_LT(copied, 20000u);
    for (int i = 0; i < 2; ++i) MarkerSync::syncWithStoredMarkers();
    const auto rows = counterRows();
    EXPECT_EQ(rows.size(), copied);
    expectNoDuplicates(rows);
}

TEST_P(SyncTest, ADamagedPageInTheMiddleOfSmsDatabaseKeepsWhatCameBeforeIt) {
    // Long bodies spread the table over many pages; dates rise with the
    // ROWID, so the rows before the damage are the older ones.
    std::vector<FixtureMessage> batch;
    for (int i = 0; i < 3000; ++i)
        batch.push_back(FixtureMessage{"+1415555" + std::to_string(1000 + i % 50),
                                       "message " + std::to_string(i) + " " + std::string(300, 'a' + i % 26), kBase + i,
                                       i % 3 == 0, "SMS"});
    ASSERT_TRUE(sms().storeMessages(batch));

    // Overwrite one leaf page of the message table in the middle of the file.
    long long pageSize = 0, damaged = 0;
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(DevicePaths::smsDatabase(), SqliteDatabase::Mode::ReadOnly));
        SqliteStatement pages;
        ASSERT_TRUE(pages.prepare(db,
                                  "select pageno, pgsize from dbstat where name = 'message' and pagetype = 'leaf' "
                                  "order by pageno"));
        std::vector<long long> leaves;
        while (pages.step() == SqliteStatement::Step::Row) {
            leaves.push_back(pages.columnInt(0));
            pageSize = pages.columnInt(1);
        }
        ASSERT_GT(leaves.size(), 20u);
        damaged = leaves[leaves.size() / 2];
    }
    {
        std::fstream file(DevicePaths::smsDatabase(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp((damaged - 1) * pageSize);
        const std::string garbage(static_cast<std::size_t>(pageSize), '\xA5');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }

    ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
    const auto rows = counterRows();
    EXPECT_GT(rows.size(), 100u);  // before the fix a read error rolled everything back
    EXPECT_LT(rows.size(), batch.size());
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counterRows().size(), rows.size());
    expectNoDuplicates(counterRows());
}

TEST_P(SyncTest, MessagesDatedPast2038AreCopiedExactlyOnce) {
    // 2^31 seconds and later: a phone whose clock ran ahead, or a date read
    // in the wrong unit. 32-bit markers pinned at INT_MAX copied them again
    // with every sync.
    const std::int64_t late = (std::int64_t{1} << 31) + 100;
    store("+14155550101", kBase, "ordinary", false);
    store("+14155550101", late, "from the future", false);
    store("+14155550102", late + 5, "sent to the future", true);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);

    EXPECT_EQ(counterRows().size(), 3u);
    const auto settings = SettingsStore::load();
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*settings), late + 1);
    EXPECT_EQ(SettingsStore::lastSyncSent(&*settings), late + 6);
}

TEST_P(SyncTest, AProcessKilledBetweenCommitAndTheMarkerWriteCopiesNothingTwice) {
    TrafficOptions options;
    options.fromDate = kBase;
    options.toDate = kBase + 30 * kDay;
    ASSERT_TRUE(sms().storeMessages(TrafficGenerator(options).generate(2000)));

    // The child commits the rows and dies before it can store the markers.
    const pid_t child = fork();
    if (child == 0) {
        const auto settings = SettingsStore::load();
        std::vector<std::int64_t> markers;
        CounterStore::forCurrentPhone().copyRMessagesFrom(SettingsStore::lastSyncReceived(&*settings),
                                                          SettingsStore::lastSyncSent(&*settings), markers);
        raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const std::size_t copied = counterRows().size();
    ASSERT_GT(copied, 0u);
    auto settings = SettingsStore::load();
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*settings), 0);  // the settings never heard of it

    ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
    EXPECT_EQ(counterRows().size(), copied);
    // The settings file has caught up with the database.
    settings = SettingsStore::load();
    EXPECT_GT(SettingsStore::lastSyncReceived(&*settings), kBase);
}

TEST_P(SyncTest, AFailedSettingsWriteAfterTheCopyCopiesNothingTwice) {
    TrafficOptions options;
    options.fromDate = kBase;
    options.toDate = kBase + 30 * kDay;
    ASSERT_TRUE(sms().storeMessages(TrafficGenerator(options).generate(500)));
    // A settings file far larger than anything the counter database writes,
    // so a file-size limit lets the sync commit but fails the settings write
    // the way a full disk does.
    ASSERT_TRUE(SettingsStore::update([](PropertyList& s) { s.setString("padding", std::string(400000, 'p')); }));
    const std::string before = [] {
        std::ifstream in(DevicePaths::settingsFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();

    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{200000, 200000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const MarkerSync::Outcome outcome = MarkerSync::syncWithStoredMarkers();
        _exit(outcome.ran && outcome.status == SyncStatus::Ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::size_t copied = counterRows().size();
    ASSERT_GT(copied, 0u);
    // The old settings file is intact, markers and all.
    std::ifstream in(DevicePaths::settingsFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);

    ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
    EXPECT_EQ(counterRows().size(), copied);
    expectNoDuplicates(counterRows());
}

TEST_P(SyncTest, ClearDBWaitsForASyncOfTheOtherProcessAndThenCopiesEachMessageOnce) {
    store("+14155550101", kBase + 1, "one", false);
    store("+14155550102", kBase + 2, "two", true);
    ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
    store("+14155550101", kBase + 3, "arrives during the clear", false);

    // The other process (the daemon) has begun its sync: it holds the data
    // lock and read the markers. It copies once the clear has either deleted
    // the rows or is seen waiting for the data lock (a blocked flock on the
    // lock file in /proc/locks), whichever comes first.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        DataLock lock;
        const auto settings = SettingsStore::load();
        if (write(ready[1], "x", 1) != 1) _exit(2);
        const bool clearMoved = waitUntil([] { return counterRows().size() != 2 || someoneWaitsForTheDataLock(); });
        if (!clearMoved) _exit(3);
        std::vector<std::int64_t> markers;
        CounterStore::forCurrentPhone().copyRMessagesFrom(SettingsStore::lastSyncReceived(&*settings),
                                                          SettingsStore::lastSyncSent(&*settings), markers);
        SettingsStore::update([&](PropertyList& s) {
            s.setInteger("lastsyncrdate", markers.at(0) + 1);
            s.setInteger("lastsyncsdate", markers.at(1) + 1);
        });
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    const MarkerSync::ClearOutcome outcome = MarkerSync::clearAndResync();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(ready[0]);
    close(ready[1]);

    EXPECT_TRUE(outcome.cleared);
    EXPECT_TRUE(outcome.sync.ran);
    const auto rows = counterRows();
    EXPECT_EQ(rows.size(), 3u);
    expectNoDuplicates(rows);
}

TEST_P(SyncTest, ACounterDatabaseSeededWithoutTheMarkerTableGetsOneAndTheSettingsMarkersApply) {
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("DROP TABLE sync_marker"));
    }
    store("+14155550101", kBase + 1, "old", false);
    store("+14155550101", kBase + 10, "new", false);
    ASSERT_TRUE(SettingsStore::update([](PropertyList& s) { s.setInteger("lastsyncrdate", kBase + 5); }));
    ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, "new");
    // The copy now exists: a caller with stale markers copies nothing again.
    EXPECT_EQ(sync(0, 0).received, kBase + 10);
    EXPECT_EQ(counterRows().size(), 1u);
}

TEST_P(SyncTest, AFailedCommitKeepsNothingAndHandsTheMarkersBack) {
    store("+14155550101", kBase + 1, "waiting", false);
    // Another reader in the middle of a read transaction keeps COMMIT from
    // getting its exclusive lock until the busy timeout runs out.
    SqliteDatabase reader;
    ASSERT_TRUE(reader.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly));
    ASSERT_TRUE(reader.exec("BEGIN"));
    SqliteStatement pin;
    ASSERT_TRUE(pin.prepare(reader, "select count(*) from message"));
    ASSERT_EQ(pin.step(), SqliteStatement::Step::Row);

    const SyncResult result = sync(10, 20);
    EXPECT_TRUE(syncedUpTo(result, 9, 19));
    pin.finalize();
    reader.close();
    EXPECT_TRUE(counterRows().empty());
    EXPECT_EQ(sync(10, 20).received, kBase + 1);
}

TEST_P(SyncTest, DeleteRowAndClearDB) {
    store("+14155550101", kBase + 1, "one", false);
    store("+14155550102", kBase + 2, "two", true);
    sync(0, 0);
    SqliteDatabase db;
    ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly));
    SqliteStatement first;
    ASSERT_TRUE(first.prepare(db, "select min(rowid) from message"));
    ASSERT_EQ(first.step(), SqliteStatement::Step::Row);
    const long long rowid = first.columnInt(0);
    first.finalize();

    EXPECT_TRUE(CounterStore::forCurrentPhone().deleteRow(rowid));
    ASSERT_EQ(counterRows().size(), 1u);
    EXPECT_EQ(counterRows()[0].text, "two");
    EXPECT_TRUE(CounterStore::forCurrentPhone().deleteRow(rowid));  // already gone: still a completed statement

    EXPECT_TRUE(CounterStore::forCurrentPhone().clearDB());
    EXPECT_TRUE(counterRows().empty());
    EXPECT_EQ(sms().detectSchema().has_value(), true);  // the platform database is untouched

    fs::remove(PhoneProfile::find().counterDatabase());
    EXPECT_FALSE(CounterStore::forCurrentPhone().deleteRow(1));
    EXPECT_FALSE(CounterStore::forCurrentPhone().clearDB());
    EXPECT_FALSE(fs::exists(PhoneProfile::find().counterDatabase()));
}

TEST_P(SyncTest, StoredMarkersAreUsedAndWrittenBackAndMissingSettingsSkipTheSync) {
    store("+14155550101", kBase + 1, "one", false);
    store("+14155550102", kBase + 2, "two", true);

    MarkerSync::Outcome outcome = MarkerSync::syncWithStoredMarkers();
    EXPECT_TRUE(outcome.ran);
    EXPECT_EQ(outcome.status, SyncStatus::Ok);
    auto settings = SettingsStore::load();
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*settings), kBase + 2);
    EXPECT_EQ(SettingsStore::lastSyncSent(&*settings), kBase + 3);

    // Again: nothing new, nothing copied twice, markers unchanged.
    MarkerSync::syncWithStoredMarkers();
    settings = SettingsStore::load();
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*settings), kBase + 2);
    EXPECT_EQ(counterRows().size(), 2u);

    // Without a readable settings file the markers would be lost: no sync.
    for (const char* content : {"", "<plist><dict><key>x</key>"}) {
        if (*content)
            writeFile(DevicePaths::settingsFile(), content);
        else
            fs::remove(DevicePaths::settingsFile());
        outcome = MarkerSync::syncWithStoredMarkers();
        EXPECT_FALSE(outcome.ran);
        EXPECT_EQ(counterRows().size(), 2u);
    }
    fs::remove(DevicePaths::settingsFile());
    EXPECT_FALSE(MarkerSync::resetMarkers());
    EXPECT_FALSE(fs::exists(DevicePaths::settingsFile()));

    // Clear DB then resync copies everything sms.db still holds, once.
    Seeding::copyIfNeeded();
    const MarkerSync::ClearOutcome cleared = MarkerSync::clearAndResync();
    EXPECT_TRUE(cleared.cleared);
    EXPECT_EQ(cleared.sync.status, SyncStatus::Ok);
    EXPECT_EQ(counterRows().size(), 2u);
}

TEST_P(SyncTest, TwoProcessesSyncingAtOnceCopyEachMessageOnceAndLoseNoSettingsKey) {
    TrafficOptions options;
    options.fromDate = kBase;
    options.toDate = kBase + 365 * kDay;
    const auto traffic = TrafficGenerator(options).generate(30000);
    ASSERT_TRUE(sms().storeMessages(traffic));

    auto worker = [](const char* key) {
        const MarkerSync::Outcome outcome = MarkerSync::syncWithStoredMarkers();
        const bool stored = SettingsStore::update([&](PropertyList& s) { s.setString(key, "Y"); });
        _exit(outcome.ran && outcome.status == SyncStatus::Ok && stored ? 0 : 1);
    };
    const pid_t first = fork();
    if (first == 0) worker("first");
    const pid_t second = fork();
    if (second == 0) worker("second");
    for (pid_t child : {first, second}) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::size_t copied = 0;
    for (const auto& message : traffic)
        if (!message.address.empty()) ++copied;
    const auto rows = counterRows();
    EXPECT_EQ(rows.size(), copied);
    auto settings = SettingsStore::load();
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->contains("first"));
    EXPECT_TRUE(settings->contains("second"));
}

INSTANTIATE_TEST_SUITE_P(BothSchemas, SyncTest, ::testing::Values("5.1.1", "6.1.3"),
                         [](const auto& info) { return std::string(info.param[0] == '5' ? "Old" : "New"); });

TEST(Seeding, CopiesMissingFilesOnlyAndNeverCreatesTheDataDirectory) {
    TempDeviceRoot root;
    // No data directory: nothing is created.
    Seeding::copyIfNeeded();
    EXPECT_FALSE(fs::exists(DevicePaths::dataDirectory()));
    EXPECT_EQ(sync(0, 0).status, SyncStatus::CannotOpenSmsDatabase);

    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "5.1.1"));
    Seeding::copyIfNeeded();
    EXPECT_TRUE(fs::exists(PhoneProfile::forVersion("5.1.1").counterDatabase()));
    EXPECT_FALSE(fs::exists(PhoneProfile::forVersion("6.1.3").counterDatabase()));
    ASSERT_TRUE(SettingsStore::update([](PropertyList& s) { s.setInteger("smsquota", 250); }));

    // An upgrade to 6.x starts a fresh ledgerwick6.db beside the old one and
    // keeps the settings.
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.0"));
    Seeding::copyIfNeeded();
    EXPECT_TRUE(fs::exists(PhoneProfile::forVersion("5.1.1").counterDatabase()));
    EXPECT_TRUE(fs::exists(PhoneProfile::forVersion("6.1.3").counterDatabase()));
    auto settings = SettingsStore::load();
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsStore::smsquota(&*settings), 250);
    for (const auto& entry : fs::directory_iterator(DevicePaths::dataDirectory()))
        EXPECT_EQ(entry.path().filename().string().find(".seed-"), std::string::npos);
}
