#include "UiTestSupport.h"

#include "platform/ui/TableContentView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/Theme.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QStringList>
#include <QTest>

#include <string>
#include <utility>
#include <vector>

namespace {

using EditingStyle = TableViewCell::EditingStyle;

// Message-like rows laid out by frames, as the message list draws them.
class MessageRows : public TableViewDataSource, public TableViewDelegate {
public:
    explicit MessageRows(int count) {
        for (int row = 0; row < count; ++row) texts.push_back(QString("Message number %1").arg(row));
    }

    std::vector<QString> texts;
    std::vector<IndexPath> selections;
    std::vector<std::pair<EditingStyle, IndexPath>> commits;
    int rowsConfigured = 0;

    int numberOfRowsInSection(TableView&, int) override { return int(texts.size()); }
    void describeRowAtIndexPath(TableView&, const IndexPath& indexPath, TableViewRow& content) override {
        const int row = indexPath.row;
        ++rowsConfigured;
        content.addLabel(QRect(30, 2, 150, 15), "Anna Becker", Theme::boldSystemFont(12));
        content.addLabel(QRect(170, 2, 150, 15), "05 Mar 2013 09:15:00 PM", Theme::systemFont(12), Theme::linkBlue());
        content.addLabel(QRect(30, 16, 280, 15), texts[size_t(row)], Theme::systemFont(12));
    }
    void commitEditingStyle(TableView& list, EditingStyle style, const IndexPath& indexPath) override {
        commits.emplace_back(style, indexPath);
        texts.erase(texts.begin() + indexPath.row);
        list.deleteRowsAtIndexPaths({indexPath}, true);
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) override { selections.push_back(indexPath); }
};

// A table that draws its rows, as the message list shows its messages.
class DrawnRowsTest : public ::testing::Test {
protected:
    explicit DrawnRowsTest(int rows = 20) : messages(rows) {
        list.setDrawsRows(true);
        list.resize(Theme::windowWidth, Theme::contentHeight);
        list.setRowHeight(35);
        list.setDataSource(&messages);
        list.setDelegate(&messages);
        list.show();
    }

    QWidget* surface() { return list.rowArea(); }
    QPoint middleOf(int row) { return list.rectForRowAtIndexPath({0, row}).center(); }

    MessageRows messages;
    TableView list;
};

TEST_F(DrawnRowsTest, TappingARowSelectsItAndTellsTheDelegate) {
    uitest::tap(surface(), middleOf(3));
    ASSERT_EQ(messages.selections.size(), 1u);
    EXPECT_EQ(messages.selections[0], (IndexPath{0, 3}));
    EXPECT_EQ(list.indexPathForSelectedRow(), (IndexPath{0, 3}));
    list.deselectRowAtIndexPath({0, 3}, true);
    EXPECT_FALSE(list.indexPathForSelectedRow().has_value());
}

TEST_F(DrawnRowsTest, SelectedRowsArePaintedBlueWithWhiteText) {
    uitest::tap(surface(), middleOf(1));
    const QImage image = surface()->grab().toImage();
    const QRect selected = list.rectForRowAtIndexPath({0, 1});
    const QRect plain = list.rectForRowAtIndexPath({0, 2});
    const QColor lit = image.pixelColor(5, selected.center().y());
    EXPECT_GT(lit.blue(), 200);
    EXPECT_LT(lit.red(), 60);
    EXPECT_EQ(image.pixel(5, plain.center().y()), qRgb(255, 255, 255));
    EXPECT_LT(qGray(image.pixel(5, plain.bottom())), 240) << "separator line under each row";
}

TEST_F(DrawnRowsTest, ASwipeOffersDeleteWhoseTapCommitsTheDelete) {
    const QPoint start = middleOf(4);
    uitest::drag(surface(), start + QPoint(80, 0), start - QPoint(40, 0));
    EXPECT_EQ(list.indexPathForDeleteConfirmation(), (IndexPath{0, 4}));
    EXPECT_TRUE(messages.selections.empty());

    const QRect row = list.rectForRowAtIndexPath({0, 4});
    uitest::tap(surface(), CellPainter::deleteButtonRect(row).center().toPoint());
    ASSERT_EQ(messages.commits.size(), 1u);
    EXPECT_EQ(messages.commits[0], std::make_pair(EditingStyle::Delete, IndexPath{0, 4}));
    EXPECT_EQ(list.numberOfRowsInSection(0), 19);
    EXPECT_FALSE(list.indexPathForDeleteConfirmation().has_value());
}

TEST_F(DrawnRowsTest, ATapBesideTheOfferedDeleteOnlyWithdrawsIt) {
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, middleOf(2), surface()->mapToGlobal(middleOf(2)));
    QCoreApplication::sendEvent(surface(), &rightClick);
    EXPECT_EQ(list.indexPathForDeleteConfirmation(), (IndexPath{0, 2}));
    uitest::tap(surface(), middleOf(6));
    EXPECT_FALSE(list.indexPathForDeleteConfirmation().has_value());
    EXPECT_TRUE(messages.selections.empty());
    EXPECT_TRUE(messages.commits.empty());
}

TEST_F(DrawnRowsTest, EditingModeDeletesThroughTheMinus) {
    list.setEditing(true, false);
    const QRect row = list.rectForRowAtIndexPath({0, 0});
    uitest::tap(surface(), QPoint(Theme::editingControlWidth / 2, row.center().y()));
    EXPECT_EQ(list.indexPathForDeleteConfirmation(), (IndexPath{0, 0}));
    uitest::tap(surface(), CellPainter::deleteButtonRect(row).center().toPoint());
    ASSERT_EQ(messages.commits.size(), 1u);
    EXPECT_EQ(messages.commits[0].second, (IndexPath{0, 0}));
    EXPECT_EQ(messages.texts.front(), "Message number 1");
}

class LongListTest : public DrawnRowsTest {
protected:
    LongListTest() : DrawnRowsTest(0) {}
};

TEST_F(LongListTest, FiftyThousandRowsLoadAndScrollQuicklyPaintingOnlyRowsInView) {
    messages = MessageRows(50000);
    QElapsedTimer clock;
    clock.start();
    list.reloadData();
    list.grab();
    list.scrollToRowAtIndexPath({0, 49999}, TableView::ScrollPosition::Bottom, false);
    list.grab();
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(list.numberOfRowsInSection(0), 50000);
    EXPECT_LT(elapsed, 1500) << "model-based: no work per row beyond those in view";
    EXPECT_LT(messages.rowsConfigured, 200);
    EXPECT_TRUE(list.rectForRowAtIndexPath({0, 49999}).intersects(surface()->rect()));
    EXPECT_TRUE(list.findChildren<QWidget*>().size() < 20) << "no widget per row";
}

// Day names as cells or as drawn rows: the same table either way.
class DayRows : public TableViewDataSource, public TableViewDelegate {
public:
    QStringList days{"Mon", "Tue", "Wed", "Thu", "Fri"};
    std::vector<IndexPath> selections;
    std::vector<IndexPath> deletes;

    int numberOfRowsInSection(TableView&, int) override { return int(days.size()); }
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override {
        TableViewCell* cell = table.dequeueReusableCell("Day");
        if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, "Day", table.contentView());
        cell->textLabel()->setText(days.value(indexPath.row));
        return cell;
    }
    void describeRowAtIndexPath(TableView&, const IndexPath& indexPath, TableViewRow& row) override {
        row.text = days.value(indexPath.row);
    }
    void commitEditingStyle(TableView& table, EditingStyle style, const IndexPath& indexPath) override {
        if (style != EditingStyle::Delete) return;
        deletes.push_back(indexPath);
        days.removeAt(indexPath.row);
        table.deleteRowsAtIndexPaths({indexPath}, false);
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) override { selections.push_back(indexPath); }
};

// Whether a table shows cells or draws its rows (the parameter), a screen
// drives it through the same calls and reads the same answers.
class EitherKindOfRowTest : public ::testing::TestWithParam<bool> {
protected:
    EitherKindOfRowTest() {
        table.setDrawsRows(GetParam());
        table.resize(Theme::windowWidth, Theme::contentHeight);
        table.setDataSource(&days);
        table.setDelegate(&days);
        table.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&table));
    }

    // The widget under a point of the row area (a cell, or the list's
    // viewport) and the point in its coordinates.
    std::pair<QWidget*, QPoint> at(QPoint point) {
        QWidget* area = table.rowArea();
        QWidget* hit = area->childAt(point);
        QWidget* target = hit ? hit : area;
        return {target, target->mapFrom(area, point)};
    }
    void tapAt(QPoint point) {
        const auto [widget, local] = at(point);
        uitest::tap(widget, local);
    }
    QPoint middleOf(int row) { return table.rectForRowAtIndexPath({0, row}).center(); }

    DayRows days;
    TableView table;
};

TEST_P(EitherKindOfRowTest, TapsSelectAndOfferedDeletesCommitAlike) {
    ASSERT_EQ(table.drawsRows(), GetParam());
    EXPECT_EQ(table.numberOfSections(), 1);
    EXPECT_EQ(table.numberOfRowsInSection(0), 5);
    EXPECT_TRUE(table.rowArea()->rect().contains(middleOf(4))) << "every row in view";

    tapAt(middleOf(3));
    EXPECT_EQ(days.selections, (std::vector<IndexPath>{IndexPath{0, 3}}));
    EXPECT_EQ(table.indexPathForSelectedRow(), (IndexPath{0, 3}));
    table.deselectRowAtIndexPath({0, 3}, false);
    EXPECT_FALSE(table.indexPathForSelectedRow().has_value());

    const auto [widget, local] = at(middleOf(1));
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, local, widget->mapToGlobal(local));
    QCoreApplication::sendEvent(widget, &rightClick);
    EXPECT_EQ(table.indexPathForDeleteConfirmation(), (IndexPath{0, 1}));

    tapAt(CellPainter::deleteButtonRect(table.rectForRowAtIndexPath({0, 1})).center().toPoint());
    EXPECT_EQ(days.deletes, (std::vector<IndexPath>{IndexPath{0, 1}}));
    EXPECT_FALSE(table.indexPathForDeleteConfirmation().has_value());
    EXPECT_TRUE(QTest::qWaitFor([&] { return table.numberOfRowsInSection(0) == 4; }));
    EXPECT_EQ(table.numberOfRowsInSection(0), 4);
    EXPECT_EQ(days.selections.size(), 1u) << "the Delete button is no tap on the row";
}

INSTANTIATE_TEST_SUITE_P(CellsAndDrawnRows, EitherKindOfRowTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("DrawnRows") : std::string("Cells");
                         });

}  // namespace
