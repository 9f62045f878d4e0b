#include "ScreenDriver.h"

#include "app/filters/DateViewController.h"
#include "app/shell/PeriodButton.h"
#include "platform/ui/DatePicker.h"

namespace {

// 2013, in UTC (the harness's zone).
constexpr std::time_t kMarch1 = 1362096000;
constexpr std::time_t kMarch5 = 1362441600;
constexpr std::time_t kMarch20 = 1363737600;
constexpr std::time_t kDay = 86400;

class DateViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_.store("4155550101", kMarch5 - 1, false);         // 4 March 23:59:59
        app_.store("4155550101", kMarch5, false);             // 5 March 00:00:00
        app_.store("4155550101", kMarch20 + kDay - 1, true);  // 20 March 23:59:59
        app_.store("4155550101", kMarch20 + kDay, true);      // 21 March 00:00:00
        // A fixed start on 1 March 2013; the end is always today.
        app_.settings([](PropertyList& s) { s.setDouble("lastfromdate", double(kMarch1)); });
        app_.launch();
    }

    DateViewController* open() {
        drive_.tap(app_.root().findChild<PeriodButton*>());
        DateViewController* screen = drive_.top<DateViewController>();
        EXPECT_NE(screen, nullptr);
        return screen;
    }
    DatePicker& picker(DateViewController& screen) { return *screen.datePicker(); }
    void spin(DateViewController& screen, DatePicker::Component wheel, int rows) {
        drive_.spin(picker(screen).pickerView(), wheel, rows);
    }
    // Turns the three wheels to a day of March 2013.
    void spinToMarch2013(DateViewController& screen, int day) {
        PickerView& wheels = picker(screen).pickerView();
        drive_.spin(wheels, DatePicker::Year, 2013 - picker(screen).date().year());
        drive_.spinTo(wheels, DatePicker::Month, 2);
        drive_.spinTo(wheels, DatePicker::Day, day - 1);
        EXPECT_EQ(picker(screen).date(), QDate(2013, 3, day));
    }
    std::optional<IndexPath> selectedRow(DateViewController& screen) {
        return screen.tableView()->indexPathForSelectedRow();
    }

    AppHarness app_;
    ScreenDriver drive_{app_};
};

}  // namespace

TEST_F(DateViewControllerTest, DoneHandsWholeDaysToTheMainScreenWhichRecounts) {
    EXPECT_EQ(app_.shownValue("Total Messages"), "4");
    DateViewController* screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "Message period");
    EXPECT_EQ(drive_.bar().leftButton()->item()->systemItem(), BarButtonItem::SystemItem::Cancel);
    EXPECT_EQ(drive_.bar().rightButton()->item()->systemItem(), BarButtonItem::SystemItem::Done);
    EXPECT_EQ(screen->tableView()->titleForHeaderInSection(0), "Period");
    EXPECT_EQ(selectedRow(*screen), (IndexPath{0, 0}));
    EXPECT_EQ(picker(*screen).date(), QDate(2013, 3, 1));

    // Four days on: 5 March from its first second, whatever time the wheel had.
    spin(*screen, DatePicker::Day, 4);
    EXPECT_EQ(screen->from(), kMarch5);
    EXPECT_EQ(selectedRow(*screen), (IndexPath{0, 0})) << "the row stays selected after the redraw";
    const auto fromLabel = drive_.cell(*screen->tableView(), {0, 0})->contentView()->findChildren<Label*>();
    QStringList texts;
    for (Label* label : fromLabel) texts << label->text();
    EXPECT_TRUE(texts.contains("From")) << texts.join("|").toStdString();
    EXPECT_TRUE(texts.contains(app_.root().dateFormatter().stringFromDate(kMarch5))) << texts.join("|").toStdString();

    // "To": the wheel shows today; turning it never touches "From".
    drive_.tapRow(*screen->tableView(), {0, 1});
    EXPECT_EQ(picker(*screen).date(), QDate::currentDate());
    spinToMarch2013(*screen, 20);
    EXPECT_EQ(screen->to(), kMarch20 + kDay - 1);
    EXPECT_EQ(screen->from(), kMarch5);
    app_.screenshot("filters-period");

    drive_.tapRight();
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
    EXPECT_EQ(app_.root().model().from(), kMarch5);
    EXPECT_EQ(app_.root().model().to(), kMarch20 + kDay - 1);
    EXPECT_EQ(app_.shownValue("Total Messages"), "2") << "the first and the last second of the period count";
}

TEST_F(DateViewControllerTest, CancelDropsTheEditsAndEveryOpeningStartsOnFromWithTheMainScreensDates) {
    const std::time_t to = app_.root().model().to();
    DateViewController* screen = open();
    ASSERT_TRUE(screen);
    spin(*screen, DatePicker::Day, 4);
    drive_.tapRow(*screen->tableView(), {0, 1});
    spin(*screen, DatePicker::Year, -1);
    drive_.tapLeft();
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
    EXPECT_EQ(app_.root().model().from(), kMarch1);
    EXPECT_EQ(app_.root().model().to(), to);
    EXPECT_EQ(app_.shownValue("Total Messages"), "4");

    screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->from(), kMarch1);
    EXPECT_EQ(screen->to(), to);
    EXPECT_EQ(selectedRow(*screen), (IndexPath{0, 0}));
    EXPECT_EQ(picker(*screen).date(), QDate(2013, 3, 1));
}

TEST_F(DateViewControllerTest, OneDayPeriodsAndAStartAfterTheEndAreHandedOverAsChosen) {
    DateViewController* screen = open();
    ASSERT_TRUE(screen);
    spin(*screen, DatePicker::Day, 19);  // From 20 March
    drive_.tapRow(*screen->tableView(), {0, 1});
    spinToMarch2013(*screen, 20);  // To 20 March
    drive_.tapRight();
    EXPECT_EQ(app_.root().model().from(), kMarch20);
    EXPECT_EQ(app_.root().model().to(), kMarch20 + kDay - 1);
    EXPECT_EQ(app_.shownValue("Total Messages"), "1") << "the whole of 20 March";

    screen = open();
    ASSERT_TRUE(screen);
    spin(*screen, DatePicker::Day, 1);  // From 21 March, after the end
    drive_.tapRow(*screen->tableView(), {0, 1});
    spinToMarch2013(*screen, 20);
    drive_.tapRight();
    EXPECT_EQ(app_.root().model().from(), kMarch20 + kDay);
    EXPECT_EQ(app_.root().model().to(), kMarch20 + kDay - 1);
    EXPECT_EQ(app_.shownValue("Total Messages"), "0");
}

TEST(DateViewControllerZoneTest, DaysAreLocalDays) {
    AppHarness app;
    ScopedEnvironment tokyo("TZ", std::string("Asia/Tokyo"));  // UTC+9 all year
    app.launch();
    ScreenDriver drive(app);
    drive.tap(app.root().findChild<PeriodButton*>());
    auto* screen = drive.top<DateViewController>();
    ASSERT_TRUE(screen);
    const QDate shown = screen->datePicker()->date();
    drive.spin(screen->datePicker()->pickerView(), DatePicker::Day, shown.day() < 15 ? 1 : -1);
    const QDate chosen = screen->datePicker()->date();
    const std::time_t utcMidnight = QDateTime(chosen, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    EXPECT_EQ(screen->from(), utcMidnight - 9 * 3600);
    drive.tapRow(*screen->tableView(), {0, 1});
    const int step = screen->datePicker()->date().day() < 15 ? 1 : -1;
    drive.spin(screen->datePicker()->pickerView(), DatePicker::Day, step);
    const std::time_t utcEnd = QDateTime(screen->datePicker()->date(), QTime(23, 59, 59), Qt::UTC).toSecsSinceEpoch();
    EXPECT_EQ(screen->to(), utcEnd - 9 * 3600);
}
