// The backup lookup on its own: which folder a path names, how a phone file
// is found with and without Manifest.db, and what is refused.
#include "support/TempDeviceRoot.h"
#include "tools/BackupScenario.h"
#include "tools/phone/BackupFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace backup_scenario;

namespace {

constexpr const char* kSmsId = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
constexpr const char* kAddressBookId = "31bb7ba8914766d4ba40d6dfb6113c8b614be442";

class BackupFolderTest : public ::testing::Test {
protected:
    std::optional<BackupFolder> open(const std::string& directory, const std::string& udid = {}) {
        error_.clear();
        return BackupFolder::open(directory, udid, &error_);
    }

    std::optional<std::string> findSms(const BackupFolder& backup) {
        return backup.find(BackupFolder::kHomeDomain, BackupFolder::kSmsDatabasePath, &error_);
    }

    TempDeviceRoot scratch_;
    std::string parent_ = scratch_.path() + "/backups";
    std::string error_;
};

TEST_F(BackupFolderTest, FileIdsAreTheSha1OfDomainDashPath) {
    EXPECT_EQ(BackupFolder::fileId("HomeDomain", "Library/SMS/sms.db"), kSmsId);
    EXPECT_EQ(BackupFolder::fileId("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb"), kAddressBookId);
    EXPECT_EQ(BackupFixture::fileId("HomeDomain", "Library/SMS/sms.db"), kSmsId);

    EXPECT_TRUE(BackupFolder::isFileId(kSmsId));
    EXPECT_TRUE(BackupFolder::isFileId("3D0D7E5FB2CE288813306E4D4636395E047A3D28"));
    for (const char* wrong :
         {"", "3d0d7e5fb2ce288813306e4d4636395e047a3d2", "3d0d7e5fb2ce288813306e4d4636395e047a3d28a",
          "../../../../../../../../../../etc/passwd", "3d0d7e5fb2ce288813306e4d4636395e047a3d2g"})
        EXPECT_FALSE(BackupFolder::isFileId(wrong)) << wrong;
}

TEST_F(BackupFolderTest, FindsFilesThroughManifestDatabaseInTwoDigitFolders) {
    const BackupFixture fixture = make(parent_, kPhoneA, {.format = BackupFixture::PlistFormat::Binary});
    const auto backup = open(fixture.folder());
    ASSERT_TRUE(backup) << error_;
    EXPECT_TRUE(backup->hasManifestDatabase());
    EXPECT_EQ(backup->phone().udid, kPhoneA);
    EXPECT_EQ(backup->phone().deviceName, "Anna's iPhone");
    EXPECT_EQ(backup->phone().productVersion, "12.5.7");

    EXPECT_EQ(findSms(*backup), fs::canonical(fixture.folder() + "/3d/" + kSmsId).string());
    EXPECT_EQ(backup->find(BackupFolder::kHomeDomain, BackupFolder::kAddressBookPath, &error_),
              fs::canonical(fixture.folder() + "/31/" + kAddressBookId).string());
    // Not in the backup: no file and no error.
    EXPECT_FALSE(backup->find("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata", &error_));
    EXPECT_TRUE(error_.empty()) << error_;
}

TEST_F(BackupFolderTest, ManifestDatabaseIsReadWithoutLeavingAnythingBeside) {
    const BackupFixture fixture = make(parent_, kPhoneA);
    const auto before = snapshot(fixture.folder());
    const auto backup = open(fixture.folder());
    ASSERT_TRUE(backup) << error_;
    ASSERT_TRUE(findSms(*backup)) << error_;
    EXPECT_FALSE(fs::exists(fixture.manifestDatabase() + "-wal"));
    EXPECT_FALSE(fs::exists(fixture.manifestDatabase() + "-shm"));
    EXPECT_EQ(snapshot(fixture.folder()), before);
}

TEST_F(BackupFolderTest, FindsFilesByTheirFixedNamesWithoutManifestDatabase) {
    const BackupFixture flat =
        make(parent_, kPhoneA, {.layout = BackupFixture::Layout::Flat, .productVersion = "9.3.5"});
    auto backup = open(flat.folder());
    ASSERT_TRUE(backup) << error_;
    EXPECT_FALSE(backup->hasManifestDatabase());
    EXPECT_EQ(findSms(*backup), fs::canonical(flat.folder() + "/" + kSmsId).string());

    // A pre-iOS-10 backup whose files someone moved into two-digit folders.
    fs::create_directories(flat.folder() + "/3d");
    fs::rename(flat.folder() + "/" + kSmsId, flat.folder() + "/3d/" + kSmsId);
    EXPECT_EQ(findSms(*backup), fs::canonical(flat.folder() + "/3d/" + kSmsId).string());
    fs::remove(flat.folder() + "/3d/" + kSmsId);
    EXPECT_FALSE(findSms(*backup));
    EXPECT_TRUE(error_.empty()) << error_;
}

TEST_F(BackupFolderTest, ParentFolderWithOneBackupOrAChosenOne) {
    make(parent_, kPhoneA);
    auto backup = open(parent_);
    ASSERT_TRUE(backup) << error_;
    EXPECT_EQ(backup->phone().udid, kPhoneA);

    make(parent_, kPhoneB, {.deviceName = "Work phone", .productVersion = "17.5"});
    EXPECT_FALSE(open(parent_));
    EXPECT_NE(error_.find("--udid"), std::string::npos) << error_;
    EXPECT_NE(error_.find(std::string(kPhoneA) + " (Anna's iPhone, iOS 12.5.7)"), std::string::npos) << error_;
    EXPECT_NE(error_.find(std::string(kPhoneB) + " (Work phone, iOS 17.5)"), std::string::npos) << error_;

    backup = open(parent_, "00008101-000c19d02e91003a");  // case does not matter
    ASSERT_TRUE(backup) << error_;
    EXPECT_EQ(backup->phone().udid, kPhoneB);
    EXPECT_FALSE(open(parent_, "00000000-0000000000000000"));
    EXPECT_NE(error_.find(kPhoneA), std::string::npos) << error_;
    // A backup folder given directly must be the phone asked for.
    EXPECT_FALSE(open(parent_ + "/" + kPhoneA, kPhoneB));
    EXPECT_TRUE(open(parent_ + "/" + kPhoneA, kPhoneA)) << error_;

    // A folder copied under another name is found by what its Info.plist says.
    fs::rename(parent_ + "/" + kPhoneB, parent_ + "/copied-from-laptop");
    backup = open(parent_, kPhoneB);
    ASSERT_TRUE(backup) << error_;
    EXPECT_EQ(backup->phone().udid, kPhoneB);
}

TEST_F(BackupFolderTest, FolderWithoutBackupSaysHowToMakeOne) {
    fs::create_directories(parent_ + "/empty");
    EXPECT_FALSE(open(parent_));
    EXPECT_NE(error_.find("idevicebackup2 backup --full"), std::string::npos) << error_;
    EXPECT_FALSE(open(parent_ + "/missing"));
    EXPECT_NE(error_.find("no such folder"), std::string::npos) << error_;
}

TEST_F(BackupFolderTest, EncryptedBackupsAreRefusedWithTheWayOut) {
    BackupFixture marked = make(parent_, kPhoneA);
    ASSERT_TRUE(marked.markEncrypted(BackupFixture::PlistFormat::Binary));
    EXPECT_FALSE(open(marked.folder()));
    EXPECT_NE(error_.find("encrypted"), std::string::npos) << error_;
    EXPECT_NE(error_.find("--password-file FILE"), std::string::npos) << error_;

    // Since iOS 10.2 Manifest.db itself is ciphertext, whatever the plist says.
    BackupFixture scrambled = make(parent_, kPhoneB);
    ASSERT_TRUE(scrambled.scrambleManifestDatabase());
    EXPECT_FALSE(open(scrambled.folder()));
    EXPECT_NE(error_.find("not a database"), std::string::npos) << error_;
    EXPECT_NE(error_.find("--password-file FILE"), std::string::npos) << error_;
}

TEST_F(BackupFolderTest, ListedFileMissingOnDiskIsAnError) {
    BackupFixture fixture = make(parent_, kPhoneA, {.addressBook = false});
    ASSERT_TRUE(fixture.listFile(BackupFixture::kHomeDomain, BackupFixture::kAddressBookPath));
    const auto backup = open(fixture.folder());
    ASSERT_TRUE(backup) << error_;
    EXPECT_FALSE(backup->find(BackupFolder::kHomeDomain, BackupFolder::kAddressBookPath, &error_));
    EXPECT_NE(error_.find(std::string("31/") + kAddressBookId + " is missing"), std::string::npos) << error_;
}

TEST_F(BackupFolderTest, ManifestNamesThatAreNoFileIdsAreRefused) {
    const std::string secret = scratch_.path() + "/secret";
    std::ofstream(secret) << "not the backup's";
    BackupFixture fixture = make(parent_, kPhoneA, {.addressBook = false});
    ASSERT_TRUE(fixture.listFile(BackupFixture::kHomeDomain, BackupFixture::kAddressBookPath, "../../secret"));
    const auto backup = open(fixture.folder());
    ASSERT_TRUE(backup);
    EXPECT_FALSE(backup->find(BackupFolder::kHomeDomain, BackupFolder::kAddressBookPath, &error_));
    EXPECT_NE(error_.find("../../secret"), std::string::npos) << error_;
}

TEST_F(BackupFolderTest, LinksOutOfTheBackupAreNotFollowed) {
    const std::string secret = scratch_.path() + "/secret.db";
    std::ofstream(secret) << "SQLite format 3";
    BackupFixture fixture = make(parent_, kPhoneA);
    const std::string stored = fixture.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath);
    fs::remove(stored);
    fs::create_symlink(secret, stored);
    auto backup = open(fixture.folder());
    ASSERT_TRUE(backup) << error_;
    EXPECT_FALSE(findSms(*backup));
    EXPECT_NE(error_.find("not a file inside the backup"), std::string::npos) << error_;

    // A link that stays inside the backup is just another name.
    fs::remove(stored);
    fs::create_symlink("../ab/ab12000000000000000000000000000000000000", stored);
    EXPECT_EQ(findSms(*backup), fs::canonical(fixture.folder() + "/ab/ab12000000000000000000000000000000000000"));

    // Info.plist linked from elsewhere is refused as well.
    fs::remove(fixture.folder() + "/Info.plist");
    fs::create_symlink(secret, fixture.folder() + "/Info.plist");
    EXPECT_FALSE(open(fixture.folder()));
    EXPECT_NE(error_.find("Info.plist is not a file inside the backup"), std::string::npos) << error_;
}

}  // namespace
