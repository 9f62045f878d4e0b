#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "common/SmsHelper.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "support/CapturedStderr.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// A phone of today's kind (the newer counter database), seeded.
class FailureLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), "6.1.3", &error)) << error;
        Seeding::copyIfNeeded();
        ASSERT_TRUE(counter_.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
    }

    TempDeviceRoot root_;
    SqliteDatabase counter_;
};

TEST_F(FailureLogTest, AFailedDeleteSaysWhatItWasDoingAndWhy) {
    ASSERT_TRUE(counter_.exec("DROP TABLE message"));
    bool deleted = true;
    const std::string log = stderrOf([&] { deleted = SmsHelper::deleteRow(1); });
    EXPECT_FALSE(deleted);
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_NE(log.find("deleting a message"), std::string::npos) << log;
    EXPECT_NE(log.find("no such table: message"), std::string::npos) << log;

    // Clear DB rolls back and says so once as well.
    const std::string clearLog = stderrOf([&] { deleted = SmsHelper::clearDB(); });
    EXPECT_FALSE(deleted);
    EXPECT_EQ(lineCount(clearLog), 1) << clearLog;
    EXPECT_NE(clearLog.find("clearing"), std::string::npos) << clearLog;
}

TEST_F(FailureLogTest, AGroupCountWhosePerAddressQueryFailsWritesOneLineNotOnePerAddress) {
    // The address list still reads, but every per-address count lacks a column.
    ASSERT_TRUE(
        counter_.exec("DROP TABLE message; CREATE TABLE message (address TEXT, date INTEGER, flags INTEGER, "
                      "smscount INTEGER, type TEXT);"));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(
            counter_.exec("INSERT INTO message VALUES ('+1415555010" + std::to_string(i) + "', 1000, 2, 1, 'SMS')"));
    std::vector<Person> persons;
    std::vector<int> counts;
    const std::string log = stderrOf([&] { SmsHelper::countIncomingGroupFrom(0, 2000, persons, counts, nullptr); });
    EXPECT_EQ(persons.size(), 5u);
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_NE(log.find("counting"), std::string::npos) << log;
    EXPECT_NE(log.find("no such column: text"), std::string::npos) << log;
}

// The counts a program shows hand their failure back for the program to
// report (the badge daemon's warning, the report's error, the app's alert);
// they write nothing themselves, so a failure is said once, by its reader.
TEST_F(FailureLogTest, ADamagedCounterDatabaseIsHandedBackByTheCountThatMeetsIt) {
    counter_.close();
    {
        std::FILE* file = std::fopen(PhoneProfile::find().counterDatabase().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const std::string garbage(8192, '\x01');
        std::fwrite(garbage.data(), 1, garbage.size(), file);
        std::fclose(file);
    }
    Counted<int> badge = 0;
    const std::string log = stderrOf([&] { badge = SmsHelper::countBadgeFrom(0, nullptr, BadgeType::Sent, 0); });
    EXPECT_FALSE(badge.ok());
    EXPECT_NE(badge.failure().find("file is not a database"), std::string::npos) << badge;
    EXPECT_EQ(log, "");
}

TEST_F(FailureLogTest, ASyncFromAnSmsDatabaseOfNoKnownLayoutSaysSo) {
    fs::remove(DevicePaths::smsDatabase());
    SqliteDatabase sms;
    ASSERT_TRUE(sms.open(DevicePaths::smsDatabase(), SqliteDatabase::Mode::ReadWriteCreate));
    ASSERT_TRUE(sms.exec("CREATE TABLE notes (body TEXT)"));
    std::vector<std::int64_t> markers;
    SyncStatus status = SyncStatus::Ok;
    const std::string log = stderrOf([&] { status = SmsHelper::copyRMessagesFrom(0, 0, markers); });
    EXPECT_EQ(status, SyncStatus::CannotReadSmsDatabase);
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_NE(log.find("syncing: reading the messages of " + DevicePaths::smsDatabase()), std::string::npos) << log;
    EXPECT_NE(log.find("none of the known"), std::string::npos) << log;
}

}  // namespace
