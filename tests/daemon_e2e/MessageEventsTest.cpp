// The daemon's message events, end to end: the run at start-up, a message
// received through the phone simulator, and a burst of notifications. Each
// test runs the built brindlex-badged on a device root of its own and
// watches the badge as a dock would.
#include "DaemonHarness.h"

#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "support/TempDeviceRoot.h"
#include "tools/SmsReadBack.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <cstdio>
#include <functional>

namespace daemon_e2e {
namespace {

class MessageEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(programPath("brindlex-badged").toStdString()));
        ASSERT_TRUE(std::filesystem::exists(programPath("brindlex-phone").toStdString()));
        ASSERT_TRUE(badges_.start());
    }

    void createDevice(const std::string& version) {
        std::string error;
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), version, &error)) << error;
    }

    void store(const FixtureMessage& message) {
        SmsDatabaseFixture sms(DevicePaths::smsDatabase());
        ASSERT_GE(sms.storeMessage(message), 0) << sms.lastError();
    }

    // SIGINT ends the daemon with status 0 after the start-up line.
    void interrupt(DaemonProcess& daemon) {
        ASSERT_GE(daemon.signalAndWait(SIGINT), 0) << "still running after SIGINT";
        EXPECT_TRUE(daemon.exitedNormally());
        EXPECT_EQ(daemon.exitCode(), 0) << daemon.err();
        EXPECT_EQ(daemon.out(), std::string(DaemonProcess::kStartedLine) + DaemonProcess::kInterruptedLine);
    }

    TempDeviceRoot root_;
    BadgeLog badges_;
};

TEST_F(MessageEventsTest, StartUpCopiesWhatArrivedMeanwhileAndSetsTheBadgeAfterItsWait) {
    createDevice("6.1.3");
    // Settings seeded and a badge type chosen before the daemon ever ran.
    Seeding::copyIfNeeded();
    changeSettings([](PropertyList& settings) { settings.setInteger("badgetype", 1); });  // received
    const std::int64_t now = std::time(nullptr);
    store({"+14155550100", "Dinner at eight?", now - 3600, false});
    store({"+14155550111", textOfSegments(2), now - 60, false});
    store({"+14155550100", "Yes", now - 30, true});
    // Copied, but the badge counts text messages only.
    store({"+14155550122", "Sent over the data network", now - 20, false, "iMessage"});

    DaemonProcess daemon;
    ASSERT_TRUE(daemon.startUntilBadged(badges_));
    EXPECT_EQ(badges_.last().count, 3);
    EXPECT_TRUE(badges_.last().visible);
    // The run at start-up waits like a received message before it copies.
    EXPECT_GE(badges_.last().atMs - daemon.startedAtMs(), 1950);
    // Only then does the daemon say it listens.
    ASSERT_TRUE(daemon.waitForStarted());
    EXPECT_GE(nowMs() - daemon.startedAtMs(), 1950);

    const auto rows = counterRows();
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 4u);
    EXPECT_EQ((*rows)[1], (CounterRow{"+14155550111", now - 60, textOfSegments(2), 2, 2}));
    EXPECT_EQ((*rows)[2], (CounterRow{"+14155550100", now - 30, "Yes", 3, 1}));
    EXPECT_EQ(settingsInteger("lastsyncrdate"), now - 20 + 1);
    EXPECT_EQ(settingsInteger("lastsyncsdate"), now - 30 + 1);
    EXPECT_EQ(settingsInteger("badgetype"), 1);

    interrupt(daemon);
    EXPECT_EQ(badges_.size(), 1u);
}

TEST_F(MessageEventsTest, EachReceivedNotificationRunsOneEventAboutTwoSecondsLater) {
    createDevice("5.1.1");
    // The daemon seeds ledgerwick.db and the settings file itself.
    const std::int64_t sentAt = std::time(nullptr) - 120;
    store({"+14155550100", textOfSegments(2), sentAt, true});
    NotificationLog notifications;
    ASSERT_TRUE(notifications.start());

    DaemonProcess daemon;
    ASSERT_TRUE(daemon.startUntilBadged(badges_));
    ASSERT_TRUE(daemon.waitForStarted());
    // No badge type yet: the first event stores the default and counts sent segments.
    EXPECT_EQ(badges_.last().count, 2);
    EXPECT_EQ(settingsInteger("badgetype"), 2);
    EXPECT_TRUE(std::filesystem::exists(PhoneProfile::forVersion("5.1.1").counterDatabase()));
    EXPECT_FALSE(std::filesystem::exists(PhoneProfile::forVersion("6.1.3").counterDatabase()));

    changeSettings([](PropertyList& settings) { settings.setInteger("badgetype", 0); });  // both directions
    {
        SCOPED_TRACE("one message from the phone simulator");
        const ProgramRun receive = phone({"receive", "4155550101", "Are you coming?"});
        ASSERT_EQ(receive.status, 0) << receive.err;
        ASSERT_TRUE(badges_.waitForUpdates(2)) << daemon.err();
        ASSERT_EQ(notifications.times().size(), 1u);
        const qint64 latency = badges_.last().atMs - notifications.times()[0];
        std::printf("[ figures  ] received message: badge updated %lld ms after the notification\n",
                    static_cast<long long>(latency));
        RecordProperty("received_latency_ms", static_cast<int>(latency));
        EXPECT_GE(latency, 1950);
        EXPECT_LE(latency, 4000);
        EXPECT_EQ(badges_.last().count, 3);
    }
    {
        SCOPED_TRACE("a burst of three");
        const std::int64_t at = std::time(nullptr);
        store({"+14155550133", "One", at, false});
        store({"+14155550133", textOfSegments(2), at, false});
        store({"+14155550144", "Three", at, false});
        const qint64 firstPost = nowMs();
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(TelephonyCenter::post(TelephonyCenter::kMessageReceivedNotification));

        ASSERT_TRUE(badges_.waitForUpdates(3, 15000)) << daemon.err();
        idle(2500);  // a second event would have shown by now
        // One sync for the three, after the wait the last one needs.
        ASSERT_EQ(badges_.size(), 3u);
        EXPECT_EQ(badges_.last().count, 7);
        EXPECT_GE(badges_.last().atMs - firstPost, 1950);
    }

    // Every message of sms.db exactly once, with the markers past the newest.
    const auto stored = sms_read_back::read(DevicePaths::smsDatabase(), false);
    const auto rows = counterRows();
    ASSERT_TRUE(stored.has_value());
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), stored->size());
    EXPECT_EQ(duplicateCounterRows(), 0);
    std::int64_t newestReceived = 0;
    for (std::size_t i = 0; i < rows->size(); ++i) {
        EXPECT_EQ((*rows)[i].address, (*stored)[i].address.value_or(""));
        EXPECT_EQ((*rows)[i].date, (*stored)[i].date);
        EXPECT_EQ((*rows)[i].text, (*stored)[i].text.value_or(""));
        EXPECT_EQ((*rows)[i].flags, (*stored)[i].flags);
        if ((*rows)[i].flags == 2) newestReceived = std::max(newestReceived, (*rows)[i].date);
    }
    EXPECT_EQ(settingsInteger("lastsyncrdate"), newestReceived + 1);
    EXPECT_EQ(settingsInteger("lastsyncsdate"), sentAt + 1);

    const std::optional<long> peak = daemon.peakMemoryKb();
    ASSERT_TRUE(peak.has_value());
    std::printf("[ figures  ] daemon peak memory (VmHWM) after 3 events: %ld kB\n", *peak);
    RecordProperty("daemon_vmhwm_kb", static_cast<int>(*peak));
    interrupt(daemon);
}

// A counter database the event cannot count from leaves the badge at the
// last value counted: the dock sees no 0 and no -1, only the daemon's
// warning on standard error; once the database reads again the badge moves on.
TEST_F(MessageEventsTest, AnUnreadableCounterDatabaseLeavesTheBadgeAtItsLastValue) {
    createDevice("6.1.3");
    Seeding::copyIfNeeded();
    changeSettings([](PropertyList& settings) { settings.setInteger("badgetype", 1); });  // received
    const std::int64_t now = std::time(nullptr);
    store({"+14155550100", "One", now - 60, false});
    store({"+14155550111", textOfSegments(2), now - 50, false});

    DaemonProcess daemon;
    ASSERT_TRUE(daemon.startUntilBadged(badges_));
    ASSERT_TRUE(daemon.waitForStarted());
    ASSERT_EQ(badges_.last().count, 3);

    const std::string warning = "the badge keeps its last value";
    auto warnings = [&] {
        const std::string err = daemon.err();
        std::size_t count = 0;
        for (auto at = err.find(warning); at != std::string::npos; at = err.find(warning, at + 1)) ++count;
        return count;
    };
    const struct {
        const char* what;
        std::function<void()> spoil;
        const char* says;
    } spoiled[] = {
        {"a missing table",
         [] {
             SqliteDatabase db;
             ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
             ASSERT_TRUE(db.exec("DROP TABLE message"));
         },
         "no such table: message"},
        {"a damaged file",
         [] { std::ofstream(PhoneProfile::find().counterDatabase(), std::ios::trunc) << std::string(8192, '\x05'); },
         "file is not a database"},
    };
    for (const auto& spoil : spoiled) {
        SCOPED_TRACE(spoil.what);
        spoil.spoil();
        const std::size_t before = warnings();
        store({"+14155550100", "Lost in the count", std::time(nullptr), false});
        ASSERT_TRUE(TelephonyCenter::post(TelephonyCenter::kMessageReceivedNotification));
        ASSERT_TRUE(waitFor([&] { return warnings() > before; }, 15000)) << daemon.err();
        EXPECT_NE(daemon.err().find(spoil.says), std::string::npos) << daemon.err();
        EXPECT_EQ(badges_.size(), 1u) << "last badge " << badges_.last().count;
        EXPECT_TRUE(daemon.running());
    }

    // A fresh counter database and markers from the start: the next event
    // copies every message once and counts them.
    std::filesystem::remove(PhoneProfile::find().counterDatabase());
    Seeding::copyIfNeeded();
    changeSettings([](PropertyList& settings) {
        settings.setInteger("lastsyncrdate", 0);
        settings.setInteger("lastsyncsdate", 0);
    });
    ASSERT_TRUE(TelephonyCenter::post(TelephonyCenter::kMessageReceivedNotification));
    ASSERT_TRUE(badges_.waitForUpdates(2)) << daemon.err();
    EXPECT_EQ(badges_.last().count, 5);
    interrupt(daemon);
}

}  // namespace
}  // namespace daemon_e2e
