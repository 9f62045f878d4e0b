// A flood of message notifications inside the daemon: however many arrive
// while a sync waits, they cost one pending sync and one badge update.
#include "DaemonHarness.h"

#include "common/Seeding.h"
#include "daemon/BadgeDaemon.h"
#include "platform/dbus/TelephonyCenter.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"

#include <QTimer>

namespace daemon_e2e {
namespace {

constexpr int kFlood = 200000;

TEST(DaemonCoalescing, TwoHundredThousandNotificationsMakeOneSyncEachTimeAndHoldNothing) {
    TempDeviceRoot root;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.1.3"));
    Seeding::copyIfNeeded();
    BadgeLog badges;
    ASSERT_TRUE(badges.start());
    BadgeDaemon daemon;
    int most = 0;
    auto flood = [&] {
        for (int i = 0; i < kFlood; ++i) {
            daemon.requestSync(QString::fromLatin1(TelephonyCenter::kMessageReceivedNotification));
            most = std::max(most, daemon.scheduledSyncs());
        }
    };

    // Delivered while the start-up run waits, as the bus would deliver them.
    QTimer::singleShot(0, flood);
    daemon.CTSMSEvent(QString());
    EXPECT_EQ(daemon.syncsStarted(), 1);
    EXPECT_EQ(daemon.scheduledSyncs(), 0);
    EXPECT_LE(most, 2);
    ASSERT_TRUE(badges.waitForUpdates(1));

    // Again with the daemon idle: the first request starts the sync, the
    // rest fold into it.
    QTimer::singleShot(0, flood);
    daemon.requestSync(QString::fromLatin1(TelephonyCenter::kMessageReceivedNotification));
    EXPECT_EQ(daemon.syncsStarted(), 2);
    EXPECT_EQ(daemon.scheduledSyncs(), 0);
    EXPECT_LE(most, 2);
    ASSERT_TRUE(badges.waitForUpdates(2));
    idle(300);
    EXPECT_EQ(badges.size(), 2u);
}

}  // namespace
}  // namespace daemon_e2e
