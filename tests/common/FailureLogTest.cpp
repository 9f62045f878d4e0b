#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "common/CounterStore.h"
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
    const std::string log = stderrOf([&] { deleted = CounterStore::forCurrentPhone().deleteRow(1); });
    EXPECT_FALSE(deleted);
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_NE(log.find("deleting a message"), std::string::npos) << log;
    EXPECT_NE(log.find("no such table: message"), std::string::npos) << log;

    // Clear DB rolls back and says so once as well.
    const std::string clearLog = stderrOf([&] { deleted = CounterStore::forCurrentPhone().clearDB(); });
    EXPECT_FALSE(deleted);
    EXPECT_EQ(lineCount(clearLog), 1) << clearLog;
    EXPECT_NE(clearLog.find("clearing"), std::string::npos) << clearLog;
}

// A group count reads every address of the period in one pass; a table it
// cannot read is one failure handed back with its reason, written nowhere
// (neither once per address nor once by the store: its caller reports it),
// and the arrays stay as they were rather than looking like nobody.
TEST_F(FailureLogTest, AGroupCountThatCannotReadTheRowsHandsBackOneFailureAndWritesNothing) {
    ASSERT_TRUE(
        counter_.exec("DROP TABLE message; CREATE TABLE message (address TEXT, date INTEGER, flags INTEGER, "
                      "text TEXT, type TEXT);"));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(
            counter_.exec("INSERT INTO message VALUES ('+1415555010" + std::to_string(i) + "', 1000, 2, 'x', 'SMS')"));
    std::vector<Person> persons{Person::bareNumber("+14155550199", -1)};
    std::vector<int> counts{7};
    Counted<int> grouped = 0;
    const std::string log = stderrOf(
        [&] { grouped = CounterStore::forCurrentPhone().countIncomingGroupFrom(0, 2000, persons, counts, nullptr); });
    ASSERT_FALSE(grouped.ok());
    EXPECT_NE(grouped.failure().find("no such column: smscount"), std::string::npos) << grouped;
    EXPECT_EQ(persons.size(), 1u);
    EXPECT_EQ(counts, std::vector<int>{7});
    EXPECT_EQ(lineCount(log), 0) << log;
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
    const std::string log =
        stderrOf([&] { badge = CounterStore::forCurrentPhone().countBadgeFrom(0, nullptr, BadgeType::Sent, 0); });
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
    const std::string log =
        stderrOf([&] { status = CounterStore::forCurrentPhone().copyRMessagesFrom(0, 0, markers); });
    EXPECT_EQ(status, SyncStatus::CannotReadSmsDatabase);
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_NE(log.find("syncing: reading the messages of " + DevicePaths::smsDatabase()), std::string::npos) << log;
    EXPECT_NE(log.find("none of the known"), std::string::npos) << log;
}

}  // namespace
