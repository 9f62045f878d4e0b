// Runs the built `brindlex-phone import-backup` on backups laid out as
// idevicebackup2 writes them and checks the device root it leaves, the
// backup it must not touch, and the counts a sync then makes.
#include "common/MarkerSync.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "platform/SystemVersion.h"
#include "support/ProgramRun.h"
#include "support/TempDeviceRoot.h"
#include "tools/BackupScenario.h"
#include "tools/SmsReadBack.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace backup_scenario;

namespace {

std::string phoneBinary() { return ProgramRun::beside("brindlex-phone"); }

class ImportBackupCommandTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(phoneBinary())) << phoneBinary(); }

    // No session bus: the import must stand on its own. The D-Bus suites run
    // the notification against a bus of their own.
    ProgramRun phone(const std::string& arguments) {
        return ProgramRun::of("brindlex-phone", arguments, scratch_,
                              "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus ");
    }

    ProgramRun import(const std::string& arguments) { return phone("import-backup " + arguments); }

    static long long counted() {
        return sms_read_back::scalar(DevicePaths::counterDatabase(), "select count(*) from message").value_or(-1);
    }

    static std::int64_t marker(const char* key) {
        const auto settings = PropertyList::readFromFile(DevicePaths::settingsFile());
        return settings ? settings->integerValue(key, -1) : -1;
    }

    TempDeviceRoot scratchRoot_;
    std::string scratch_ = scratchRoot_.path();
    std::string parent_ = scratch_ + "/iphone-backup";
    TempDeviceRoot root_;  // made last: its BRINDLEX_DEVICE_ROOT is in force
};

TEST_F(ImportBackupCommandTest, ModernBackupFillsTheDeviceRootAndStaysUntouched) {
    const BackupFixture backup = make(parent_, kPhoneA);
    const auto before = snapshot(parent_);

    const ProgramRun run = import("'" + parent_ + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Anna's iPhone"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("no session bus"), std::string::npos) << run.err;

    EXPECT_EQ(slurp(DevicePaths::smsDatabase()),
              slurp(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath)));
    EXPECT_EQ(slurp(DevicePaths::addressBook()),
              slurp(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kAddressBookPath)));
    EXPECT_EQ(SystemVersion::systemVersion(), "12.5.7");
    const auto record = PropertyList::readFromFile(DevicePaths::dataDirectory() + "/phone.plist");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->stringValue("UniqueIdentifier"), kPhoneA);
    // Seeded as the programs seed it, and nothing temporary left over.
    EXPECT_TRUE(fs::exists(DevicePaths::settingsFile()));
    EXPECT_TRUE(fs::exists(DevicePaths::counterDatabase(true)));
    for (const auto& entry : snapshot(root_.path()))
        for (const char* leftover : {".importing-", ".replaced-", ".removed-"})
            EXPECT_EQ(entry.first.find(leftover), std::string::npos) << entry.first;

    // The backup, Manifest.db opened and all, is byte for byte as it was.
    EXPECT_EQ(snapshot(parent_), before);
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counted(), 3);
}

TEST_F(ImportBackupCommandTest, BackupBeforeIos10WithoutManifestDatabase) {
    const BackupFixture backup = make(parent_, kPhoneA,
                                      {.layout = BackupFixture::Layout::Flat,
                                       .format = BackupFixture::PlistFormat::Binary,
                                       .addressBook = false,
                                       .productVersion = "9.3.5"});
    const ProgramRun run = import("'" + backup.folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("no address book"), std::string::npos) << run.out;
    EXPECT_EQ(slurp(DevicePaths::smsDatabase()),
              slurp(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath)));
    EXPECT_FALSE(fs::exists(DevicePaths::addressBook()));
    EXPECT_EQ(SystemVersion::systemVersion(), "9.3.5");
}

TEST_F(ImportBackupCommandTest, SeveralPhonesNeedUdid) {
    make(parent_, kPhoneA);
    make(parent_, kPhoneB, {.messageCount = 5, .deviceName = "Work phone"});
    ProgramRun run = import("'" + parent_ + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(kPhoneA), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(kPhoneB), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(DevicePaths::smsDatabase()));

    run = import("'" + parent_ + "' --udid " + kPhoneB);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 5);
}

TEST_F(ImportBackupCommandTest, RefusalsSayWhatToDoAndLeaveTheRootAlone) {
    BackupFixture encrypted = make(parent_ + "/encrypted", kPhoneA);
    ASSERT_TRUE(encrypted.markEncrypted());
    BackupFixture scrambled = make(parent_ + "/scrambled", kPhoneA);
    ASSERT_TRUE(scrambled.scrambleManifestDatabase());
    for (const BackupFixture* backup : {&encrypted, &scrambled}) {
        const ProgramRun run = import("'" + backup->folder() + "'");
        EXPECT_EQ(run.status, 1) << backup->folder();
        EXPECT_NE(run.err.find("idevicebackup2 encryption off PASSWORD"), std::string::npos) << run.err;
    }

    BackupFixture noMessages(parent_ + "/no-sms/" + kPhoneA, BackupFixture::Layout::Manifest);
    ASSERT_TRUE(noMessages.create({kPhoneA}));
    ProgramRun run = import("'" + noMessages.folder() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("holds no messages"), std::string::npos) << run.err;

    BackupFixture missing = make(parent_ + "/missing", kPhoneA);
    fs::remove(missing.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath));
    run = import("'" + missing.folder() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is missing"), std::string::npos) << run.err;

    // Nothing of the refused imports reached the root.
    EXPECT_TRUE(fs::is_empty(root_.path()));
}

TEST_F(ImportBackupCommandTest, AnotherPhoneIsRefusedUnlessForced) {
    ASSERT_EQ(import("'" + make(parent_ + "/a", kPhoneA).folder() + "'").status, 0);
    MarkerSync::syncWithStoredMarkers();
    ASSERT_EQ(counted(), 3);
    const auto before = snapshot(root_.path());

    const std::string other = make(parent_ + "/b", kPhoneB, {.messageCount = 2}).folder();
    ProgramRun run = import("'" + other + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(kPhoneA), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--force"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(root_.path()), before);

    run = import("--force '" + other + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    // The first phone's counts are kept aside; the second is counted whole.
    bool kept = false;
    for (const auto& entry : fs::directory_iterator(DevicePaths::dataDirectory()))
        kept |= entry.path().filename().string().find(kPhoneA) != std::string::npos;
    EXPECT_TRUE(kept);
    EXPECT_EQ(marker(SettingsKeys::kLastSyncReceived), 0);
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counted(), 2);
}

TEST_F(ImportBackupCommandTest, NewerBackupOfTheSamePhoneCountsNothingTwice) {
    ASSERT_EQ(import("'" + make(parent_ + "/monday", kPhoneA).folder() + "'").status, 0);
    MarkerSync::syncWithStoredMarkers();
    ASSERT_EQ(counted(), 3);
    const std::int64_t received = marker(SettingsKeys::kLastSyncReceived);
    const std::int64_t sent = marker(SettingsKeys::kLastSyncSent);
    ASSERT_GT(received, kFirstDate);

    // The same three messages and two newer ones; the phone was updated too.
    const ProgramRun run = import(
        "'" + make(parent_ + "/friday", kPhoneA, {.messageCount = 5, .productVersion = "12.5.8"}).folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(marker(SettingsKeys::kLastSyncReceived), received);
    EXPECT_EQ(marker(SettingsKeys::kLastSyncSent), sent);
    EXPECT_EQ(SystemVersion::systemVersion(), "12.5.8");
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counted(), 5);
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counted(), 5);
}

TEST_F(ImportBackupCommandTest, FailureLeavesTheRootAsItWas) {
    ASSERT_EQ(import("'" + make(parent_ + "/first", kPhoneA).folder() + "'").status, 0);
    const auto before = snapshot(root_.path());

    // Fails while staging: the address book is listed but gone.
    BackupFixture broken = make(parent_ + "/broken", kPhoneA, {.messageCount = 7});
    fs::remove(broken.pathOf(BackupFixture::kHomeDomain, BackupFixture::kAddressBookPath));
    EXPECT_EQ(import("'" + broken.folder() + "'").status, 1);
    EXPECT_EQ(snapshot(root_.path()), before);

    // Fails while committing, after sms.db was replaced: a folder stands
    // where the address book goes, so sms.db has to be put back.
    fs::remove(DevicePaths::addressBook());
    fs::create_directories(DevicePaths::addressBook() + "/in-the-way");
    const auto blocked = snapshot(root_.path());
    const ProgramRun run = import("'" + make(parent_ + "/later", kPhoneA, {.messageCount = 7}).folder() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("AddressBook.sqlitedb"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(root_.path()), blocked);
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 3);
}

TEST_F(ImportBackupCommandTest, WrongArgumentsPrintUsage) {
    for (const char* wrong : {"import-backup", "import-backup --udid", "import-backup a b", "import-backup --bogus a",
                              "import-backup a --udid="}) {
        const ProgramRun run = phone(wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_NE(run.err.find("import-backup DIR [--udid UDID] [--force]"), std::string::npos) << wrong;
    }
    const ProgramRun help = phone("help");
    EXPECT_NE(help.out.find("import-backup DIR"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(root_.path()));
}

}  // namespace
