// The settings the daemon reads afresh for every event: badge type and quota,
// the period mode, the three kinds of exclusion, and the badge switched off.
// One daemon run; the settings change between messages as the app would
// change them.
#include "DaemonHarness.h"

#include "common/Seeding.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

namespace daemon_e2e {
namespace {

TEST(DaemonSettingsTest, EveryEventFollowsTheSettingsOfThatMoment) {
    const TempDeviceRoot root;
    std::string error;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.1.3", &error)) << error;
    ASSERT_EQ(phone({"contacts", "add", "Anna", "Becker", "4155550101"}).status, 0);
    const auto contacts = AddressBookFixture(DevicePaths::addressBook()).contacts();
    ASSERT_EQ(contacts.size(), 1u);
    const long long anna = contacts[0].recordID;

    // Segment counts chosen so that every exclusion leaves its own mark on
    // the badge: the pattern's message 4, the bare number's 2, Anna's 1.
    const std::int64_t now = std::time(nullptr);
    SmsDatabaseFixture sms(DevicePaths::smsDatabase());
    ASSERT_GE(sms.storeMessage({"+14155550199", textOfSegments(4), now - 2 * 86400, false}), 0);
    ASSERT_GE(sms.storeMessage({"+14155550123", textOfSegments(2), now, true}), 0);
    ASSERT_GE(sms.storeMessage({"+14155550150", "Lunch?", now, false}), 0);

    int today = 0;
    localMidnight(&today);
    Seeding::copyIfNeeded();
    changeSettings([&](PropertyList& settings) {
        settings.setInteger("badgetype", 6);  // quota left after sent messages
        settings.setInteger("smsquota", 100);
        // Billing-day mode: the period starts today at 00:00, which leaves
        // out the message of two days ago.
        settings.setString("cyclemode", "Y");
        settings.setString("cycleday", std::to_string(today));
    });

    BadgeLog badges;
    ASSERT_TRUE(badges.start());
    DaemonProcess daemon;
    ASSERT_TRUE(daemon.startUntilBadged(badges));
    ASSERT_TRUE(daemon.waitForStarted());
    EXPECT_EQ(badges.last().count, 100 - 2) << "badge type 6 counts the sent messages of the billing period";

    {
        SCOPED_TRACE("fixed start date, quota after both directions");
        changeSettings([&](PropertyList& settings) {
            settings.setInteger("badgetype", 4);
            settings.remove("cyclemode");
            settings.setDouble("lastfromdate", static_cast<double>(now - 3 * 86400) + 0.75);
        });
        ASSERT_EQ(phone({"receive", "4155550101", "Hi, Anna here"}).status, 0);
        ASSERT_TRUE(badges.waitForUpdates(2)) << daemon.err();
        EXPECT_EQ(badges.last().count, 100 - (4 + 2 + 1 + 1));
    }
    {
        SCOPED_TRACE("a contact, a bare number and a pattern excluded");
        changeSettings([&](PropertyList& settings) {
            settings.setInteger("epersoncount", 1);
            settings.setInteger("eperson0", anna);
            settings.setInteger("epersoncountNA", 2);
            settings.setString("epersonNA0", "+14155550123");
            settings.setString("epersonNA1", "+1415555019*");
        });
        ASSERT_EQ(phone({"receive", "+14155550150", "Still on?"}).status, 0);
        ASSERT_TRUE(badges.waitForUpdates(3)) << daemon.err();
        // Left: the two messages of +14155550150. 97: the contact was
        // counted, 96: the bare number, 94: the pattern.
        EXPECT_EQ(badges.last().count, 100 - 2);
    }
    {
        SCOPED_TRACE("badge off: copied, but no badge update");
        changeSettings([&](PropertyList& settings) { settings.setInteger("badgetype", 3); });
        const std::size_t copied = counterRows().value_or(std::vector<CounterRow>{}).size();
        ASSERT_EQ(phone({"receive", "+14155550150", "Hello?"}).status, 0);
        ASSERT_TRUE(
            waitFor([&] { return counterRows().value_or(std::vector<CounterRow>{}).size() == copied + 1; }, 10000));
        idle(3000);
        EXPECT_EQ(badges.size(), 3u);
        EXPECT_EQ(counterRows()->back().text, "Hello?");
    }

    ASSERT_GE(daemon.signalAndWait(SIGINT), 0);
    EXPECT_EQ(daemon.exitCode(), 0) << daemon.err();
    // The daemon complains about nothing here.
    EXPECT_EQ(daemon.err(), "");
}

}  // namespace
}  // namespace daemon_e2e
