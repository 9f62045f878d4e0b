#include "AppHarness.h"
#include "ChartPeriod.h"

#include "app/charts/BarChartController.h"
#include "app/charts/ChartViewController.h"
#include "app/charts/FullPieView.h"
#include "app/charts/PieAngle.h"
#include "app/charts/PieView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Label.h"
#include "platform/ui/ProgressHUD.h"
#include "platform/ui/ScrollView.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

class ChartScreenTest : public ::testing::Test {
protected:
    // Anna owns two numbers, Ben one; one number belongs to nobody.
    void SetUp() override {
        AddressBookFixture book = app_.addressBook();
        book.addContact("Anna", "Becker", std::nullopt, {"+14155550101", "+14155550102"});
        book.addContact("Ben", "Okafor", std::nullopt, {"+14155550103"});
    }

    void storeTraffic() {
        for (int i = 0; i < 3; ++i) app_.store("+14155550101", kMarch5 + i, i % 2 == 0);
        app_.store("+14155550102", kMarch5 + 10, false);
        app_.store("+14155550103", kMarch5 + 20, true);
        app_.store("+14155550104", kMarch5 + 30, false);
        app_.store("+14155550104", kMarch5 + 31, false);
        app_.store("+14155550104", kMarch1 - 1, false);  // before the period
    }

    void launchOnMarch() {
        app_.launch();
        app_.root().model().setFromDate(kMarch1);
        app_.root().model().setToDate(kMarch20);
    }

    ChartViewController* runChart() {
        app_.root().showChart();
        app_.waitForProgressOverlay();
        return app_.root().chartViewController();
    }

    // The bar chart, through the pie screen's button; null when another
    // screen came up.
    BarChartController* openBarChart() {
        app_.root().chartViewController()->barChartButton()->trigger();
        EXPECT_TRUE(uiwait::settle());
        return qobject_cast<BarChartController*>(app_.navigation().topViewController());
    }

    FullPieView* pie() { return app_.root().chartViewController()->pieView(); }

    // The wedge whose caption starts with `name`.
    PieView* wedgeOf(const QString& name) {
        for (PieView* wedge : pie()->pieViews())
            if (wedge->caption().startsWith(name + " ")) return wedge;
        return nullptr;
    }

    // A tap in the middle of the wedge, through the window as a finger's.
    void touch(PieView* wedge) {
        const double middle = PieAngle::radians((wedge->startAngle() + wedge->endAngle()) / 2);
        const QPointF onWedge(90 + 45 * std::cos(middle), 140 + 45 * std::sin(middle));
        QTest::mouseClick(pie(), Qt::LeftButton, {}, pie()->widgetPointFor(onWedge).toPoint());
    }

    AppHarness app_;
};

}  // namespace

TEST_F(ChartScreenTest, ShowsTheOverlayFirstThenThePieOfEveryPersonInThePeriod) {
    storeTraffic();
    launchOnMarch();
    app_.root().showChart();
    // Not yet: the work waits for the overlay to be drawn.
    EXPECT_EQ(app_.root().chartViewController(), nullptr);
    const auto huds = app_.window().findChildren<ProgressHUD*>();
    ASSERT_FALSE(huds.isEmpty());
    EXPECT_TRUE(huds.last()->isVisible());
    EXPECT_EQ(huds.last()->text(), QStringLiteral("Generating Chart. Please wait."));

    app_.waitForProgressOverlay();
    ChartViewController* chart = app_.root().chartViewController();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(app_.navigation().topViewController(), chart);
    EXPECT_EQ(chart->title(), QStringLiteral("Pie Chart"));
    for (ProgressHUD* hud : app_.window().findChildren<ProgressHUD*>()) EXPECT_FALSE(hud->isVisible());

    // Anna's two numbers make one person; every count is a share of the 7.
    ASSERT_EQ(pie()->pieViews().size(), 3u);
    EXPECT_EQ(app_.root().chartViewController()->persons().size(), 3u);
    ASSERT_NE(wedgeOf("Anna Becker"), nullptr);
    EXPECT_EQ(wedgeOf("Anna Becker")->caption(), QStringLiteral("Anna Becker \n4 (57.14)%"));
    EXPECT_EQ(wedgeOf("Ben Okafor")->caption(), QStringLiteral("Ben Okafor \n1 (14.29)%"));
    EXPECT_EQ(wedgeOf("+14155550104")->caption(), QStringLiteral("+14155550104 \n2 (28.57)%"));
    EXPECT_DOUBLE_EQ(pie()->pieViews().back()->endAngle(), 360.0);

    const DateFormatter dates;
    EXPECT_EQ(pie()->titleLabel()->text(), QStringLiteral("All Messages\nFrom : %1\nTo : %2\nNum : 3")
                                               .arg(dates.stringFromDate(kMarch1), dates.stringFromDate(kMarch20)));
    // The total's records: the sent ones, then the received ones.
    const std::vector<Sms>& records = app_.root().chartViewController()->records();
    ASSERT_EQ(records.size(), 7u);
    EXPECT_TRUE(
        std::is_partitioned(records.begin(), records.end(), [](const Sms& sms) { return sms.flags() == Sms::kSent; }));
    EXPECT_EQ(records.front().flags(), Sms::kSent);

    touch(wedgeOf("Anna Becker"));
    EXPECT_EQ(pie()->selectedView(), wedgeOf("Anna Becker"));
    EXPECT_EQ(pie()->captionLabel()->text(), QStringLiteral("Anna Becker \n4 (57.14)%"));
    app_.screenshot(QStringLiteral("chart_pie_several"));
}

TEST_F(ChartScreenTest, TheMessageTypeChoosesCountsAndHeading) {
    storeTraffic();
    launchOnMarch();
    app_.root().model().setMessageType(MessageType::Received);
    runChart();
    // Received only: Anna 1 of her first number's 3 and 1 of the second, the bare number 2.
    EXPECT_TRUE(pie()->titleLabel()->text().startsWith(QStringLiteral("Received Messages\n")));
    EXPECT_EQ(wedgeOf("Anna Becker")->caption(), QStringLiteral("Anna Becker \n2 (50.00)%"));
    EXPECT_EQ(wedgeOf("Ben Okafor"), nullptr);
    EXPECT_EQ(app_.root().chartViewController()->records().size(), 4u);

    app_.navigation().popViewControllerAnimated(false);
    app_.root().model().setMessageType(MessageType::Sent);
    runChart();
    EXPECT_TRUE(pie()->titleLabel()->text().startsWith(QStringLiteral("Sent Messages\n")));
    EXPECT_TRUE(pie()->titleLabel()->text().endsWith(QStringLiteral("Num : 2")));
    EXPECT_EQ(wedgeOf("Ben Okafor")->caption(), QStringLiteral("Ben Okafor \n1 (33.33)%"));

    app_.navigation().popViewControllerAnimated(false);
    app_.root().model().setMessageType(static_cast<MessageType>(7));
    runChart();
    EXPECT_TRUE(pie()->titleLabel()->text().startsWith(QStringLiteral("All Messages\n")));
    // Every chart leaves one pie on the screen, and only its own data.
    EXPECT_EQ(app_.root().chartViewController()->findChildren<FullPieView*>().size(), 1);
    EXPECT_EQ(app_.root().chartViewController()->persons().size(), 3u);
    EXPECT_EQ(app_.root().chartViewController()->counts().size(), 3u);
}

TEST_F(ChartScreenTest, TheBarChartRanksTheSameDataAndLeavesThePieAsItWas) {
    storeTraffic();
    launchOnMarch();
    runChart();
    std::vector<double> pieAngles;
    for (PieView* wedge : pie()->pieViews()) pieAngles.push_back(wedge->endAngle());

    BarChartController* bars = openBarChart();
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->uniqueNumbers(), 3);
    EXPECT_EQ(app_.root().chartViewController()->counts(), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(app_.root().chartViewController()->persons().front().name(), "Ben Okafor");
    EXPECT_EQ(app_.root().chartViewController()->persons().back().name(), "Anna Becker");
    app_.screenshot(QStringLiteral("chart_bars"));

    // Back on the pie: the wedges are those drawn before the sort.
    app_.navigation().popViewControllerAnimated(false);
    EXPECT_TRUE(uiwait::settle());
    std::vector<double> after;
    for (PieView* wedge : pie()->pieViews()) after.push_back(wedge->endAngle());
    EXPECT_EQ(after, pieAngles);
    EXPECT_TRUE(app_.window().findChildren<BarChartController*>().isEmpty());
}

TEST_F(ChartScreenTest, OnePersonFillsThePie) {
    app_.store("+14155550103", kMarch5, true);
    app_.store("+14155550103", kMarch5 + 60, false);
    launchOnMarch();
    runChart();
    ASSERT_EQ(pie()->pieViews().size(), 1u);
    EXPECT_DOUBLE_EQ(pie()->pieViews()[0]->endAngle(), 360.0);
    touch(pie()->pieViews()[0]);
    EXPECT_EQ(pie()->captionLabel()->text(), QStringLiteral("Ben Okafor \n2 (100.00)%"));
    app_.screenshot(QStringLiteral("chart_pie_one"));
}

TEST_F(ChartScreenTest, AnEmptyPeriodShowsTheTitleBlockAndAnEmptyPie) {
    app_.store("+14155550103", kMarch1 - 100, true);
    launchOnMarch();
    runChart();
    ASSERT_NE(pie(), nullptr);
    EXPECT_TRUE(pie()->pieViews().empty());
    EXPECT_TRUE(pie()->titleLabel()->text().endsWith(QStringLiteral("Num : 0")));
    app_.screenshot(QStringLiteral("chart_pie_none"));

    BarChartController* bars = openBarChart();
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->uniqueNumbers(), 0);
}

TEST_F(ChartScreenTest, ManyPeopleRankInAScrollingColumn) {
    // Fourteen correspondents from 1,200 messages down to 1.
    const int counts[] = {1200, 640, 410, 260, 180, 120, 75, 48, 30, 18, 9, 5, 2, 1};
    std::vector<FixtureMessage> batch;
    for (int person = 0; person < 14; ++person)
        for (int i = 0; i < counts[person]; ++i)
            batch.push_back(FixtureMessage{"+1415555" + std::to_string(2000 + person), "hello",
                                           kMarch5 + person * 3000 + i, i % 3 == 0, "SMS"});
    ASSERT_TRUE(app_.sms().storeMessages(batch));
    launchOnMarch();
    runChart();
    ASSERT_EQ(pie()->pieViews().size(), 14u);
    touch(pie()->pieViews()[1]);
    app_.screenshot(QStringLiteral("chart_pie_many"));

    BarChartController* bars = openBarChart();
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->uniqueNumbers(), 14);
    // Taller than the screen: the column scrolls.
    EXPECT_EQ(bars->scrollView()->contentSize(), QSize(320, 40 + 14 * 30));
    EXPECT_GT(bars->scrollView()->contentSize().height(), bars->scrollView()->viewport()->height());
    app_.screenshot(QStringLiteral("chart_bars_many"));
}
