#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "daemon/BadgeEvent.h"
#include "platform/DevicePaths.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// 2013-03-20 12:00 in UTC, which the tests use as local time.
constexpr std::time_t kNow = 1363780800;
constexpr std::time_t kDay = 86400;

long long counterRows() {
    SqliteDatabase db;
    if (!db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly)) return -1;
    SqliteStatement count;
    if (!count.prepare(db, "select count(*) from message") || count.step() != SqliteStatement::Step::Row) return -1;
    return count.columnInt(0);
}

// The event logic on a seeded device, with the waits, the badge and the clock
// as recorders.
class BadgeEventTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), GetParam()));
        Seeding::copyIfNeeded();
    }

    BadgeEvent event() {
        return BadgeEvent(BadgeEvent::Hooks{[this](std::chrono::milliseconds wait) {
                                                waits_.push_back(wait);
                                                return !stopDuringWait_;
                                            },
                                            [this](int value) { badges_.push_back(value); }, [] { return kNow; },
                                            [this](const std::string& problem) { warnings_.push_back(problem); }});
    }
    void message(const std::string& address, std::time_t date, bool sent, const std::string& text = "hello") {
        ASSERT_GE(sms_.storeMessage(FixtureMessage{address, text, date, sent, "SMS"}), 0);
    }
    void settings(const std::function<void(PropertyList&)>& change) { ASSERT_TRUE(SettingsStore::update(change)); }
    int badgeAfterEvent(const std::string& name = "kCTMessageReceivedNotification") {
        badges_.clear();
        event().CTSMSEvent(name);
        return badges_.empty() ? -999 : badges_.back();
    }

    ScopedEnvironment tz_{"TZ", std::string("UTC")};
    TempDeviceRoot root_;
    SmsDatabaseFixture sms_{DevicePaths::smsDatabase()};
    std::vector<std::chrono::milliseconds> waits_;
    std::vector<int> badges_;
    std::vector<std::string> warnings_;
    bool stopDuringWait_ = false;
};

}  // namespace

TEST_P(BadgeEventTest, WaitsByNotificationThenCopiesAndCountsSentByDefault) {
    message("4155550101", kNow - 100, false);
    message("4155550101", kNow - 50, true, std::string(200, 'x'));

    event().CTSMSEvent("");
    event().CTSMSEvent("kCTMessageSentNotification");
    event().CTSMSEvent("kCTMessageReceivedNotification");
    EXPECT_EQ(waits_, (std::vector<std::chrono::milliseconds>{2s, 60s, 2s}));
    EXPECT_EQ(counterRows(), 2);  // copied once, however many events
    // No badgetype yet: 2 (sent) is stored and used; without a period mode
    // the count starts in 1970.
    EXPECT_EQ(badges_, (std::vector<int>{2, 2, 2}));
    auto stored = SettingsStore::load();
    ASSERT_TRUE(stored);
    EXPECT_EQ(SettingsStore::badgeType(&*stored), BadgeType::Sent);
    EXPECT_TRUE(stored->contains("badgetype"));
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*stored), kNow - 99);
}

TEST_P(BadgeEventTest, BadgeTypesQuotaAndPeriodModes) {
    message("4155550101", kNow - 40 * kDay, false);  // before the billing period
    message("4155550101", kNow - 2 * kDay, false);
    message("4155550102", kNow - kDay, true);
    message("4155550102", kNow - kDay + 1, true);

    // Neither mode (the seed's billing day taken out): from 1970.
    settings([](PropertyList& s) {
        s.setInteger("badgetype", 0);
        s.remove("cyclemode");
        s.remove("cycleday");
    });
    EXPECT_EQ(badgeAfterEvent(), 4);
    // Billing day 15 on 20 March: from 15 March.
    settings([](PropertyList& s) {
        s.setString("cyclemode", "Y");
        s.setString("cycleday", "15");
    });
    EXPECT_EQ(badgeAfterEvent(), 3);
    // cyclemode decides even beside a fixed start.
    settings([](PropertyList& s) { s.setDouble("lastfromdate", static_cast<double>(kNow - kDay) + 0.9); });
    EXPECT_EQ(badgeAfterEvent(), 3);
    // Fixed start without cyclemode; the fraction is dropped.
    settings([](PropertyList& s) { s.remove("cyclemode"); });
    EXPECT_EQ(badgeAfterEvent(), 2);

    settings([](PropertyList& s) {
        s.remove("lastfromdate");
        s.setInteger("smsquota", 10);
    });
    const int expected[7] = {4, 2, 2, -999, 6, 8, 8};
    for (int type = 0; type <= 6; ++type) {
        settings([&](PropertyList& s) { s.setInteger("badgetype", type); });
        EXPECT_EQ(badgeAfterEvent(), expected[type]) << "badge type " << type;
    }
    // Badge type 3: still copies, never touches the badge.
    settings([](PropertyList& s) { s.setInteger("badgetype", 3); });
    message("4155550103", kNow, false);
    EXPECT_EQ(badgeAfterEvent(), -999);
    EXPECT_EQ(counterRows(), 5);
}

TEST_P(BadgeEventTest, ExclusionsOfEveryKind) {
    AddressBookFixture book(DevicePaths::addressBook());
    ASSERT_TRUE(book.create());
    const long long anna = book.addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"});
    message("4155550101", kNow, false);  // anna
    message("3125550123", kNow, false);
    message("3125550199", kNow, false);
    message("7185550100", kNow, false);

    settings([&](PropertyList& s) {
        s.setInteger("badgetype", 1);
        s.setInteger("epersoncount", 2);
        s.setInteger("eperson0", anna);
        s.setInteger("eperson1", anna + 77);  // deleted contact: ignored
        s.setInteger("epersoncountNA", 3);
        s.setString("epersonNA0", "3125550199");
        s.setString("epersonNA1", "*123");
        s.setString("epersonNA2", "*");
    });
    EXPECT_EQ(badgeAfterEvent(), 1);

    // A missing numbered key ends the contacts, but the numbers go past it,
    // as the app reads them.
    settings([](PropertyList& s) { s.remove("eperson0"); });
    EXPECT_EQ(badgeAfterEvent(), 2);  // anna's counts again
    settings([&](PropertyList& s) {
        s.setInteger("eperson0", anna);
        s.remove("epersonNA0");
    });
    EXPECT_EQ(badgeAfterEvent(), 2);  // 3125550199 counts again, *123 still excludes
}

TEST_P(BadgeEventTest, NothingHappensWithoutCounterDatabaseOrWhenStopped) {
    message("4155550101", kNow, false);
    stopDuringWait_ = true;
    EXPECT_FALSE(event().CTSMSEvent(""));
    EXPECT_EQ(counterRows(), 0);
    EXPECT_TRUE(badges_.empty());

    stopDuringWait_ = false;
    fs::remove(PhoneProfile::find().counterDatabase());
    EXPECT_TRUE(event().CTSMSEvent(""));
    EXPECT_TRUE(waits_.size() == 1 && badges_.empty());
    EXPECT_FALSE(fs::exists(PhoneProfile::find().counterDatabase()));
}

TEST_P(BadgeEventTest, AnUnreadableSettingsFileStopsTheSyncButNotTheBadge) {
    message("4155550101", kNow, true);
    std::ofstream(DevicePaths::settingsFile(), std::ios::trunc) << "<plist><dict><key>badgetype";
    EXPECT_EQ(badgeAfterEvent(), 0);  // nothing copied, so nothing counted
    EXPECT_EQ(counterRows(), 0);
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_NE(warnings_[0].find("settings"), std::string::npos);

    // A corrupt counter database: no count, so the badge is left alone, and
    // the event says why.
    fs::remove(DevicePaths::settingsFile());
    Seeding::copyIfNeeded();
    std::ofstream(PhoneProfile::find().counterDatabase(), std::ios::trunc) << std::string(8192, '\x03');
    warnings_.clear();
    EXPECT_EQ(badgeAfterEvent(), -999);
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_NE(warnings_[0].find("file is not a database"), std::string::npos) << warnings_[0];
}

INSTANTIATE_TEST_SUITE_P(BothSchemas, BadgeEventTest, ::testing::Values("5.1.1", "6.1.3"),
                         [](const auto& info) { return std::string(info.param[0] == '5' ? "Old" : "New"); });
