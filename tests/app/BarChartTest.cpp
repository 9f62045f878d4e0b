#include "app/charts/BarChartController.h"
#include "app/charts/BarLine.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<Person> personsNamed(const std::vector<std::string>& names) {
    std::vector<Person> persons;
    for (const std::string& name : names) {
        Person person = Person::bareNumber("+1415555" + std::to_string(1000 + persons.size()), -1);
        person.setName(name);
        persons.push_back(person);
    }
    return persons;
}

struct Row {
    QString name;
    double length = 0;
    QString count;
    int countX = 0;
};

// The rows as drawn, top to bottom: the labels and the bar of each 30-point
// band below the header.
struct Chart {
    QString header;
    std::vector<Row> rows;
    int contentHeight = 0;
};

Chart chartOf(const BarChartController& controller) {
    Chart chart;
    QWidget* content = controller.scrollView()->contentView();
    chart.contentHeight = content->height();
    for (Label* label : content->findChildren<Label*>(Qt::FindDirectChildrenOnly)) {
        if (label->y() == BarChartController::kHeaderTop) {
            chart.header = label->text();
            continue;
        }
        const auto index = static_cast<std::size_t>((label->y() - BarChartController::kFirstRowTop) / 30);
        if (chart.rows.size() <= index) chart.rows.resize(index + 1);
        if (label->x() == 10)
            chart.rows[index].name = label->text();
        else {
            chart.rows[index].count = label->text();
            chart.rows[index].countX = label->x();
        }
    }
    for (BarLine* bar : content->findChildren<BarLine*>(Qt::FindDirectChildrenOnly)) {
        const auto index = static_cast<std::size_t>((bar->y() - 12 - BarChartController::kFirstRowTop) / 30);
        EXPECT_EQ(bar->x(), 110);
        EXPECT_EQ(bar->height(), 10);
        if (chart.rows.size() <= index) chart.rows.resize(index + 1);
        chart.rows[index].length = bar->length();
    }
    return chart;
}

}  // namespace

TEST(BarChartTest, LargestCountFirstWithoutTheZeroes) {
    std::vector<int> counts{5, 0, 12};
    std::vector<Person> persons = personsNamed({"P", "Q", "R"});
    BarChartController controller;
    controller.init(counts, persons);

    const Chart chart = chartOf(controller);
    EXPECT_EQ(chart.header, QStringLiteral("Num : 2"));
    ASSERT_EQ(chart.rows.size(), 2u);
    EXPECT_EQ(chart.rows[0].name, QStringLiteral("R"));
    EXPECT_EQ(chart.rows[0].count, QStringLiteral("12"));
    EXPECT_DOUBLE_EQ(chart.rows[0].length, 12.4);
    EXPECT_EQ(chart.rows[1].name, QStringLiteral("P"));
    EXPECT_EQ(chart.rows[1].count, QStringLiteral("5"));
    EXPECT_DOUBLE_EQ(chart.rows[1].length, 11.0);
    EXPECT_EQ(chart.contentHeight, 100);
    EXPECT_EQ(controller.uniqueNumbers(), 2);
    EXPECT_EQ(controller.title(), QStringLiteral("Bar Chart"));

    // The caller's arrays are left sorted ascending, still paired.
    EXPECT_EQ(counts, (std::vector<int>{0, 5, 12}));
    EXPECT_EQ(persons[0].name(), "Q");
    EXPECT_EQ(persons[1].name(), "P");
    EXPECT_EQ(persons[2].name(), "R");
}

TEST(BarChartTest, BarsGrowWithTheCountUpToTheScreenEdge) {
    EXPECT_DOUBLE_EQ(BarChartController::barLength(1), 10.2);
    EXPECT_DOUBLE_EQ(BarChartController::barLength(200), 50.0);
    EXPECT_DOUBLE_EQ(BarChartController::barLength(900), 190.0);
    EXPECT_DOUBLE_EQ(BarChartController::barLength(1000), 210.0);
    EXPECT_DOUBLE_EQ(BarChartController::barLength(1500), 210.0);
    EXPECT_EQ(BarChartController::countLabelX(50.0), 180);
    EXPECT_EQ(BarChartController::countLabelX(149.9), 279);
    EXPECT_EQ(BarChartController::countLabelX(190.0), 280);

    std::vector<int> counts{200, 1500, 900, 1};
    std::vector<Person> persons = personsNamed({"two hundred", "fifteen hundred", "nine hundred", "one"});
    BarChartController controller;
    controller.init(counts, persons);
    const Chart chart = chartOf(controller);
    ASSERT_EQ(chart.rows.size(), 4u);
    const double lengths[] = {210.0, 190.0, 50.0, 10.2};
    const int countXs[] = {280, 280, 180, 140};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(chart.rows[i].length, lengths[i]) << i;
        EXPECT_EQ(chart.rows[i].countX, countXs[i]) << i;
    }
    EXPECT_EQ(chart.rows[0].name, QStringLiteral("fifteen hundred"));
    EXPECT_EQ(chart.rows[3].count, QStringLiteral("1"));
    EXPECT_EQ(chart.contentHeight, 40 + 4 * 30);
}

TEST(BarChartTest, EqualCountsComeInTheReverseOfTheSortedOrder) {
    // Sorted ascending this reads E, B, C, D, A (the 0 jumps over A), so the
    // chart shows A, D, C, B.
    std::vector<int> counts{1, 1, 1, 1, 0};
    std::vector<Person> persons = personsNamed({"A", "B", "C", "D", "E"});
    BarChartController controller;
    controller.init(counts, persons);
    const Chart chart = chartOf(controller);
    std::vector<QString> names;
    for (const Row& row : chart.rows) names.push_back(row.name);
    EXPECT_EQ(names, (std::vector<QString>{"A", "D", "C", "B"}));
}

TEST(BarChartTest, NoCountsNoHeader) {
    for (std::vector<int> counts : {std::vector<int>{}, std::vector<int>{0, 0}}) {
        std::vector<Person> persons = personsNamed(std::vector<std::string>(counts.size(), "nobody"));
        BarChartController controller;
        controller.init(counts, persons);
        const Chart chart = chartOf(controller);
        EXPECT_TRUE(chart.header.isEmpty());
        EXPECT_TRUE(chart.rows.empty());
        EXPECT_EQ(chart.contentHeight, 40);
        EXPECT_EQ(controller.uniqueNumbers(), 0);
    }
}
