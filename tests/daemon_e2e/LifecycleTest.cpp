// How the daemon starts and stops, and what it does with input it cannot
// use: stop signals during a wait, a device root that is not there, a
// settings file it cannot read, no session bus, and notifications of the
// wrong shape.
#include "DaemonHarness.h"

#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "platform/dbus/SessionBus.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <QDBusMessage>

namespace daemon_e2e {
namespace {

class DaemonLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(badges_.start()); }

    void createDevice(const std::string& version) {
        std::string error;
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), version, &error)) << error;
    }

    void storeReceived(const std::string& address, const std::string& text) {
        SmsDatabaseFixture sms(DevicePaths::smsDatabase());
        ASSERT_GE(sms.storeMessage({address, text, static_cast<std::int64_t>(std::time(nullptr)), false}), 0)
            << sms.lastError();
    }

    // A stop signal ends the daemon within a second, with status 0 and the
    // interrupted line as the end of its output.
    void expectPromptStop(DaemonProcess& daemon, int signal) {
        const qint64 took = daemon.signalAndWait(signal);
        ASSERT_GE(took, 0) << "still running 5 s after the signal";
        EXPECT_LT(took, 1000);
        EXPECT_TRUE(daemon.exitedNormally());
        EXPECT_EQ(daemon.exitCode(), 0) << daemon.err();
        const std::string out = daemon.out();
        const std::string tail = DaemonProcess::kInterruptedLine;
        EXPECT_TRUE(out.size() >= tail.size() && out.compare(out.size() - tail.size(), tail.size(), tail) == 0) << out;
    }

    static QDBusMessage notification(const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(TelephonyCenter::kObjectPath, TelephonyCenter::kInterface,
                                                         TelephonyCenter::kSignal);
        signal.setArguments(arguments);
        return signal;
    }

    TempDeviceRoot root_;
    BadgeLog badges_;
};

TEST_F(DaemonLifecycleTest, InterruptedDuringTheStartUpWaitItEndsAtOnceWithoutABadge) {
    createDevice("6.1.3");
    DaemonProcess daemon;
    ASSERT_TRUE(daemon.start());
    // The handlers go in just before the run at start-up and its wait.
    ASSERT_TRUE(daemon.waitForSignalHandlers()) << daemon.err();
    idle(300);
    expectPromptStop(daemon, SIGINT);
    EXPECT_EQ(daemon.out(), DaemonProcess::kInterruptedLine);
    idle(200);
    EXPECT_EQ(badges_.size(), 0u);
}

TEST_F(DaemonLifecycleTest, StopSignalsDuringAMessageWaitEndItAtOnce) {
    createDevice("5.1.1");
    struct Case {
        int signal;
        const char* notification;
        int waitedMs;  // how long into the wait the signal comes
    };
    // A sent message waits a minute: nothing shows after 2.5 s, and the
    // signal still ends the wait at once.
    for (const Case& stop : {Case{SIGINT, TelephonyCenter::kMessageReceivedNotification, 500},
                             Case{SIGTERM, TelephonyCenter::kMessageSentNotification, 2500}}) {
        SCOPED_TRACE(stop.signal == SIGINT ? "SIGINT" : "SIGTERM");
        const std::size_t before = badges_.size();
        DaemonProcess daemon;
        ASSERT_TRUE(daemon.start());
        ASSERT_TRUE(daemon.waitForStarted()) << daemon.err();
        ASSERT_TRUE(badges_.waitForUpdates(before + 1));
        EXPECT_EQ(daemon.out(), DaemonProcess::kStartedLine);

        storeReceived("+14155550100", "Call me");
        ASSERT_TRUE(TelephonyCenter::post(stop.notification));
        idle(stop.waitedMs);
        EXPECT_EQ(badges_.size(), before + 1);
        expectPromptStop(daemon, stop.signal);
        EXPECT_EQ(daemon.out(), std::string(DaemonProcess::kStartedLine) + DaemonProcess::kInterruptedLine);
        // The interrupted event did not touch the badge.
        idle(200);
        EXPECT_EQ(badges_.size(), before + 1);
    }
}

TEST_F(DaemonLifecycleTest, AMissingDeviceRootIsReportedAndTheDaemonKeepsRunning) {
    const std::string missing = root_.path() + "/no-such-phone";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("BRINDLEX_DEVICE_ROOT", QString::fromStdString(missing));
    DaemonProcess daemon(environment);
    ASSERT_TRUE(daemon.start());
    ASSERT_TRUE(daemon.waitForStarted()) << daemon.err();
    EXPECT_NE(daemon.err().find("no data directory " + missing), std::string::npos) << daemon.err();

    ASSERT_TRUE(TelephonyCenter::post(TelephonyCenter::kMessageReceivedNotification));
    idle(2500);
    EXPECT_TRUE(daemon.running());
    EXPECT_EQ(badges_.size(), 0u);
    // Nothing is created in its place.
    EXPECT_FALSE(std::filesystem::exists(missing));
    expectPromptStop(daemon, SIGINT);
}

TEST_F(DaemonLifecycleTest, AnUnreadableSettingsFileStopsTheCopyButNotTheDaemon) {
    createDevice("5.1.1");
    Seeding::copyIfNeeded();
    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>lastsync";
    { std::ofstream(DevicePaths::settingsFile(), std::ios::trunc) << garbage; }
    storeReceived("+14155550100", "Lost?");

    DaemonProcess daemon;
    ASSERT_TRUE(daemon.start());
    ASSERT_TRUE(daemon.waitForStarted()) << daemon.err();
    EXPECT_NE(daemon.err().find("cannot read the settings file"), std::string::npos) << daemon.err();

    storeReceived("+14155550100", "Still lost?");
    ASSERT_TRUE(TelephonyCenter::post(TelephonyCenter::kMessageReceivedNotification));
    // The second event warns again.
    const std::string warning = "cannot read the settings file";
    ASSERT_TRUE(waitFor(
        [&] {
            const std::string err = daemon.err();
            const auto first = err.find(warning);
            return first != std::string::npos && err.find(warning, first + 1) != std::string::npos;
        },
        10000))
        << daemon.err();
    EXPECT_TRUE(daemon.running());
    // Without markers to store nothing is copied, and the file stays as it was.
    ASSERT_TRUE(counterRows().has_value());
    EXPECT_TRUE(counterRows()->empty());
    std::ifstream settings(DevicePaths::settingsFile());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(settings), {}), garbage);
    expectPromptStop(daemon, SIGINT);
}

TEST_F(DaemonLifecycleTest, WithoutASessionBusItFailsAtOnceAndTouchesNothing) {
    createDevice("6.1.3");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QString::fromStdString(root_.path()) + "/no-bus");
    DaemonProcess daemon(environment);
    ASSERT_TRUE(daemon.start());
    ASSERT_TRUE(daemon.waitForExit(10000));
    EXPECT_TRUE(daemon.exitedNormally());
    EXPECT_EQ(daemon.exitCode(), 1);
    EXPECT_NE(daemon.err().find("session bus"), std::string::npos) << daemon.err();
    EXPECT_EQ(daemon.out(), "");
    EXPECT_FALSE(std::filesystem::exists(DevicePaths::settingsFile()));
    EXPECT_FALSE(std::filesystem::exists(PhoneProfile::find().counterDatabase()));
}

TEST_F(DaemonLifecycleTest, NotificationsOfTheWrongShapeNeitherCrashNorBlockIt) {
    createDevice("6.1.3");
    Seeding::copyIfNeeded();
    changeSettings([](PropertyList& settings) { settings.setInteger("badgetype", 1); });
    DaemonProcess daemon;
    ASSERT_TRUE(daemon.start());
    ASSERT_TRUE(daemon.waitForStarted()) << daemon.err();
    ASSERT_TRUE(badges_.waitForUpdates(1));
    EXPECT_EQ(badges_.last().count, 0);

    // Without a notification name as the first argument, or with a name
    // nobody listens for: ignored.
    const QString received = TelephonyCenter::kMessageReceivedNotification;
    for (const QVariantList& arguments : {QVariantList{}, QVariantList{42}, QVariantList{QStringList{received}},
                                          QVariantList{QString("kCTSomeOtherNotification")}})
        ASSERT_TRUE(SessionBus::emitSignal(notification(arguments)));
    // The name followed by more: only the name counts.
    storeReceived("+14155550100", "Made it through");
    const qint64 withMore = nowMs();
    ASSERT_TRUE(SessionBus::emitSignal(notification({received, QString("extra"), 7})));
    ASSERT_TRUE(badges_.waitForUpdates(2)) << daemon.err();
    EXPECT_EQ(badges_.last().count, 1);
    // Had any of the others started an event, this one would have been
    // second in line, and a third update would come about now.
    idle(static_cast<int>(withMore + 4500 - nowMs()));
    EXPECT_EQ(badges_.size(), 2u);

    // A proper one after them all.
    storeReceived("+14155550100", "Me too");
    ASSERT_TRUE(TelephonyCenter::post(received));
    ASSERT_TRUE(badges_.waitForUpdates(3)) << daemon.err();
    EXPECT_EQ(badges_.last().count, 2);
    expectPromptStop(daemon, SIGINT);
    EXPECT_EQ(daemon.err(), "");
}

}  // namespace
}  // namespace daemon_e2e
