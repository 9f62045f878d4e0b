// Demo screens of every element of the kit, saved as PNG files for a look by
// eye (the folder is BRINDLEX_UI_SCREENSHOT_DIR). Each also checks that the
// element ended up on the screen.
#include "UiTestSupport.h"

#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ProgressHUD.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableContentView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/TextFieldCell.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ViewController.h"

#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QtMath>

#include <functional>
#include <vector>

namespace {

// A table described row by row: caption, value, style and accessory.
struct DemoRow {
    QString text;
    QString detail;
    TableViewCell::Style style = TableViewCell::Style::Value1;
    TableViewCell::Accessory accessory = TableViewCell::Accessory::DisclosureIndicator;
    TableViewCell::EditingStyle editing = TableViewCell::EditingStyle::Delete;
};

class DemoTable : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::vector<DemoRow>> sections;
    QStringList headers;
    QStringList footers;
    int headerHeight = -1;
    int footerHeight = -1;
    std::function<TableViewCell*(TableView&, const IndexPath&)> customCell;

    int numberOfSectionsInTableView(TableView&) override { return int(sections.size()); }
    int numberOfRowsInSection(TableView&, int section) override { return int(sections[size_t(section)].size()); }
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override {
        if (customCell)
            if (TableViewCell* cell = customCell(table, indexPath)) return cell;
        const DemoRow& row = sections[size_t(indexPath.section)][size_t(indexPath.row)];
        const QString identifier = QString("Cell%1").arg(int(row.style));
        TableViewCell* cell = table.dequeueReusableCell(identifier);
        if (!cell) cell = new TableViewCell(row.style, identifier, table.contentView());
        cell->textLabel()->setText(row.text);
        cell->detailTextLabel()->setText(row.detail);
        cell->setAccessoryType(row.accessory);
        return cell;
    }
    QString titleForHeaderInSection(TableView&, int section) override { return headers.value(section); }
    QString titleForFooterInSection(TableView&, int section) override { return footers.value(section); }
    int heightForHeaderInSection(TableView&, int) override { return headerHeight; }
    int heightForFooterInSection(TableView&, int) override { return footerHeight; }
    TableViewCell::EditingStyle editingStyleForRowAtIndexPath(TableView&, const IndexPath& indexPath) override {
        return sections[size_t(indexPath.section)][size_t(indexPath.row)].editing;
    }
};

// A gear drawn from teeth and a hole, for a custom bar button.
void paintGear(QPainter& painter, const QRectF& rect, bool highlighted) {
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF c = rect.center();
    QPainterPath gear;
    const int teeth = 8;
    for (int tooth = 0; tooth < teeth * 2; ++tooth) {
        const qreal angle = qDegreesToRadians(tooth * 180.0 / teeth);
        const qreal radius = tooth % 2 ? 8.0 : 11.0;
        const QPointF point(c.x() + radius * qCos(angle), c.y() + radius * qSin(angle));
        tooth == 0 ? gear.moveTo(point) : gear.lineTo(point);
    }
    gear.closeSubpath();
    gear.addEllipse(c, 3.5, 3.5);
    gear.setFillRule(Qt::OddEvenFill);
    painter.fillPath(gear.translated(0, -1), QColor(0, 0, 0, 90));
    painter.fillPath(gear, highlighted ? QColor(255, 255, 255) : QColor(240, 244, 250));
}

class ScreenshotTest : public ::testing::Test {
protected:
    ScreenshotTest() {
        AlertView::setPresetAnswerForTesting(std::nullopt);
        ActionSheet::setPresetAnswerForTesting(std::nullopt);
        buildMainScreen();
        window.setRootViewController(&root);
        window.show();
        uitest::letAnimationsFinish();
    }

    void buildMainScreen() {
        root.setTitle("Brindlex");
        root.setBackgroundBrush(Theme::groupTableBackground());
        root.navigationItem().setLeftBarButtonItem(new BarButtonItem(&paintGear, QSize(30, 30)));
        root.navigationItem().setRightBarButtonItem(new BarButtonItem(BarButtonItem::SystemItem::InfoLight));
        new Label("From", QRect(20, 14, 60, 20), Theme::boldSystemFont(14), &root);
        new Label("Mar 1, 2013", QRect(110, 14, 150, 20), Theme::systemFont(14), &root);
        new Label("To", QRect(20, 38, 60, 20), Theme::boldSystemFont(14), &root);
        new Label("Mar 31, 2013", QRect(110, 38, 150, 20), Theme::systemFont(14), &root);
        auto* arrow = new Label(">", QRect(278, 26, 10, 20), Theme::fontNamed("Helvetica-Bold", 12), &root);
        arrow->setTextColor(Qt::darkGray);
        new Label("Filter By", QRect(20, 70, 200, 20), Theme::boldSystemFont(14), &root);
        filterRows.sections = {
            {{"Message Type", "Both"}, {"Person", "All"}, {"Exclusions", "None"}},
            {{"Total Messages", "128"},
             {"Messages Left", "372", TableViewCell::Style::Value1, TableViewCell::Accessory::None}}};
        filterRows.headerHeight = 1;
        filterRows.footerHeight = 5;
        auto* table = new TableView(TableView::Style::Grouped, &root);
        table->setBackgroundBrush(Qt::transparent);
        table->setGeometry(0, 92, 320, 232);
        table->setRowHeight(40);
        table->setDataSource(&filterRows);
        table->setDelegate(&filterRows);
        auto* chart = new QPushButton("Chart", &root);
        chart->setGeometry(20, 350, 130, 40);
        auto* report = new QPushButton("Report", &root);
        report->setGeometry(170, 350, 130, 40);
    }

    void push(ViewController& screen) {
        window.navigationController().pushViewController(&screen, false);
        uitest::letAnimationsFinish();
    }

    void save(const QString& name) { uitest::saveScreenshot(window, name); }

    DemoTable filterRows;
    ViewController root;
    PhoneWindow window;
};

TEST_F(ScreenshotTest, MainScreenWithGroupedTableAndButtons) {
    save("main_screen");
    EXPECT_EQ(window.navigationController().navigationBar().title(), "Brindlex");
}

TEST_F(ScreenshotTest, PeriodScreenWithDatePicker) {
    ViewController period;
    period.setTitle("Message period");
    period.setBackgroundBrush(Theme::groupTableBackground());
    period.navigationItem().setLeftBarButtonItem(new BarButtonItem(BarButtonItem::SystemItem::Cancel));
    period.navigationItem().setRightBarButtonItem(new BarButtonItem(BarButtonItem::SystemItem::Done));
    DemoTable rows;
    rows.sections = {{{"From", "Mar 5, 2013", TableViewCell::Style::Value1, TableViewCell::Accessory::None},
                      {"To", "Mar 31, 2013", TableViewCell::Style::Value1, TableViewCell::Accessory::None}}};
    rows.headers = {"Period"};
    TableView table(TableView::Style::Grouped, &period);
    table.setGeometry(0, 0, 320, 220);
    table.setBackgroundBrush(Qt::transparent);
    table.setDataSource(&rows);
    table.setDelegate(&rows);
    table.selectRowAtIndexPath({0, 0}, false, TableView::ScrollPosition::Middle);
    DatePicker picker(&period);
    picker.setGeometry(0, Theme::contentHeight - Theme::pickerHeight, 320, Theme::pickerHeight);
    picker.setDate(QDate(2013, 3, 5));
    push(period);
    save("period_date_picker");
    EXPECT_EQ(window.navigationController().navigationBar().title(), "Message period");
}

TEST_F(ScreenshotTest, PushedPlainTableWithBackButton) {
    ViewController people;
    people.setTitle("Select Person");
    DemoTable rows;
    rows.sections = {{{"All", "", TableViewCell::Style::Default, TableViewCell::Accessory::Checkmark}},
                     {{"Anna Becker", "+1 (415) 555-0100", TableViewCell::Style::Subtitle},
                      {"Ben Okafor", "07700 900123", TableViewCell::Style::Subtitle},
                      {"+14155550199", "", TableViewCell::Style::Default}},
                     {{"Chris Adams", "mobile", TableViewCell::Style::Value1},
                      {"Dana Moreau", "home", TableViewCell::Style::Value1}}};
    rows.headers = {"", "A – B", "C – D"};
    TableView table(TableView::Style::Plain, &people);
    table.setGeometry(0, 0, 320, Theme::contentHeight);
    table.setDataSource(&rows);
    table.setDelegate(&rows);
    table.selectRowAtIndexPath({1, 1}, false, TableView::ScrollPosition::None);
    push(people);
    save("plain_table_pushed");
    EXPECT_EQ(window.navigationController().navigationBar().backButtonTitle(), "Brindlex");
}

TEST_F(ScreenshotTest, GroupedTableInEditingMode) {
    ViewController exclusions;
    exclusions.setTitle("Exclusions");
    exclusions.setBackgroundBrush(Theme::groupTableBackground());
    exclusions.navigationItem().setRightBarButtonItem(new BarButtonItem(BarButtonItem::SystemItem::Done));
    DemoTable rows;
    const auto none = TableViewCell::Accessory::None;
    const auto plain = TableViewCell::Style::Default;
    rows.sections = {{{"*123", "", plain, none},
                      {"Anna Becker", "", plain, none},
                      {"4155550100", "", plain, none},
                      {"Add a excluded number", "", plain, none, TableViewCell::EditingStyle::Insert}}};
    rows.headers = {"Excluded Numbers"};
    rows.footers = {"Messages from these numbers are left out of every count."};
    TableView table(TableView::Style::Grouped, &exclusions);
    table.setGeometry(0, 0, 320, Theme::contentHeight);
    table.setBackgroundBrush(Qt::transparent);
    table.setDataSource(&rows);
    table.setDelegate(&rows);
    table.setEditing(true, false);
    push(exclusions);
    TableViewCell* second = table.cellForRowAtIndexPath({0, 1});
    ASSERT_NE(second, nullptr);
    uitest::tap(second, QPoint(Theme::groupInset + 16, 22));
    save("grouped_table_editing");
    EXPECT_TRUE(second->isShowingDeleteConfirmation());
}

// Direction arrows for the message list, drawn here as the app will draw
// its own.
QPixmap directionIcon(bool incoming) {
    QPixmap pixmap(24, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(incoming ? QColor(40, 160, 60) : QColor(40, 100, 210));
    painter.drawEllipse(QRectF(4, 8, 16, 16));
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal direction = incoming ? -1 : 1;
    painter.drawLine(QPointF(12 - 4 * direction, 16), QPointF(12 + 4 * direction, 16));
    painter.drawLine(QPointF(12 + 4 * direction, 16), QPointF(12 + direction, 13));
    painter.drawLine(QPointF(12 + 4 * direction, 16), QPointF(12 + direction, 19));
    return pixmap;
}

class DemoMessages : public TableViewDataSource {
public:
    int numberOfRowsInSection(TableView&, int) override { return 40000; }
    void describeRowAtIndexPath(TableView&, const IndexPath& indexPath, TableViewRow& content) override {
        const int row = indexPath.row;
        static const QStringList names{"Anna Becker", "+14155550199", "Ben Okafor", "Dana Moreau"};
        static const QStringList texts{"See you at eight", "On my way, five minutes late because of the traffic",
                                       "Can you call me back?", "Thanks!"};
        content.addImage(QPoint(0, 2), directionIcon(row % 3 != 1));
        content.addLabel(QRect(170, 2, 150, 15),
                         QString("%1 Mar 2013 0%2:15:00 PM").arg(28 - row % 28, 2, 10, QChar('0')).arg(row % 10),
                         Theme::fontNamed("Arial", 12), Theme::linkBlue());
        content.addLabel(QRect(30, 16, 280, 15), texts[row % texts.size()], Theme::fontNamed("Arial", 12));
        content.addLabel(QRect(30, 2, 150, 15), names[row % names.size()], Theme::boldSystemFont(12));
    }
};

TEST_F(ScreenshotTest, LongMessageListWithSelectionAndSwipe) {
    ViewController records;
    records.setTitle("Details");
    records.navigationItem().setRightBarButtonItem(new BarButtonItem("Email Data", BarButtonItem::Style::Plain));
    DemoMessages messages;
    TableView list(TableView::Style::Plain, &records);
    list.setDrawsRows(true);
    list.setGeometry(0, 0, 320, Theme::contentHeight);
    list.setRowHeight(35);
    list.setDataSource(&messages);
    push(records);
    uitest::tap(list.rowArea(), list.rectForRowAtIndexPath({0, 2}).center());
    const QPoint swipeAt = list.rectForRowAtIndexPath({0, 5}).center();
    uitest::drag(list.rowArea(), swipeAt + QPoint(80, 0), swipeAt - QPoint(20, 0));
    save("list_table");
    EXPECT_EQ(list.indexPathForDeleteConfirmation(), (IndexPath{0, 5}));
}

TEST_F(ScreenshotTest, AlertOverTheMainScreen) {
    AlertView alert("Confirm Action",
                    "Do you want to clear the database?\n\nThe phone's own message database is not touched.", nullptr,
                    "Cancel", {"OK"});
    alert.show();
    uitest::letAnimationsFinish();
    save("alert");
    AlertView stacked("Badge", "What should the badge show?", nullptr, "Cancel", {"Both (Total)", "OFF"});
    alert.dismissWithClickedButtonIndex(0, false);
    stacked.show();
    uitest::letAnimationsFinish();
    save("alert_stacked_buttons");
    EXPECT_TRUE(stacked.isVisible());
}

TEST_F(ScreenshotTest, ActionSheetFromTheBottom) {
    ActionSheet sheet("Message Type", nullptr, "Cancel", "Clear database", {"Both", "Received", "Sent"});
    sheet.showInView(&root);
    uitest::letAnimationsFinish();
    save("action_sheet");
    EXPECT_TRUE(sheet.isVisible());
}

TEST_F(ScreenshotTest, ProgressOverlay) {
    ProgressHUD hud(&root);
    hud.show("Generating Chart. Please wait.");
    uitest::letAnimationsFinish();
    save("progress_hud");
    hud.done();
    save("progress_hud_done");
    EXPECT_TRUE(hud.isVisible());
}

TEST_F(ScreenshotTest, PreferencesWithTextFieldAndPicker) {
    ViewController preferences;
    preferences.setTitle("Preferences");
    preferences.setBackgroundBrush(Theme::groupTableBackground());
    DemoTable rows;
    const auto subtitle = TableViewCell::Style::Subtitle;
    rows.sections = {{{"Clear database", "", subtitle, TableViewCell::Accessory::None},
                      {"Badge type          Both", "SMS Left", subtitle},
                      {"SMS Quota", "0 or blank for unlimited", subtitle},
                      {"Billing day of mth         15th", "", subtitle}}};
    TableView table(TableView::Style::Grouped, &preferences);
    TextFieldCell quota(subtitle, QString(), &table);
    quota.textLabel()->setText("SMS Quota");
    quota.detailTextLabel()->setText("0 or blank for unlimited");
    quota.setTextFieldFrame(QRect(210, 10, 95, 20));
    quota.textField()->setPlaceholderText("e.g 500");
    quota.textField()->setText("500");
    rows.customCell = [&quota](TableView&, const IndexPath& indexPath) -> TableViewCell* {
        return indexPath.row == 2 ? &quota : nullptr;
    };
    table.setGeometry(0, 0, 320, 210);
    table.setBackgroundBrush(Qt::transparent);
    table.setDataSource(&rows);
    table.setDelegate(&rows);
    PickerView days(&preferences);
    QStringList titles{"Not Used (Fixed initial date)"};
    for (int day = 1; day <= 31; ++day) titles << QString("%1th").arg(day);
    days.setRows(0, titles);
    days.selectRow(15, 0, false);
    days.setGeometry(0, Theme::contentHeight - Theme::pickerHeight, 320, Theme::pickerHeight);
    push(preferences);
    save("preferences_picker");
    EXPECT_EQ(table.cellForRowAtIndexPath({0, 2}), &quota);
}

TEST_F(ScreenshotTest, ScrollingReport) {
    ViewController report;
    report.setTitle("Report");
    report.setBackgroundBrush(Theme::groupTableBackground());
    ScrollView scroll(&report);
    scroll.setGeometry(0, 50, 320, Theme::contentHeight - 50);
    const QStringList months{"Jan 2013", "Feb 2013", "Mar 2013", "Apr 2013", "May 2013", "Jun 2013",
                             "Jul 2013", "Aug 2013", "Sep 2013", "Oct 2013", "Nov 2013", "Dec 2013"};
    int y = 10;
    auto addRow = [&scroll, &y](const QString& label, const QString& first, const QString& second) {
        for (auto [x, width, text] : {std::tuple{10, 90, label}, {100, 100, first}, {210, 100, second}})
            new Label(text, QRect(x, y, width, 30), Theme::boldSystemFont(12), scroll.contentView());
        y += 30;
    };
    addRow("Month", "Incoming", "Outgoing");
    for (int month = 0; month < months.size(); ++month)
        addRow(months[month], QString::number(40 + month * 7), QString::number(31 + month * 5));
    addRow("Total", "906", "702");
    scroll.setContentSize(QSize(320, y));
    push(report);
    save("scroll_report");
    EXPECT_GT(scroll.contentSize().height(), scroll.viewport()->height());
}

}  // namespace
