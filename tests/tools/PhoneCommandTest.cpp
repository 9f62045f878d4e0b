// Runs the built brindlex-phone the way a person or a script does, and
// checks its exit statuses, its output and what it leaves in the device root.
#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"
#include "support/ProgramRun.h"
#include "support/TempDeviceRoot.h"
#include "tools/SmsReadBack.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string binaryBesideThisTest() { return ProgramRun::beside("brindlex-phone"); }

class PhoneCommandTest : public ::testing::Test {
protected:
    // The device root comes from the environment the child inherits.
    ProgramRun phone(const std::string& arguments) { return ProgramRun::of("brindlex-phone", arguments, scratch_); }

    void SetUp() override { ASSERT_TRUE(std::filesystem::exists(binaryBesideThisTest())) << binaryBesideThisTest(); }

    // The output files live apart from the device root. The root is made
    // last, so its BRINDLEX_DEVICE_ROOT is the one in force.
    TempDeviceRoot scratchRoot_;
    TempDeviceRoot root_;
    std::string scratch_ = scratchRoot_.path();
};

TEST_F(PhoneCommandTest, InitCreatesTheRootForTheDefaultOrGivenVersion) {
    ProgramRun run = phone("init");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(root_.path()), std::string::npos) << run.out;
    EXPECT_EQ(SystemVersion::systemVersion(), "6.1.3");
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).detectSchema(), SmsSchema::New);

    run = phone("init --version 5.1.1");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SystemVersion::systemVersion(), "5.1.1");
    run = phone("init --version=4.3.5");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SystemVersion::systemVersion(), "4.3.5");
}

TEST_F(PhoneCommandTest, DemoFillsTheRootOnceAndSaysHowMuch) {
    ProgramRun run = phone("demo");
    ASSERT_EQ(run.status, 0) << run.err;
    const long long messages = SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount();
    const auto contacts = AddressBookFixture(DevicePaths::addressBook()).contacts().size();
    EXPECT_GT(messages, 3000);
    EXPECT_NE(run.out.find(std::to_string(messages) + " messages"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(std::to_string(contacts) + " contacts"), std::string::npos) << run.out;
    EXPECT_EQ(SystemVersion::systemVersion(), "6.1.3");

    run = phone("demo");
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), messages);
}

TEST_F(PhoneCommandTest, HelpGoesToStandardOutputMistakesToStandardError) {
    for (const char* help : {"help", "--help", "init --help"}) {
        ProgramRun run = phone(help);
        EXPECT_EQ(run.status, 0) << help;
        EXPECT_NE(run.out.find("usage:"), std::string::npos) << help;
        EXPECT_TRUE(run.err.empty()) << help;
    }
    for (const char* wrong : {"", "bogus", "init --bogus", "init --version", "init 5.1.1", "demo now"}) {
        ProgramRun run = phone(wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << wrong;
        EXPECT_TRUE(run.out.empty()) << wrong;
    }
    // None of the mistakes created anything.
    EXPECT_FALSE(std::filesystem::exists(DevicePaths::smsDatabase()));
}

TEST_F(PhoneCommandTest, FailureIsReportedWithStatusOne) {
    const std::string blocked = root_.path() + "/file";
    std::ofstream(blocked).put('x');
    ::setenv("BRINDLEX_DEVICE_ROOT", (blocked + "/device").c_str(), 1);
    ProgramRun run = phone("init");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(blocked), std::string::npos) << run.err;
}

}  // namespace

namespace {

class ModernPhoneCommandTest : public PhoneCommandTest {
protected:
    // The same run with no session bus in the environment.
    ProgramRun phoneWithoutBus(const std::string& arguments) {
        return ProgramRun::of("brindlex-phone", arguments, scratch_, "env -u DBUS_SESSION_BUS_ADDRESS ");
    }
};

// A modern phone stores what the simulator receives and sends the way that
// version does. Without a session bus the message is still stored.
TEST_F(ModernPhoneCommandTest, ReceiveAndSendStoreRowsAsAModernPhoneDoes) {
    ProgramRun run = phone("init --version 14.3");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("system version 14.3, sms.db of phones 11 to 15"), std::string::npos) << run.out;
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).detectColumnSet(), SmsColumnSet::Ios14);

    const auto before = static_cast<std::int64_t>(std::time(nullptr));
    for (const char* command : {"receive +14155550100 'See you at eight'", "send +14155550100 'On my way'"}) {
        run = phoneWithoutBus(command);
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.err;
    }
    const auto after = static_cast<std::int64_t>(std::time(nullptr));

    const std::string sms = DevicePaths::smsDatabase();
    auto value = [&](const std::string& sql) { return sms_read_back::scalar(sms, sql).value_or(-1); };
    EXPECT_EQ(value("SELECT COUNT(*) FROM message"), 2);
    EXPECT_EQ(value("SELECT handle_id FROM message WHERE is_from_me = 1"), 0);
    EXPECT_GT(value("SELECT handle_id FROM message WHERE is_from_me = 0"), 0);
    EXPECT_EQ(value("SELECT COUNT(*) FROM chat WHERE guid = 'SMS;-;+14155550100' AND style = 45"), 1);
    EXPECT_EQ(value("SELECT COUNT(*) FROM chat_message_join"), 2);
    const std::int64_t unix = value("SELECT MAX(date) FROM message") / 1000000000 + 978307200;
    EXPECT_GE(unix, before);
    EXPECT_LE(unix, after);
}

TEST_F(ModernPhoneCommandTest, DemoFillsAPhoneOfEveryGeneration) {
    for (const char* version : {"10.3.4", "17.5.1"}) {
        std::filesystem::remove(DevicePaths::smsDatabase());
        ProgramRun run = phone(std::string("init --version ") + version);
        ASSERT_EQ(run.status, 0) << run.err;
        run = phone("demo");
        EXPECT_EQ(run.status, 0) << version << ": " << run.err;
        EXPECT_GT(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 4000) << version;
    }
}

}  // namespace
