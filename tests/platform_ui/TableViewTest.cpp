#include "UiTestSupport.h"

#include "platform/ui/Label.h"
#include "platform/ui/TableContentView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/TextFieldCell.h"
#include "platform/ui/Theme.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>

#include <map>
#include <utility>
#include <vector>

namespace {

using EditingStyle = TableViewCell::EditingStyle;

// A table of text rows that records what the table asks and reports.
class RecordingTable : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<QStringList> sections;
    QStringList headers;
    QStringList footers;
    std::map<IndexPath, EditingStyle> editingStyles;
    std::map<IndexPath, bool> editable;
    // Measures the delegate imposes; -1 leaves the table's own.
    int rowHeight = -1;
    int headerHeight = -1;
    int footerHeight = -1;

    std::vector<IndexPath> selections;
    std::vector<std::pair<EditingStyle, IndexPath>> commits;

    int numberOfSectionsInTableView(TableView&) override { return int(sections.size()); }
    int numberOfRowsInSection(TableView&, int section) override { return int(sections[size_t(section)].size()); }
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override {
        TableViewCell* cell = table.dequeueReusableCell("Cell");
        if (!cell) cell = new TableViewCell(TableViewCell::Style::Value1, "Cell", table.contentView());
        cell->textLabel()->setText(sections[size_t(indexPath.section)][indexPath.row]);
        cell->detailTextLabel()->setText("Detail");
        cell->setAccessoryType(TableViewCell::Accessory::DisclosureIndicator);
        return cell;
    }
    QString titleForHeaderInSection(TableView&, int section) override { return headers.value(section); }
    QString titleForFooterInSection(TableView&, int section) override { return footers.value(section); }
    bool canEditRowAtIndexPath(TableView&, const IndexPath& indexPath) override {
        const auto found = editable.find(indexPath);
        return found == editable.end() || found->second;
    }
    void commitEditingStyle(TableView& table, EditingStyle style, const IndexPath& indexPath) override {
        commits.emplace_back(style, indexPath);
        if (style == EditingStyle::Delete) {
            sections[size_t(indexPath.section)].removeAt(indexPath.row);
            table.deleteRowsAtIndexPaths({indexPath}, true);
        }
    }
    int heightForRowAtIndexPath(TableView&, const IndexPath&) override { return rowHeight; }
    int heightForHeaderInSection(TableView&, int) override { return headerHeight; }
    int heightForFooterInSection(TableView&, int) override { return footerHeight; }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) override { selections.push_back(indexPath); }
    EditingStyle editingStyleForRowAtIndexPath(TableView&, const IndexPath& indexPath) override {
        const auto found = editingStyles.find(indexPath);
        return found == editingStyles.end() ? EditingStyle::Delete : found->second;
    }
};

class TableViewTest : public ::testing::Test {
protected:
    void show(TableView::Style style) {
        table = std::make_unique<TableView>(style);
        table->resize(Theme::windowWidth, Theme::contentHeight);
        table->setDataSource(&rows);
        table->setDelegate(&rows);
        table->show();
    }

    TableViewCell& cell(IndexPath indexPath) {
        TableViewCell* found = table->cellForRowAtIndexPath(indexPath);
        EXPECT_NE(found, nullptr) << indexPath.section << "," << indexPath.row;
        return *found;
    }

    // The middle of the row's white part.
    void tapRow(IndexPath indexPath) { uitest::tap(&cell(indexPath), QPoint(100, cell(indexPath).height() / 2)); }

    void tapEditingControl(IndexPath indexPath) {
        TableViewCell& c = cell(indexPath);
        const int left = table->tableStyle() == TableView::Style::Grouped ? Theme::groupInset : 0;
        uitest::tap(&c, QPoint(left + Theme::editingControlWidth / 2, c.height() / 2));
    }

    void tapDeleteButton(IndexPath indexPath) {
        TableViewCell& c = cell(indexPath);
        const QRect background = table->tableStyle() == TableView::Style::Grouped
                                     ? c.rect().adjusted(Theme::groupInset, 0, -Theme::groupInset, 0)
                                     : c.rect();
        uitest::tap(&c, CellPainter::deleteButtonRect(background).center().toPoint());
    }

    RecordingTable rows;
    std::unique_ptr<TableView> table;
};

TEST_F(TableViewTest, TappingARowSelectsItAndTellsTheDelegateItsIndexPath) {
    rows.sections = {{"Message Type", "Person", "Exclusions"}, {"Total Messages", "Messages Left"}};
    show(TableView::Style::Grouped);

    tapRow({1, 1});
    ASSERT_EQ(rows.selections.size(), 1u);
    EXPECT_EQ(rows.selections[0], (IndexPath{1, 1}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{1, 1}));
    EXPECT_TRUE(cell({1, 1}).isSelected());
    EXPECT_TRUE(cell({1, 1}).textLabel()->isHighlighted()) << "text turns white on blue";

    tapRow({0, 2});
    EXPECT_EQ(rows.selections.back(), (IndexPath{0, 2}));
    EXPECT_FALSE(cell({1, 1}).isSelected()) << "one selected row at a time";

    table->deselectRowAtIndexPath({0, 2}, true);
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
    EXPECT_FALSE(cell({0, 2}).isSelected());
    EXPECT_FALSE(cell({0, 2}).textLabel()->isHighlighted());
}

TEST_F(TableViewTest, SelectingInCodeDoesNotCallTheDelegateAndReloadClearsIt) {
    rows.sections = {{"From", "To"}};
    show(TableView::Style::Grouped);
    table->selectRowAtIndexPath({0, 1}, false, TableView::ScrollPosition::Middle);
    EXPECT_TRUE(rows.selections.empty());
    EXPECT_TRUE(cell({0, 1}).isSelected());
    table->reloadData();
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
    EXPECT_FALSE(cell({0, 1}).isSelected());
}

TEST_F(TableViewTest, GroupedSectionsStackHeaderRowsAndFooter) {
    rows.sections = {{"Clear database", "Badge type"}, {"SMS Quota"}};
    rows.headers = {"Settings", ""};
    rows.footers = {"", "0 or blank for unlimited"};
    show(TableView::Style::Grouped);

    EXPECT_EQ(table->rectForHeaderInSection(0), QRect(0, 0, 320, Theme::groupedHeaderHeight));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}).top(), Theme::groupedHeaderHeight);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}).top(), Theme::groupedHeaderHeight + 44);
    const QRect footer0 = table->rectForFooterInSection(0);
    EXPECT_EQ(footer0.top(), Theme::groupedHeaderHeight + 88);
    EXPECT_EQ(footer0.height(), Theme::groupedFooterHeight);
    EXPECT_EQ(table->rectForHeaderInSection(1).top(), footer0.bottom() + 1);
    EXPECT_GT(table->rectForFooterInSection(1).height(), Theme::groupedFooterHeight) << "room for the footer text";
    EXPECT_EQ(table->titleForFooterInSection(1), "0 or blank for unlimited");
}

TEST_F(TableViewTest, GroupedRowsAreWhiteGroupsOnTheStripedBackground) {
    rows.sections = {{"One", "Two"}, {"Three"}};
    rows.headers = {"Header", ""};
    rows.footers = {"", "A footer text"};
    show(TableView::Style::Grouped);
    const QImage image = table->grab().toImage();
    const QRect row = table->rectForRowAtIndexPath({0, 0});
    const int y = row.center().y();
    EXPECT_NE(image.pixel(4, y), qRgb(255, 255, 255)) << "background beside the group";
    EXPECT_EQ(image.pixel(60, y + 12), qRgb(255, 255, 255)) << "inside the white group";
    // The border between the two rows of the group is a grey hairline.
    const QRgb separator = image.pixel(160, row.bottom());
    EXPECT_LT(qGray(separator), 200);
    EXPECT_EQ(image.pixel(160, row.bottom() + 2), qRgb(255, 255, 255));

    auto hasText = [&image](const QRect& area) {
        const QRgb background = image.pixel(area.left() + 1, area.top() + 1);
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(image.pixel(x, y)) < qGray(background) - 60) return true;
        return false;
    };
    EXPECT_TRUE(hasText(table->rectForHeaderInSection(0))) << "header text is drawn";
    EXPECT_TRUE(hasText(table->rectForFooterInSection(1))) << "footer text is drawn";
    EXPECT_FALSE(hasText(table->rectForFooterInSection(0))) << "no text, nothing drawn";
}

TEST_F(TableViewTest, DelegateMeasuresReplaceTheDefaults) {
    rows.sections = {{"a", "b", "c"}, {"d", "e"}};
    rows.rowHeight = 40;
    rows.headerHeight = 1;
    rows.footerHeight = 5;
    show(TableView::Style::Grouped);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}), QRect(0, 1, 320, 40));
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 0}).top(), 1 + 3 * 40 + 5 + 1);
    EXPECT_EQ(cell({1, 1}).height(), 40);
}

TEST_F(TableViewTest, OnlyRowsInViewHaveCellsAndScrolledOutCellsAreReused) {
    QStringList many;
    for (int row = 0; row < 2000; ++row) many << QString("Row %1").arg(row);
    rows.sections = {many};
    show(TableView::Style::Plain);
    const int inView = Theme::contentHeight / 44 + 2;
    EXPECT_LE(table->visibleCells().size(), inView);
    EXPECT_LE(table->contentView()->findChildren<TableViewCell*>().size(), inView);

    table->scrollToRowAtIndexPath({0, 1999}, TableView::ScrollPosition::Bottom, false);
    ASSERT_NE(table->cellForRowAtIndexPath({0, 1999}), nullptr);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 1999})->textLabel()->text(), "Row 1999");
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0}), nullptr);
    const int cellsMade = int(table->contentView()->findChildren<TableViewCell*>().size());
    EXPECT_LE(cellsMade, 2 * inView) << "cells are recycled, not made per row";
}

TEST_F(TableViewTest, EditingModeDeletesThroughTheMinusAndTheDeleteButton) {
    rows.sections = {{"*123", "456", "Anna Becker"}};
    show(TableView::Style::Grouped);
    table->setEditing(true, true);
    EXPECT_EQ(cell({0, 1}).editingStyle(), EditingStyle::Delete);

    tapEditingControl({0, 1});
    EXPECT_TRUE(cell({0, 1}).isShowingDeleteConfirmation());
    EXPECT_TRUE(rows.commits.empty()) << "the minus only offers the Delete button";

    tapDeleteButton({0, 1});
    ASSERT_EQ(rows.commits.size(), 1u);
    EXPECT_EQ(rows.commits[0], std::make_pair(EditingStyle::Delete, IndexPath{0, 1}));
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(cell({0, 1}).textLabel()->text(), "Anna Becker");
    EXPECT_FALSE(cell({0, 1}).isShowingDeleteConfirmation());
}

TEST_F(TableViewTest, TheMinusTappedAgainWithdrawsTheDeleteButton) {
    rows.sections = {{"1", "2"}};
    show(TableView::Style::Grouped);
    table->setEditing(true, false);
    tapEditingControl({0, 0});
    tapEditingControl({0, 0});
    EXPECT_FALSE(cell({0, 0}).isShowingDeleteConfirmation());
    EXPECT_TRUE(rows.commits.empty());
}

TEST_F(TableViewTest, ASidewaysDragOffersDeleteAndATapElsewhereWithdrawsIt) {
    rows.sections = {{"Mon", "Tue", "Wed"}};
    show(TableView::Style::Plain);
    uitest::drag(&cell({0, 2}), QPoint(250, 20), QPoint(150, 22));
    EXPECT_TRUE(cell({0, 2}).isShowingDeleteConfirmation());

    tapRow({0, 0});
    EXPECT_FALSE(cell({0, 2}).isShowingDeleteConfirmation());
    EXPECT_TRUE(rows.selections.empty()) << "the tap only withdrew the offer";

    uitest::drag(&cell({0, 2}), QPoint(250, 20), QPoint(150, 22));
    tapDeleteButton({0, 2});
    ASSERT_EQ(rows.commits.size(), 1u);
    EXPECT_EQ(rows.commits[0].second, (IndexPath{0, 2}));
}

TEST_F(TableViewTest, ARightClickOffersDelete) {
    rows.sections = {{"Mon", "Tue"}};
    show(TableView::Style::Plain);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(100, 20), cell({0, 1}).mapToGlobal(QPoint(100, 20)));
    QCoreApplication::sendEvent(&cell({0, 1}), &event);
    EXPECT_TRUE(cell({0, 1}).isShowingDeleteConfirmation());
}

TEST_F(TableViewTest, RowsThatCannotBeEditedOfferNothing) {
    rows.sections = {{"None"}};
    rows.editable[{0, 0}] = false;
    show(TableView::Style::Grouped);
    uitest::drag(&cell({0, 0}), QPoint(250, 20), QPoint(150, 22));
    EXPECT_FALSE(cell({0, 0}).isShowingDeleteConfirmation());
    table->setEditing(true, false);
    EXPECT_EQ(cell({0, 0}).editingStyle(), EditingStyle::None);
}

TEST_F(TableViewTest, TheInsertControlCommitsAnInsert) {
    rows.sections = {{"*123", "Add a excluded number"}};
    rows.editingStyles[{0, 1}] = EditingStyle::Insert;
    show(TableView::Style::Grouped);
    table->setEditing(true, false);
    EXPECT_EQ(cell({0, 1}).editingStyle(), EditingStyle::Insert);
    tapEditingControl({0, 1});
    ASSERT_EQ(rows.commits.size(), 1u);
    EXPECT_EQ(rows.commits[0], std::make_pair(EditingStyle::Insert, IndexPath{0, 1}));
}

TEST_F(TableViewTest, SelectionDuringEditingOnlyWhenAllowed) {
    rows.sections = {{"1", "2"}};
    show(TableView::Style::Grouped);
    table->setEditing(true, false);
    tapRow({0, 1});
    EXPECT_TRUE(rows.selections.empty());
    table->setAllowsSelectionDuringEditing(true);
    table->setEditing(true, false);
    tapRow({0, 1});
    EXPECT_EQ(rows.selections.size(), 1u);
}

TEST_F(TableViewTest, Value1DetailSitsRightOfTheTextWithoutOverlap) {
    rows.sections = {{"Total Messages"}};
    show(TableView::Style::Grouped);
    TableViewCell& c = cell({0, 0});
    const QRect text = c.textLabel()->geometry();
    const QRect detail = c.detailTextLabel()->geometry();
    EXPECT_LE(text.right(), detail.left());
    EXPECT_TRUE(c.detailTextLabel()->alignment() & Qt::AlignRight);
    EXPECT_LE(c.contentView()->geometry().right(), 310 - Theme::accessoryWidth) << "room for the arrow";
    EXPECT_EQ(c.contentView()->x(), Theme::groupInset) << "content starts at the group's edge";
}

TEST_F(TableViewTest, ReusedCellsComeBackCleared) {
    rows.sections = {{"x"}};
    show(TableView::Style::Plain);
    TableViewCell* first = &cell({0, 0});
    first->setAccessoryType(TableViewCell::Accessory::Checkmark);
    table->reloadData();
    EXPECT_EQ(&cell({0, 0}), first) << "the same cell, recycled";
    EXPECT_EQ(first->textLabel()->text(), "x");
    EXPECT_EQ(first->accessoryType(), TableViewCell::Accessory::DisclosureIndicator);
    TableViewCell* again = table->dequeueReusableCell("Cell");
    EXPECT_EQ(again, nullptr) << "a cell in view is not handed out";
}

TEST_F(TableViewTest, CellsShowWhatTheDataSourceGivesAfterTheReloadsTurn) {
    rows.sections = {{"Total Messages 1"}};
    show(TableView::Style::Grouped);
    // A screen reloads, then changes what its row shows, in one turn of the
    // event loop: the cell on the screen shows the change.
    table->reloadData();
    rows.sections = {{"Total Messages 2"}};
    EXPECT_EQ(table->numberOfRowsInSection(0), 1) << "rows are counted at once";
    auto shown = [this] {
        for (TableViewCell* c : table->contentView()->findChildren<TableViewCell*>())
            if (!c->isHidden() && c->indexPath() == IndexPath{0, 0}) return c->textLabel()->text();
        return QString();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == "Total Messages 2"; }, 1000)) << shown().toStdString();

    // Asking for a cell before that turn gets the data source's cell of now.
    table->reloadData();
    rows.sections = {{"Total Messages 3"}};
    EXPECT_EQ(cell({0, 0}).textLabel()->text().toStdString(), "Total Messages 3");
}

TEST(TableViewLoadingTest, AsksItsDataSourceNothingUntilShownOrReloaded) {
    // A screen hands itself over in its constructor, before its rows exist.
    class NotReady : public TableViewDataSource {
    public:
        int asked = 0;
        int numberOfRowsInSection(TableView&, int) override { return ++asked, 1; }
        TableViewCell* cellForRowAtIndexPath(TableView&, const IndexPath&) override { return nullptr; }
    } source;
    TableView table(TableView::Style::Grouped);
    table.setDataSource(&source);
    table.setRowHeight(40);
    EXPECT_EQ(source.asked, 0);
    table.show();
    EXPECT_EQ(source.asked, 1);
    EXPECT_NE(table.cellForRowAtIndexPath({0, 0}), nullptr) << "a stand-in cell when none is given";
    table.setRowHeight(44);
    EXPECT_EQ(source.asked, 2) << "a shown table reloads at once";
}

TEST(TableViewCellTest, ASubtitleCellWithoutDetailCentresItsText) {
    TableViewCell cell(TableViewCell::Style::Subtitle);
    cell.resize(320, 44);
    cell.textLabel()->setText("Clear database");
    cell.detailTextLabel()->setText("Total");
    cell.show();
    const int withDetail = cell.textLabel()->geometry().center().y();
    cell.detailTextLabel()->setText(QString());
    QCoreApplication::sendPostedEvents();
    EXPECT_LT(withDetail, 20);
    EXPECT_NEAR(cell.textLabel()->geometry().center().y(), cell.contentView()->height() / 2, 1);
}

TEST(TextFieldCellTest, SelectingTheRowOpensTheFieldAndReturnReportsTheKey) {
    TableView table(TableView::Style::Grouped);
    class OneField : public TableViewDataSource {
    public:
        explicit OneField(TableView& table)
            : cell(new TextFieldCell(TableViewCell::Style::Subtitle, QString(), &table)) {}
        int numberOfRowsInSection(TableView&, int) override { return 1; }
        TableViewCell* cellForRowAtIndexPath(TableView&, const IndexPath&) override { return cell; }
        TextFieldCell* cell;
    } source(table);
    source.cell->setReturnKeyType(TextFieldCell::ReturnKeyType::Done);
    source.cell->setTextFieldFrame(QRect(210, 10, 95, 20));
    table.resize(320, 200);
    table.setDataSource(&source);
    table.show();
    table.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&table));

    EXPECT_EQ(source.cell->selectionStyle(), TableViewCell::SelectionStyle::None);
    uitest::tap(source.cell, QPoint(40, 22));
    EXPECT_TRUE(source.cell->isFirstResponder());
    EXPECT_EQ(source.cell->textField()->geometry(), QRect(210, 10, 95, 20));

    QSignalSpy returned(source.cell, &TextFieldCell::returnPressed);
    QTest::keyClicks(source.cell->textField(), "500");
    QTest::keyClick(source.cell->textField(), Qt::Key_Return);
    EXPECT_EQ(returned.count(), 1);
    EXPECT_EQ(source.cell->textField()->text(), "500");
    source.cell->resignFirstResponder();
    EXPECT_FALSE(source.cell->isFirstResponder());
}

}  // namespace
