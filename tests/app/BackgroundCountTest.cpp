// Counting, chart data and the report run off the UI thread: their answers
// come back on it, numbered, and a late answer to an older request never
// replaces the answer to a newer one.
#include "AppHarness.h"

#include "app/charts/ChartViewController.h"
#include "app/charts/FullPieView.h"
#include "app/list/RecordViewController.h"
#include "app/shell/BackgroundWork.h"
#include "platform/ui/Label.h"

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

constexpr std::time_t kNow = 1363780800;  // 2013-03-20 12:00 UTC

TEST(BackgroundWorkTest, AnswersOnTheUiThreadAndGoingAwayWaitsForTheWork) {
    QThread* ui = QThread::currentThread();
    auto work = std::make_unique<BackgroundWork>();
    QThread* ranOn = nullptr;
    QThread* answeredOn = nullptr;
    int answer = 0;
    work->run<int>(
        [&ranOn] {
            ranOn = QThread::currentThread();
            return 42;
        },
        [&](int value) {
            answeredOn = QThread::currentThread();
            answer = value;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer != 0; }, 10000));
    EXPECT_EQ(answer, 42);
    EXPECT_NE(ranOn, ui);
    EXPECT_EQ(answeredOn, ui);

    // Gone while the work runs: the work ends first, its answer goes nowhere.
    // The work is still running when the owner goes: it ends only once the
    // owner has begun to go.
    std::atomic<bool> started = false, going = false, finished = false;
    bool answered = false;
    work->run<int>(
        [&] {
            started = true;
            QDeadlineTimer bound(10000);
            while (!going && !bound.hasExpired()) QThread::yieldCurrentThread();
            finished = true;
            return 1;
        },
        [&answered](int) { answered = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 10000));
    going = true;
    work.reset();
    EXPECT_TRUE(finished);
    QCoreApplication::processEvents();
    EXPECT_FALSE(answered);
}

class BackgroundCountTest : public ::testing::Test {
protected:
    BackgroundCountTest() {
        app_.setNow(kNow);
        app_.store("4155550101", kNow - 100, false);
        app_.store("4155550102", kNow - 90, false);
        app_.store("4155550103", kNow - 80, true);
    }
    ~BackgroundCountTest() override { BackgroundWork::holdResultsForTesting(false); }

    // The screen itself: AppHarness::root() would wait for the held counts.
    RootViewController& screen() { return *app_.delegate().rootViewController(); }
    void waitForHeld(int count) {
        EXPECT_TRUE(QTest::qWaitFor([count] { return BackgroundWork::heldResultCountForTesting() == count; }, 10000));
    }

    AppHarness app_;
};

TEST_F(BackgroundCountTest, ALateCountNeverReplacesANewerOne) {
    app_.launch();
    EXPECT_EQ(app_.shownValue("Total Messages"), "3");

    BackgroundWork::holdResultsForTesting(true);
    screen().model().setMessageType(MessageType::Received);
    EXPECT_TRUE(screen().isCounting());
    screen().model().setMessageType(MessageType::Sent);
    waitForHeld(2);
    EXPECT_EQ(app_.shownValue("Total Messages", AppHarness::Counts::AsTheyAre), "3")
        << "the last total stands until the new one is in";
    // The newer answer first, then the older one, late.
    BackgroundWork::releaseHeldResultsNewestFirstForTesting();
    EXPECT_FALSE(screen().isCounting());
    EXPECT_EQ(app_.shownValue("Total Messages", AppHarness::Counts::AsTheyAre), "1");
    ASSERT_EQ(screen().recordViewController()->data().size(), 1u) << "the list holds the newer records";
    EXPECT_EQ(screen().recordViewController()->data()[0].flags(), Sms::kSent);
}

TEST_F(BackgroundCountTest, ALateChartNeverReplacesANewerOne) {
    app_.launch();
    BackgroundWork::holdResultsForTesting(true);
    screen().model().setMessageType(MessageType::Received);
    screen().controller().generateChart();
    screen().model().setMessageType(MessageType::Sent);
    screen().controller().generateChart();
    waitForHeld(4);  // two counts, two charts
    EXPECT_EQ(screen().chartViewController(), nullptr) << "nothing shown before the answer";
    BackgroundWork::releaseHeldResultsNewestFirstForTesting();
    ChartViewController* chart = screen().chartViewController();
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->pieView()->titleLabel()->text().startsWith("Sent Messages\n"));
    EXPECT_EQ(chart->counts(), std::vector<int>{1});
    EXPECT_EQ(chart->records().size(), 1u);
    EXPECT_EQ(app_.shownValue("Total Messages", AppHarness::Counts::AsTheyAre), "1");
}

}  // namespace
