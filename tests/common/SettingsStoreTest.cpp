#include "platform/DataLock.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/DevicePaths.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace SettingsKeys;

namespace {

std::string fileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> directoryEntries(const std::string& path) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path)) names.insert(entry.path().filename().string());
    return names;
}

// Runs `work` in a child process and gives its exit status, so a test can
// change process-wide limits without touching the test runner itself.
int exitStatusOfChild(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(work());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(DevicePaths::dataDirectory()); }

    // Stores `settings` as the settings file, the way seeding or an earlier
    // save would have left it.
    static void writeSettings(const PropertyList& settings) {
        ASSERT_TRUE(settings.writeToFile(DevicePaths::settingsFile()));
    }

    static void writeRaw(const std::string& bytes) {
        std::ofstream(DevicePaths::settingsFile(), std::ios::binary) << bytes;
    }

    // The settings as the next reader sees them.
    static PropertyList reloaded() {
        auto settings = SettingsStore::load();
        EXPECT_TRUE(settings.has_value());
        return settings ? std::move(*settings) : PropertyList();
    }

    TempDeviceRoot root_;
};

TEST_F(SettingsStoreTest, MissingFileGivesNoDictionaryAndEveryDefault) {
    EXPECT_FALSE(SettingsStore::load().has_value());
    const PropertyList empty;
    for (const PropertyList* settings : {static_cast<const PropertyList*>(nullptr), &empty}) {
        EXPECT_EQ(SettingsStore::smsquota(settings), 0);
        EXPECT_EQ(SettingsStore::badgeType(settings), BadgeType::Sent);
        EXPECT_FALSE(SettingsStore::hasBadgeType(settings));
        EXPECT_EQ(SettingsStore::messageType(settings), MessageType::Both);
        EXPECT_FALSE(SettingsStore::cycleMode(settings));
        EXPECT_EQ(SettingsStore::cycleDay(settings), 0);
        EXPECT_FALSE(SettingsStore::lastFromDate(settings).has_value());
        EXPECT_FALSE(SettingsStore::lastRecordNumber(settings).has_value());
        EXPECT_FALSE(SettingsStore::hideSMS(settings));
        EXPECT_EQ(SettingsStore::lastSyncReceived(settings), 0);
        EXPECT_EQ(SettingsStore::lastSyncSent(settings), 0);
        EXPECT_TRUE(SettingsStore::excludedPersonIds(settings).empty());
        EXPECT_TRUE(SettingsStore::excludedNumbers(settings).empty());
    }
}

TEST_F(SettingsStoreTest, IntegerKeysAcceptNumbersAndDigitStrings) {
    PropertyList settings;
    settings.setString(kSmsQuota, "15");
    settings.setInteger(kCycleDay, 15);
    settings.setString(kBadgeType, "0");
    settings.setInteger(kLastSyncReceived, 1370000000);
    settings.setString(kLastSyncSent, "1370000001");
    writeSettings(settings);

    const PropertyList loaded = reloaded();
    EXPECT_EQ(SettingsStore::smsquota(&loaded), 15);
    EXPECT_EQ(SettingsStore::cycleDay(&loaded), 15);
    EXPECT_EQ(SettingsStore::badgeType(&loaded), BadgeType::Both);
    EXPECT_TRUE(SettingsStore::hasBadgeType(&loaded));
    EXPECT_EQ(SettingsStore::lastSyncReceived(&loaded), 1370000000);
    EXPECT_EQ(SettingsStore::lastSyncSent(&loaded), 1370000001);
}

TEST_F(SettingsStoreTest, NegativeIntegersSurviveTheFile) {
    writeSettings(PropertyList());
    ASSERT_TRUE(SettingsStore::update([](PropertyList& settings) {
        settings.setInteger(kSmsQuota, -3);
        settings.setInteger(kLastSyncReceived, INT_MIN);
    }));
    const PropertyList loaded = reloaded();
    EXPECT_EQ(SettingsStore::smsquota(&loaded), -3);
    EXPECT_EQ(SettingsStore::lastSyncReceived(&loaded), INT_MIN);
}

TEST_F(SettingsStoreTest, UnreadableIntegersGiveTheDefault) {
    PropertyList settings;
    settings.setString(kSmsQuota, "unlimited");
    settings.setString(kBadgeType, "");
    settings.setString(kCycleDay, "day");
    EXPECT_EQ(SettingsStore::smsquota(&settings), 0);
    EXPECT_EQ(SettingsStore::badgeType(&settings), BadgeType::Sent);
    EXPECT_EQ(SettingsStore::cycleDay(&settings), 0);
}

TEST_F(SettingsStoreTest, IntegersBeyond32BitsSaturate) {
    PropertyList settings;
    settings.setInteger(kSmsQuota, 5'000'000'000);
    settings.setString(kCycleDay, "-5000000000");
    EXPECT_EQ(SettingsStore::smsquota(&settings), INT_MAX);
    EXPECT_EQ(SettingsStore::cycleDay(&settings), INT_MIN);
}

TEST_F(SettingsStoreTest, PresenceKeysIgnoreTheirValue) {
    PropertyList settings;
    settings.setString(kCycleMode, "N");
    settings.setInteger(kHideSMS, 0);
    EXPECT_TRUE(SettingsStore::cycleMode(&settings));
    EXPECT_TRUE(SettingsStore::hideSMS(&settings));
}

TEST_F(SettingsStoreTest, StringAndDoubleKeysReadTheirValues) {
    PropertyList settings;
    settings.setInteger(kMessageType, 2);
    settings.setString(kLastRecordNumber, "+49 170 1234567");
    settings.setDouble(kLastFromDate, 1686000000.5);
    EXPECT_EQ(SettingsStore::messageType(&settings), MessageType::Sent);
    EXPECT_EQ(SettingsStore::lastRecordNumber(&settings), "+49 170 1234567");
    EXPECT_EQ(SettingsStore::lastFromDate(&settings), 1686000000.5);
    settings.setString(kMessageType, "1");
    settings.setString(kLastFromDate, "1686000000");
    EXPECT_EQ(SettingsStore::messageType(&settings), MessageType::Received);
    EXPECT_EQ(SettingsStore::lastFromDate(&settings), 1686000000.0);
}

TEST_F(SettingsStoreTest, UpdateKeepsKeysItDoesNotTouch) {
    PropertyList settings;
    settings.setInteger(kSmsQuota, 250);
    settings.setString(kCycleMode, "Y");
    settings.setString(kCycleDay, "15");
    settings.setString("someoneelseskey", "kept");
    SettingsStore::setExcludedNumbers(settings, {"+4930*", "12345"});
    writeSettings(settings);

    ASSERT_TRUE(SettingsStore::update([](PropertyList& s) { s.setInteger(kLastSyncReceived, 1370000000); }));

    const PropertyList loaded = reloaded();
    EXPECT_EQ(SettingsStore::lastSyncReceived(&loaded), 1370000000);
    EXPECT_EQ(SettingsStore::smsquota(&loaded), 250);
    EXPECT_TRUE(SettingsStore::cycleMode(&loaded));
    EXPECT_EQ(loaded.stringValue(kCycleDay), "15");
    EXPECT_EQ(loaded.stringValue("someoneelseskey"), "kept");
    EXPECT_EQ(SettingsStore::excludedNumbers(&loaded), (std::vector<std::string>{"+4930*", "12345"}));
}

TEST_F(SettingsStoreTest, UpdateCreatesNoFile) {
    bool called = false;
    EXPECT_FALSE(SettingsStore::update([&](PropertyList&) { called = true; }));
    EXPECT_FALSE(called);
    EXPECT_FALSE(fs::exists(DevicePaths::settingsFile()));

    fs::remove_all(DevicePaths::dataDirectory());
    EXPECT_FALSE(SettingsStore::update([](PropertyList&) {}));
    EXPECT_FALSE(fs::exists(DevicePaths::dataDirectory()));
}

TEST_F(SettingsStoreTest, DamagedFileReadsAsNoDictionaryAndIsLeftAlone) {
    PropertyList settings;
    settings.setInteger(kSmsQuota, 100);
    const std::string xml = settings.toXml();
    for (const std::string& bytes : {xml.substr(0, xml.size() / 2), std::string("not a plist"), std::string(),
                                     std::string("<plist version=\"1.0\"><array/></plist>")}) {
        writeRaw(bytes);
        EXPECT_FALSE(SettingsStore::load().has_value()) << bytes;
        EXPECT_FALSE(SettingsStore::update([](PropertyList& s) { s.setInteger(kSmsQuota, 1); })) << bytes;
        EXPECT_EQ(fileContents(DevicePaths::settingsFile()), bytes);
    }
}

// 200,000 nested arrays, 2.8 MB: refused before libplist recurses into them,
// and then taken as an unreadable file is: every default, no write.
TEST_F(SettingsStoreTest, DeeplyNestedFileReadsAsNoDictionaryAndIsLeftAlone) {
    std::string bytes = "<plist version=\"1.0\"><dict><key>smsquota</key><integer>100</integer><key>k</key>";
    for (int i = 0; i < 200000; ++i) bytes += "<array>";
    for (int i = 0; i < 200000; ++i) bytes += "</array>";
    bytes += "</dict></plist>";
    writeRaw(bytes);
    EXPECT_FALSE(SettingsStore::load().has_value());
    EXPECT_EQ(SettingsStore::smsquota(nullptr), 0);
    EXPECT_FALSE(SettingsStore::update([](PropertyList& s) { s.setInteger(kSmsQuota, 1); }));
    EXPECT_EQ(fileContents(DevicePaths::settingsFile()), bytes);
}

TEST_F(SettingsStoreTest, UpdateLeavesNoTemporaryFilesBehind) {
    writeSettings(PropertyList());
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(SettingsStore::update([i](PropertyList& s) { s.setInteger(kLastSyncSent, i); }));
    for (const std::string& name : directoryEntries(DevicePaths::dataDirectory()))
        EXPECT_TRUE(name == "properties.plist" || name == ".sync.lock") << name;
}

TEST_F(SettingsStoreTest, FailedWriteKeepsTheOldFile) {
    PropertyList settings;
    settings.setInteger(kSmsQuota, 100);
    writeSettings(settings);
    const std::string before = fileContents(DevicePaths::settingsFile());

    // A file-size limit makes writing the new file fail for any user, root
    // included, while the old file stays readable.
    const int status = exitStatusOfChild([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit tiny{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &tiny);
        return SettingsStore::update([](PropertyList& s) { s.setInteger(kSmsQuota, 5); }) ? 1 : 0;
    });

    EXPECT_EQ(status, 0) << "the update reported success";
    EXPECT_EQ(fileContents(DevicePaths::settingsFile()), before);
    for (const std::string& name : directoryEntries(DevicePaths::dataDirectory()))
        EXPECT_TRUE(name == "properties.plist" || name == ".sync.lock") << name;
}

TEST_F(SettingsStoreTest, ReadOnlyDataDirectoryFailsTheUpdate) {
    writeSettings(PropertyList());
    const std::string before = fileContents(DevicePaths::settingsFile());
    fs::permissions(DevicePaths::dataDirectory(), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(DevicePaths::dataDirectory().c_str(), W_OK) == 0)
        GTEST_SKIP() << "permissions are not enforced for this user";

    EXPECT_FALSE(SettingsStore::update([](PropertyList& s) { s.setInteger(kSmsQuota, 5); }));
    EXPECT_EQ(fileContents(DevicePaths::settingsFile()), before);
}

TEST_F(SettingsStoreTest, UpdateInsideAHeldDataLockDoesNotWaitForItself) {
    writeSettings(PropertyList());
    DataLock syncLock;
    EXPECT_TRUE(SettingsStore::update([](PropertyList& s) { s.setInteger(kLastSyncSent, 7); }));
}

TEST_F(SettingsStoreTest, NumberedKeysAppendTheDecimalIndex) {
    EXPECT_EQ(SettingsStore::numberedKey(kExcludedPersonPrefix, 0), "eperson0");
    EXPECT_EQ(SettingsStore::numberedKey(kExcludedNumberPrefix, 12), "epersonNA12");
    EXPECT_EQ(SettingsStore::numberedKey(kExcludedPersonPrefix, 100), "eperson100");
}

// As the app has always restored them: a gap ends the contacts, but not the
// numbers.
TEST_F(SettingsStoreTest, ExcludedContactsEndAtTheFirstMissingKeyNumbersGoPastIt) {
    PropertyList settings;
    settings.setInteger(kExcludedPersonCount, 3);
    settings.setInteger("eperson0", 7);
    settings.setInteger("eperson2", 9);
    settings.setString(kExcludedNumberCount, "3");
    settings.setString("epersonNA0", "555*");
    settings.setString("epersonNA2", "666");
    EXPECT_EQ(SettingsStore::excludedPersonIds(&settings), std::vector<int>{7});
    EXPECT_EQ(SettingsStore::excludedNumbers(&settings), (std::vector<std::string>{"555*", "666"}));
    // Only below the count, in index order, however far apart.
    settings.setInteger(kExcludedNumberCount, 1000000000);
    settings.setString("epersonNA999999999", "last");
    settings.setString("epersonNA1000000000", "beyond");
    settings.setString("epersonNA10", "ten");
    settings.setString("epersonNA010", "not a numbered key");
    EXPECT_EQ(SettingsStore::excludedNumbers(&settings), (std::vector<std::string>{"555*", "666", "ten", "last"}));
}

TEST_F(SettingsStoreTest, ExcludedListsReadNoMoreThanTheCount) {
    PropertyList settings;
    settings.setInteger("eperson0", 7);
    settings.setString("eperson1", "8");
    settings.setString("epersonNA0", "555");
    EXPECT_TRUE(SettingsStore::excludedPersonIds(&settings).empty());
    settings.setInteger(kExcludedPersonCount, 1);
    EXPECT_EQ(SettingsStore::excludedPersonIds(&settings), std::vector<int>{7});
    settings.setInteger(kExcludedPersonCount, INT_MAX);
    EXPECT_EQ(SettingsStore::excludedPersonIds(&settings), (std::vector<int>{7, 8}));
    settings.setInteger(kExcludedNumberCount, -1);
    EXPECT_TRUE(SettingsStore::excludedNumbers(&settings).empty());
    settings.setInteger(kExcludedNumberCount, 1);
    settings.setInteger("epersonNA0", 5551234);
    EXPECT_EQ(SettingsStore::excludedNumbers(&settings), std::vector<std::string>{"5551234"});
}

TEST_F(SettingsStoreTest, WritingShorterListsRemovesStaleEntries) {
    PropertyList settings;
    SettingsStore::setExcludedPersonIds(settings, {11, 12, 13});
    SettingsStore::setExcludedNumbers(settings, {"1", "2", "3", "4"});
    settings.setInteger("eperson9", 99);  // left by a foreign writer beyond a gap
    settings.setString("eperson01", "not a numbered key");

    SettingsStore::setExcludedPersonIds(settings, {21});
    EXPECT_EQ(settings.integerValue(kExcludedPersonCount), 1);
    EXPECT_EQ(SettingsStore::excludedPersonIds(&settings), std::vector<int>{21});
    for (const char* stale : {"eperson1", "eperson2", "eperson9"}) EXPECT_FALSE(settings.contains(stale)) << stale;
    EXPECT_TRUE(settings.contains("eperson01"));
    EXPECT_EQ(SettingsStore::excludedNumbers(&settings), (std::vector<std::string>{"1", "2", "3", "4"}));

    SettingsStore::setExcludedNumbers(settings, {});
    EXPECT_EQ(settings.integerValue(kExcludedNumberCount, -1), 0);
    for (const char* stale : {"epersonNA0", "epersonNA3"}) EXPECT_FALSE(settings.contains(stale)) << stale;
    EXPECT_TRUE(settings.contains(kExcludedNumberCount));
    EXPECT_EQ(SettingsStore::excludedPersonIds(&settings), std::vector<int>{21});
}

// Two processes updating at once must not undo each other's keys: each
// update reads, changes and writes the whole file, so without the data lock
// a write based on an older read silently drops the other's new keys.
TEST_F(SettingsStoreTest, ConcurrentUpdatesFromTwoProcessesLoseNothing) {
    writeSettings(PropertyList());
    constexpr int kUpdates = 200;
    auto writer = [](char prefix) {
        const pid_t child = ::fork();
        if (child != 0) return child;
        for (int i = 0; i < kUpdates; ++i) {
            const std::string key = prefix + std::to_string(i);
            if (!SettingsStore::update([&](PropertyList& s) { s.setInteger(key, i); })) ::_exit(1);
        }
        ::_exit(0);
    };
    const pid_t first = writer('a');
    const pid_t second = writer('b');
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    for (pid_t child : {first, second}) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const PropertyList loaded = reloaded();
    int missing = 0;
    for (char prefix : {'a', 'b'})
        for (int i = 0; i < kUpdates; ++i) missing += loaded.contains(prefix + std::to_string(i)) ? 0 : 1;
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(loaded.size(), 2u * kUpdates);
}

}  // namespace
