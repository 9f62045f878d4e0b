#include "app/charts/FullPieView.h"
#include "app/charts/PieAngle.h"
#include "app/charts/PieView.h"
#include "platform/ui/Label.h"
#include "support/UiWait.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

const QRect kFrame(50, 50, 180, 180);

std::vector<Person> personsNamed(const std::vector<std::string>& names) {
    std::vector<Person> persons;
    for (const std::string& name : names) {
        Person person = Person::bareNumber(name, -1);
        person.setName(name);
        persons.push_back(person);
    }
    return persons;
}

std::unique_ptr<FullPieView> pieOf(const std::vector<int>& counts, int max) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < counts.size(); ++i) names.push_back("Person " + std::to_string(i + 1));
    return std::make_unique<FullPieView>(counts, personsNamed(names), kFrame, max);
}

// A point in the pie's coordinates at `degrees` around the pie's centre
// (90, 140), `reach` of the radius out.
QPointF pointAt(double degrees, double reach = 0.5) {
    const double r = PieAngle::radians(degrees);
    return {90.0 + 90.0 * reach * std::cos(r), 140.0 + 90.0 * reach * std::sin(r)};
}

int selectedIndex(const FullPieView& pie) {
    const auto& wedges = pie.pieViews();
    for (std::size_t i = 0; i < wedges.size(); ++i)
        if (wedges[i] == pie.selectedView()) return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST(PieAngleTest, AnglesRunClockwiseFromThreeOClockInEveryQuadrant) {
    EXPECT_DOUBLE_EQ(PieAngle::angleWithRefOrigin(1.0f, 0.0f), 0.0);
    EXPECT_NEAR(PieAngle::angleWithRefOrigin(0.5f, 0.5f), 45.0, 1e-4);    // down and right
    EXPECT_NEAR(PieAngle::angleWithRefOrigin(-0.5f, 0.5f), 135.0, 1e-4);  // down and left
    EXPECT_DOUBLE_EQ(PieAngle::angleWithRefOrigin(-1.0f, 0.0f), 180.0);
    EXPECT_NEAR(PieAngle::angleWithRefOrigin(-0.5f, -0.5f), 225.0, 1e-4);  // up and left
    EXPECT_NEAR(PieAngle::angleWithRefOrigin(0.5f, -0.5f), 315.0, 1e-4);   // up and right
    // On the vertical axis the quotient is infinite.
    EXPECT_NEAR(PieAngle::angleWithRefOrigin(0.0f, 0.3f), 90.0, 1e-4);
    EXPECT_NEAR(PieAngle::angleWithRefOrigin(0.0f, -0.3f), 270.0, 1e-4);
    EXPECT_TRUE(std::isnan(PieAngle::angleWithRefOrigin(0.0f, 0.0f)));
    for (double degrees = 0.5; degrees < 360.0; degrees += 7.25) {
        const QPointF point = pointAt(degrees, 0.8);
        EXPECT_NEAR(PieAngle::unitPointOf(point.x(), point.y()).angle(), degrees, 1e-3) << degrees;
    }
}

TEST(PieChartTest, WedgesFollowTheCountsInOrderWithTheirCaptions) {
    const auto pie = pieOf({1, 1, 2}, 4);
    ASSERT_EQ(pie->pieViews().size(), 3u);
    const double expected[][2] = {{0, 90}, {90, 180}, {180, 360}};
    const char* percent[] = {"Person 1 \n1 (25.00)%", "Person 2 \n1 (25.00)%", "Person 3 \n2 (50.00)%"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(pie->pieViews()[i]->startAngle(), expected[i][0]);
        EXPECT_DOUBLE_EQ(pie->pieViews()[i]->endAngle(), expected[i][1]);
        EXPECT_EQ(pie->pieViewsAngle()[i].startAngle(), expected[i][0]);
        EXPECT_EQ(pie->pieViewsAngle()[i].endAngle(), expected[i][1]);
        EXPECT_EQ(pie->pieViews()[i]->caption(), QString::fromUtf8(percent[i]));
        EXPECT_EQ(pie->pieViews()[i]->parentView(), pie.get());
        EXPECT_EQ(pie->pieViews()[i]->c().alphaF(), 1.0);
    }
    // Counts that fall short of the total leave a gap at the end.
    const auto gap = pieOf({1}, 3);
    EXPECT_DOUBLE_EQ(gap->pieViews()[0]->endAngle(), 120.0);
    EXPECT_EQ(gap->pieViewsAngle()[0].endAngle(), 120);
    EXPECT_EQ(gap->pieViews()[0]->caption(), QStringLiteral("Person 1 \n1 (33.33)%"));
}

TEST(PieChartTest, ATouchSelectsTheWedgeUnderItByWholeDegrees) {
    // 333 of 3600 ends the first wedge at 33.3 degrees, stored as 33.
    const auto pie = pieOf({333, 3267}, 3600);
    EXPECT_EQ(pie->pieViewsAngle()[0].endAngle(), 33);
    EXPECT_EQ(pie->pieViewsAngle()[1].startAngle(), 33);

    pie->touchesBegan(pointAt(20));
    EXPECT_EQ(selectedIndex(*pie), 0);
    EXPECT_EQ(pie->captionLabel()->text(), QStringLiteral("Person 1 \n333 (9.25)%"));
    // 33.2 lies on the first wedge but beyond its whole-degree end.
    EXPECT_TRUE(pie->pieViews()[0]->pointInside(pointAt(33.2)));
    pie->touchesBegan(pointAt(33.2));
    EXPECT_EQ(selectedIndex(*pie), 1);
    EXPECT_EQ(pie->captionLabel()->text(), QStringLiteral("Person 2 \n3267 (90.75)%"));

    // Outside the circle and at its very centre nothing changes.
    pie->touchesBegan(pointAt(20, 1.2));
    pie->touchesBegan(QPointF(90, 140));
    EXPECT_EQ(selectedIndex(*pie), 1);
    // Dragging takes the selection along.
    pie->touchesMoved(pointAt(10));
    EXPECT_EQ(selectedIndex(*pie), 0);
}

TEST(PieChartTest, ASharedBoundaryGoesToTheLaterWedge) {
    const auto pie = pieOf({1, 1}, 2);
    pie->touchesBegan(pointAt(180));  // exactly 180: the end of one, the start of the other
    EXPECT_EQ(selectedIndex(*pie), 1);
    pie->touchesBegan(pointAt(0));  // exactly 0 belongs to the first only
    EXPECT_EQ(selectedIndex(*pie), 0);
}

TEST(PieChartTest, TheSelectedWedgeGrowsAndTheOldOneShrinksBack) {
    const auto pie = pieOf({1, 1, 2}, 4);
    PieView* first = pie->pieViews()[0];
    PieView* third = pie->pieViews()[2];
    pie->touchesBegan(pointAt(45));
    EXPECT_TRUE(uiwait::settle()) << "the wedge never grew";
    EXPECT_DOUBLE_EQ(first->scale(), PieView::kExpandedScale);

    // Touching the selected wedge again keeps it as it is.
    pie->touchesBegan(pointAt(60));
    EXPECT_EQ(pie->selectedView(), first);
    EXPECT_EQ(pie->captionLabel()->text(), first->caption());

    pie->touchesBegan(pointAt(270));
    EXPECT_EQ(pie->selectedView(), third);
    EXPECT_EQ(pie->captionLabel()->text(), third->caption());
    EXPECT_TRUE(uiwait::settle()) << "the wedges never changed size";
    EXPECT_DOUBLE_EQ(first->scale(), 1.0);
    EXPECT_DOUBLE_EQ(third->scale(), PieView::kExpandedScale);
}

TEST(PieChartTest, OnePersonFillsTheWholeCircle) {
    const auto pie = pieOf({7}, 7);
    ASSERT_EQ(pie->pieViews().size(), 1u);
    EXPECT_DOUBLE_EQ(pie->pieViews()[0]->endAngle(), 360.0);
    EXPECT_EQ(pie->pieViews()[0]->caption(), QStringLiteral("Person 1 \n7 (100.00)%"));
    for (double degrees : {0.0, 90.0, 179.0, 270.0, 359.5}) {
        pie->touchesBegan(pointAt(degrees, 0.9));
        EXPECT_EQ(selectedIndex(*pie), 0) << degrees;
    }

    // Painted: every point well inside the circle carries the wedge's colour.
    const QImage image = pie->grab().toImage();
    const QColor colour = pie->pieViews()[0]->c();
    for (double degrees = 5; degrees < 360; degrees += 30) {
        const QPoint pixel = pie->widgetPointFor(pointAt(degrees, 0.7)).toPoint();
        const QColor painted = image.pixelColor(pixel * image.devicePixelRatio());
        EXPECT_NEAR(painted.red(), colour.red(), 2) << degrees;
        EXPECT_NEAR(painted.green(), colour.green(), 2) << degrees;
        EXPECT_NEAR(painted.blue(), colour.blue(), 2) << degrees;
    }
}

TEST(PieChartTest, NoTotalDrawsAnEmptyPie) {
    for (const std::vector<int>& counts : {std::vector<int>{0, 0, 0}, std::vector<int>{}}) {
        const auto pie = pieOf(counts, 0);
        EXPECT_TRUE(pie->pieViews().empty());
        EXPECT_TRUE(pie->pieViewsAngle().empty());
        pie->updateTitle(QStringLiteral("All Messages"));
        EXPECT_EQ(pie->titleLabel()->text(), QStringLiteral("All Messages"));
        pie->touchesBegan(pointAt(45));
        EXPECT_EQ(pie->selectedView(), nullptr);
        EXPECT_FALSE(pie->grab().isNull());
    }
}

TEST(PieChartTest, ColoursAreRedBlueGreenDrawsOfTheSeededGenerator) {
    ::srandom(42);
    const double red = ::random() / 2147483648.0, blue = ::random() / 2147483648.0, green = ::random() / 2147483648.0;
    ::srandom(42);
    const QColor colour = FullPieView::randomColor();
    EXPECT_NEAR(colour.redF(), red, 1e-3);
    EXPECT_NEAR(colour.greenF(), green, 1e-3);
    EXPECT_NEAR(colour.blueF(), blue, 1e-3);
    EXPECT_EQ(colour.alphaF(), 1.0);
}
