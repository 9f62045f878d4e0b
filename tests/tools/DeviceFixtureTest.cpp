#include "common/PhoneProfile.h"
#include "tools/fixtures/DeviceFixture.h"

#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(DeviceFixtureTest, LaysOutTheRootWherePlatformPathsLook) {
    TempDeviceRoot root;
    std::string error;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "5.1.1", &error)) << error;

    EXPECT_EQ(DeviceFixture::systemVersionPlist(root.path()), DevicePaths::systemVersionPlist());
    EXPECT_EQ(DeviceFixture::dataDirectory(root.path()), DevicePaths::dataDirectory());
    EXPECT_EQ(DeviceFixture::smsDatabase(root.path()), DevicePaths::smsDatabase());
    EXPECT_EQ(DeviceFixture::addressBook(root.path()), DevicePaths::addressBook());
    EXPECT_EQ(DeviceFixture::documentsDirectory(root.path()), DevicePaths::mobileHome() + "/Documents");

    EXPECT_TRUE(fs::is_directory(DevicePaths::dataDirectory()));
    EXPECT_TRUE(fs::is_directory(DevicePaths::mobileHome() + "/Documents"));
    EXPECT_TRUE(fs::is_regular_file(DevicePaths::addressBook()));
    EXPECT_EQ(SystemVersion::systemVersion(), "5.1.1");
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).detectSchema(), SmsSchema::Old);
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 0);
    // The programs seed these themselves from the app bundle.
    EXPECT_TRUE(fs::is_empty(DevicePaths::dataDirectory()));
}

TEST(DeviceFixtureTest, SchemaFollowsTheVersionRule) {
    EXPECT_EQ(DeviceFixture::schemaForVersion("6.1.3"), SmsSchema::New);
    EXPECT_EQ(DeviceFixture::schemaForVersion("6.0"), SmsSchema::New);
    EXPECT_EQ(DeviceFixture::schemaForVersion("5.1.1"), SmsSchema::Old);
    EXPECT_EQ(DeviceFixture::schemaForVersion("garbage"), SmsSchema::Old);

    TempDeviceRoot root;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.1.3"));
    EXPECT_TRUE(PhoneProfile::find().isSixOrLater());
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).detectSchema(), SmsSchema::New);
}

TEST(DeviceFixtureTest, RerunningKeepsDataAndOnlyChangesTheVersion) {
    TempDeviceRoot root;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "5.1.1"));
    SmsDatabaseFixture sms(DevicePaths::smsDatabase());
    ASSERT_GT(sms.storeMessage({"+14155550100", "hi", 1370000000, false, "SMS"}), 0);

    // An upgrade: the phone's old messages stay in the old layout.
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.1.3"));
    EXPECT_EQ(SystemVersion::systemVersion(), "6.1.3");
    EXPECT_EQ(sms.detectSchema(), SmsSchema::Old);
    EXPECT_EQ(sms.messageCount(), 1);

    // With sms.db gone, the next run makes one for the current version.
    fs::remove(DevicePaths::smsDatabase());
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.1.3"));
    EXPECT_EQ(sms.detectSchema(), SmsSchema::New);
}

TEST(DeviceFixtureTest, ReportsWhatCannotBeCreated) {
    std::string error;
    EXPECT_FALSE(DeviceFixture::createDeviceRoot("", "6.1.3", &error));
    EXPECT_FALSE(error.empty());

    // A plain file where a directory of the root should go.
    TempDeviceRoot root;
    const std::string blocked = root.path() + "/blocked";
    std::ofstream(blocked).put('x');
    EXPECT_FALSE(DeviceFixture::createDeviceRoot(blocked + "/device", "6.1.3", &error));
    EXPECT_NE(error.find(blocked), std::string::npos) << error;
}

}  // namespace

namespace {

TEST(DeviceFixtureTest, ModernVersionsGetTheColumnSetOfTheirMajorVersion) {
    const struct {
        const char* version;
        SmsColumnSet columnSet;
    } cases[] = {{"6.1.3", SmsColumnSet::Ios6},  {"7.1.2", SmsColumnSet::Ios10}, {"10.3.4", SmsColumnSet::Ios10},
                 {"11.4", SmsColumnSet::Ios14},  {"14.3", SmsColumnSet::Ios14},  {"16.0", SmsColumnSet::Ios17},
                 {"17.5.1", SmsColumnSet::Ios17}};
    for (const auto& c : cases) {
        TempDeviceRoot root;
        std::string error;
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), c.version, &error)) << c.version << ": " << error;
        EXPECT_EQ(SystemVersion::systemVersion(), c.version);
        EXPECT_EQ(DeviceFixture::schemaForVersion(c.version), SmsSchema::New);
        EXPECT_EQ(DeviceFixture::columnSetForVersion(c.version), c.columnSet);
        SmsDatabaseFixture sms(DevicePaths::smsDatabase());
        EXPECT_EQ(sms.detectSchema(), SmsSchema::New) << c.version;
        EXPECT_EQ(sms.detectColumnSet(), c.columnSet) << c.version;
    }
    EXPECT_EQ(DeviceFixture::columnSetForVersion("5.1.1"), std::nullopt);
}

TEST(DeviceFixtureTest, AnUpgradedModernPhoneKeepsItsFile) {
    TempDeviceRoot root;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "14.3"));
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "17.5.1"));
    EXPECT_EQ(SystemVersion::systemVersion(), "17.5.1");
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).detectColumnSet(), SmsColumnSet::Ios14);
}

}  // namespace
