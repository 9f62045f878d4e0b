// Clear DB's resync and the badge count of a save run off the UI thread:
// the window keeps the last numbers until their answers arrive, a late
// badge never replaces a newer one, and a badge still on its way when the
// app goes is set all the same.
#include "RecordedBadges.h"
#include "ScreenDriver.h"

#include "app/filters/PreferencesViewController.h"
#include "app/shell/BackgroundWork.h"
#include "common/CounterStore.h"

#include <memory>
#include <vector>

namespace {

constexpr std::time_t kNow = 1363780800;  // 2013-03-20 12:00 UTC

class BackgroundSaveTest : public ::testing::Test {
protected:
    BackgroundSaveTest() {
        app_.setNow(kNow);
        app_.store("4155550101", kNow - 100, false);
        app_.store("4155550101", kNow - 90, true);
        app_.store("4155550102", kNow - 80, true);
    }
    ~BackgroundSaveTest() override { BackgroundWork::holdResultsForTesting(false); }

    // The screen itself: AppHarness::root() would wait for held answers.
    RootViewController& screen() { return *app_.delegate().rootViewController(); }
    QString total() { return app_.shownValue("Total Messages", AppHarness::Counts::AsTheyAre); }
    void waitForHeld(int count) {
        EXPECT_TRUE(QTest::qWaitFor([count] { return BackgroundWork::heldResultCountForTesting() == count; }, 10000));
    }
    void clearThroughPreferences() {
        drive_.tap(drive_.bar().leftButton());  // the gears
        auto* preferences = drive_.top<PreferencesViewController>();
        ASSERT_NE(preferences, nullptr);
        AlertView::setPresetAnswerForTesting(1);  // OK
        AlertView::resetShownForTesting();
        QTest::mouseClick(drive_.cell(*preferences->tableView(), {0, PreferencesViewController::kClearDatabaseRow}),
                          Qt::LeftButton, {}, QPoint(120, 20));
    }

    AppHarness app_;
    ScreenDriver drive_{app_};
    RecordedBadges badges_{app_};
};

TEST_F(BackgroundSaveTest, ClearDbKeepsTheWindowAnsweringAndThenShowsTheResyncedNumbers) {
    app_.launch();
    screen().model().setSelectedPerson(Person::bareNumber("4155550101", -1));
    ASSERT_TRUE(CounterStore::forCurrentPhone().deleteRow(1));  // comes back from sms.db with the resync
    screen().updateMessageCount();
    app_.waitForCounts();
    EXPECT_EQ(total(), "1");

    BackgroundWork::holdResultsForTesting(true);
    clearThroughPreferences();
    waitForHeld(1);
    EXPECT_TRUE(screen().isCounting()) << "the clear is under way";
    EXPECT_EQ(AlertView::shownCountForTesting(), 1) << "only the confirmation so far";
    EXPECT_EQ(total(), "1") << "the last total stands until the resync is in";
    EXPECT_EQ(app_.shownValue("Person", AppHarness::Counts::AsTheyAre), "4155550101");

    BackgroundWork::releaseHeldResultsNewestFirstForTesting();
    app_.waitForCounts();
    EXPECT_EQ(AlertView::shownCountForTesting(), 3) << "confirmation, then success and resync";
    EXPECT_EQ(AlertView::lastShownMessage(), "Resyncing with default SMS database");
    EXPECT_EQ(app_.shownValue("Person", AppHarness::Counts::AsTheyAre), "All");
    EXPECT_EQ(total(), "3") << "every message of sms.db, once";
    EXPECT_EQ(badges_.values, (std::vector<int>{0, 2})) << "the clear saves: the badge counts the sent messages";
}

TEST_F(BackgroundSaveTest, LeavingSetsTheBadgeWhenItsCountArrivesAndALateCountNeverReplacesANewerOne) {
    app_.launch();
    emit app_.window().deactivated();
    EXPECT_EQ(badges_.values, std::vector<int>{0}) << "cleared at once, counted off the UI thread";
    app_.waitForCounts();
    EXPECT_EQ(badges_.values, (std::vector<int>{0, 2}));

    badges_.values.clear();
    BackgroundWork::holdResultsForTesting(true);
    emit app_.window().deactivated();
    // Leaving again after an exclusion: one sent message less.
    screen().model().addExcludedPerson(Person::bareNumber("4155550102", -1));
    emit app_.window().deactivated();
    waitForHeld(3);  // two badges, one recount
    BackgroundWork::releaseHeldResultsNewestFirstForTesting();
    EXPECT_EQ(badges_.values, (std::vector<int>{0, 0, 1})) << "the older badge count came late and was dropped";
    EXPECT_FALSE(screen().isCounting());
}

TEST_F(BackgroundSaveTest, ABadgeStillOnItsWayIsSetWhenTheAppGoes) {
    // An app of its own on the harness's device, closed within the test.
    auto closing = std::make_unique<BrindlexAppDelegate>([] { return kNow; }, badges_.setter());
    closing->applicationDidFinishLaunching();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closing->rootViewController()->isCounting(); }, 10000));
    badges_.values.clear();
    BackgroundWork::holdResultsForTesting(true);
    closing->rootViewController()->saveLastDate();
    waitForHeld(1);
    EXPECT_EQ(badges_.values, std::vector<int>{0});
    closing.reset();
    ASSERT_FALSE(badges_.values.empty());
    EXPECT_EQ(badges_.values.back(), 2) << "the count of the sent messages, set as the app went";
}

}  // namespace
