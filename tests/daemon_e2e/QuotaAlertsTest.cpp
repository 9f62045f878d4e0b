// Quota alerts against a notification server of our own on the private bus:
// one notification per threshold and period, none repeated after a restart,
// none without a quota, and a server that never answers does not hold up the
// badge. The server lives in the test process and answers while the test
// waits on the event loop.
#include "DaemonHarness.h"
#include "NotificationServer.h"

#include "common/Seeding.h"
#include "common/Person.h"
#include "daemon/DesktopNotifier.h"
#include "daemon/QuotaAlerts.h"
#include "platform/PropertyList.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

#include <memory>

namespace daemon_e2e {
namespace {

// A device whose badge counts both directions against a quota of 10, with
// `messages` received messages of one segment each already in sms.db, all
// within the seed's billing period (day 1) and the last hour.
void prepareDevice(const TempDeviceRoot& root, int messages, int quota = 10) {
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.1.3"));
    SmsDatabaseFixture sms(DevicePaths::smsDatabase());
    const std::int64_t now = std::time(nullptr);
    for (int i = 0; i < messages; ++i) ASSERT_GE(sms.storeMessage({"+14155550101", "Hi", now - 100 + i, false}), 0);
    Seeding::copyIfNeeded();
    changeSettings([&](PropertyList& settings) {
        settings.setInteger("badgetype", 4);  // messages left of the quota, both directions
        settings.setInteger("smsquota", quota);
    });
}

std::string statePath() { return DevicePaths::dataDirectory() + "/quotaalerts.plist"; }

// Counts a signal it is connected to.
class Marker : public QObject {
    Q_OBJECT

public:
    int count = 0;

public slots:
    void seen() { ++count; }
};

class QuotaAlertsTest : public ::testing::Test {
protected:
    // A device as prepareDevice leaves it, a notification server (one that
    // never answers with `answers` false), and the daemon started on them,
    // its first badge set.
    void startDaemon(int messages, int quota = 10, bool answers = true) {
        ASSERT_NO_FATAL_FAILURE(prepareDevice(root_, messages, quota));
        server_ = std::make_unique<NotificationServer>(answers);
        ASSERT_TRUE(server_->start());
        ASSERT_TRUE(badges_.start());
        daemon_ = std::make_unique<DaemonProcess>();
        ASSERT_TRUE(daemon_->startUntilBadged(badges_));
    }

    const TempDeviceRoot root_;
    std::unique_ptr<NotificationServer> server_;
    BadgeLog badges_;
    std::unique_ptr<DaemonProcess> daemon_;
};

TEST_F(QuotaAlertsTest, EachThresholdOncePerPeriodAndNotAgainAfterARestart) {
    ASSERT_NO_FATAL_FAILURE(startDaemon(7));
    ASSERT_TRUE(daemon_->waitForStarted());
    EXPECT_EQ(badges_.last().count, 3);
    idle(300);
    EXPECT_TRUE(server_->shown().empty()) << "7 of 10 is below 80 %";

    ASSERT_EQ(phone({"receive", "4155550101", "Hi"}).status, 0);  // 8 of 10
    ASSERT_TRUE(waitFor([&] { return server_->shown().size() == 1; }, 10000)) << daemon_->err();
    const NotificationServer::Shown& first = server_->shown()[0];
    EXPECT_EQ(first.summary, "80% of the text message quota used");
    EXPECT_TRUE(first.body.startsWith("8 of 10 messages used since ")) << first.body.toStdString();
    EXPECT_TRUE(first.body.endsWith("; 2 left.")) << first.body.toStdString();
    EXPECT_EQ(first.appName, "Brindlex");
    EXPECT_EQ(first.icon, "org.brindlex.Brindlex");
    EXPECT_EQ(first.hints.value("desktop-entry").toString(), "org.brindlex.Brindlex");
    EXPECT_EQ(first.actions.value(0), "default") << "an action that opens the app";
    ASSERT_EQ(badges_.last().count, 2);
    EXPECT_LE(badges_.last().atMs, first.atMs) << "the badge is set before the notification goes out";

    ASSERT_EQ(phone({"receive", "4155550101", "Hi"}).status, 0);  // 9 of 10
    ASSERT_TRUE(badges_.waitForUpdates(3, 10000));
    idle(300);
    EXPECT_EQ(server_->shown().size(), 1u) << "80 % was said already";

    ASSERT_EQ(phone({"receive", "4155550101", "Hi"}).status, 0);  // 10 of 10
    ASSERT_TRUE(waitFor([&] { return server_->shown().size() == 2; }, 10000));
    EXPECT_EQ(server_->shown()[1].summary, "Text message quota used up");
    EXPECT_EQ(server_->shown()[1].hints.value("urgency").toInt(), 2) << "critical";

    ASSERT_GE(daemon_->signalAndWait(SIGINT), 0);
    daemon_ = std::make_unique<DaemonProcess>();
    ASSERT_TRUE(daemon_->start());
    ASSERT_TRUE(badges_.waitForUpdates(5, 15000)) << daemon_->err();
    ASSERT_TRUE(daemon_->waitForStarted());
    idle(500);
    EXPECT_EQ(server_->shown().size(), 2u) << "a restart does not repeat what was said";

    // A fixed start that still holds every message: a new period, whose
    // first event announces where the count stands.
    const double start = static_cast<double>(std::time(nullptr) - 3600);
    changeSettings([&](PropertyList& settings) {
        settings.remove("cyclemode");
        settings.setDouble("lastfromdate", start);
    });
    ASSERT_EQ(phone({"receive", "4155550101", "Hi"}).status, 0);
    ASSERT_TRUE(waitFor([&] { return server_->shown().size() == 3; }, 10000))
        << daemon_->err() << badges_.size() << " badges, last " << badges_.last().count;
    EXPECT_EQ(server_->shown()[2].summary, "Text message quota used up") << "only the higher of the two is said";
}

TEST_F(QuotaAlertsTest, NoQuotaOrAlertsSwitchedOffSayNothing) {
    ASSERT_NO_FATAL_FAILURE(startDaemon(12, 0));

    changeSettings([](PropertyList& settings) {
        settings.setInteger("smsquota", 10);
        settings.setInteger("quotaalerts", 0);
    });
    ASSERT_EQ(phone({"receive", "4155550101", "Hi"}).status, 0);
    ASSERT_TRUE(badges_.waitForUpdates(2, 10000));
    idle(500);
    EXPECT_TRUE(server_->shown().empty());
    EXPECT_FALSE(std::filesystem::exists(statePath()));
}

TEST_F(QuotaAlertsTest, AServerThatNeverAnswersDoesNotHoldUpTheBadge) {
    ASSERT_NO_FATAL_FAILURE(startDaemon(9, 10, false));
    ASSERT_TRUE(daemon_->waitForStarted(5000)) << "the start-up run does not wait for the server";
    ASSERT_TRUE(waitFor([&] { return server_->shown().size() == 1; }, 5000));

    NotificationLog notifications;
    ASSERT_TRUE(notifications.start());
    ASSERT_EQ(phone({"receive", "4155550101", "Hi"}).status, 0);
    ASSERT_TRUE(badges_.waitForUpdates(2, 10000));
    ASSERT_EQ(notifications.times().size(), 1u);
    EXPECT_LT(badges_.last().atMs - notifications.times()[0], 4000) << "2 s wait, then the badge at once";
    EXPECT_EQ(badges_.last().count, 0);
}

TEST_F(QuotaAlertsTest, TheNotificationsActionOpensTheApp) {
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), "6.1.3"));
    server_ = std::make_unique<NotificationServer>();
    ASSERT_TRUE(server_->start());
    int opened = 0;
    QuotaAlerts alerts(nullptr, [&] { ++opened; });

    PropertyList settings;
    const std::vector<Person> excluded;
    // A sent-message badge of 9 against a quota of 10.
    alerts.check(BadgeEvent::Reading{&settings, BadgeType::Sent, 10, 1000, &excluded, 9});
    ASSERT_TRUE(waitFor([&] { return server_->shown().size() == 1; }, 5000));
    idle(200);  // the server's answer carries the id the action refers to

    emit server_->ActionInvoked(server_->shown()[0].id + 1, QStringLiteral("default"));
    idle(200);
    EXPECT_EQ(opened, 0) << "another program's notification";
    emit server_->ActionInvoked(server_->shown()[0].id, QStringLiteral("default"));
    ASSERT_TRUE(waitFor([&] { return opened == 1; }, 5000));

    // Another program on the bus sends the same signal, with the right id,
    // from the server's path: not the server, so nothing opens. A second
    // signal of the forger's, which arrives after it, says it was handled.
    QDBusConnection forger = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("forger"));
    ASSERT_TRUE(forger.isConnected());
    Marker marker;
    ASSERT_TRUE(QDBusConnection::sessionBus().connect(forger.baseService(), QStringLiteral("/marker"),
                                                      QStringLiteral("org.brindlex.Test"), QStringLiteral("Marker"),
                                                      &marker, SLOT(seen())));
    QDBusMessage forged =
        QDBusMessage::createSignal(QString::fromLatin1(DesktopNotifier::kPath),
                                   QString::fromLatin1(DesktopNotifier::kInterface), QStringLiteral("ActionInvoked"));
    forged << server_->shown()[0].id << QStringLiteral("default");
    ASSERT_TRUE(forger.send(forged));
    ASSERT_TRUE(forger.send(QDBusMessage::createSignal(QStringLiteral("/marker"), QStringLiteral("org.brindlex.Test"),
                                                       QStringLiteral("Marker"))));
    ASSERT_TRUE(waitFor([&] { return marker.count > 0; }, 5000));
    EXPECT_EQ(opened, 1) << "the forged action opened the app";
    QDBusConnection::disconnectFromBus(QStringLiteral("forger"));
}

}  // namespace
}  // namespace daemon_e2e

#include "QuotaAlertsTest.moc"
