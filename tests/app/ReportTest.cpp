#include "AppHarness.h"

#include "app/charts/MonthlyReport.h"
#include "app/charts/ReportViewController.h"
#include "platform/ui/Label.h"
#include "platform/ui/ProgressHUD.h"
#include "platform/ui/ScrollView.h"

#include <QAccessible>
#include <QDate>
#include <QLocale>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// A period from the middle of December to the tenth of February, UTC.
constexpr std::time_t kDecember15 = 1355529600;     // 2012-12-15 00:00:00
constexpr std::time_t kFebruary10End = 1360540799;  // 2013-02-10 23:59:59
constexpr std::time_t kDecember31End = 1356998399;  // 2012-12-31 23:59:59
constexpr std::time_t kJanuary1 = 1356998400;       // 2013-01-01 00:00:00
constexpr std::time_t kJanuary5 = 1357387200;       // 2013-01-05 12:00
constexpr std::time_t kJanuary20 = 1358683200;      // 2013-01-20 12:00
constexpr std::time_t kJanuary21 = 1358769600;      // 2013-01-21 12:00

const std::string kFriend = "+14155550101";
const std::string kExcluded = "+14155550199";

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

QString monthName(int year, int month) { return QLocale().toString(QDate(year, month, 1), QStringLiteral("MMM yyyy")); }

using Rows = std::vector<QStringList>;

// The report as a screen reader moves through it: the elements below the
// content, top to bottom, as "role name"; the labels inside a row are no
// elements of their own.
QStringList spokenReport(const ReportViewController& report) {
    QAccessibleInterface* content = QAccessible::queryAccessibleInterface(report.scrollView()->contentView());
    QStringList spoken;
    if (!content) return spoken;
    for (int i = 0; i < content->childCount(); ++i) {
        QAccessibleInterface* row = content->child(i);
        if (!row || row->state().invisible) continue;
        const QString role = row->role() == QAccessible::StaticText ? "text" : QString::number(int(row->role()));
        spoken << role + " " + row->text(QAccessible::Name) +
                      (row->childCount() ? QString(" +%1").arg(row->childCount()) : QString());
    }
    return spoken;
}

// The rows as shown: the labels of each 30-point band, left to right.
Rows rowsOf(const ReportViewController& report) {
    std::map<int, std::map<int, QString>> bands;
    QWidget* content = report.scrollView()->contentView();
    for (Label* label : content->findChildren<Label*>())
        bands[label->mapTo(content, QPoint()).y()][label->x()] = label->text();
    Rows rows;
    for (const auto& [y, columns] : bands) {
        QStringList row;
        for (const auto& [x, text] : columns) row << text;
        rows.push_back(row);
    }
    return rows;
}

class ReportTest : public ::testing::Test {
protected:
    // Messages at the edges of the period and of its months; segments in
    // the comments.
    void storeTraffic() {
        app_.store(kFriend, kDecember15 - 1, false);                     // before the period
        app_.store(kFriend, kDecember15, false, "hi");                   // 1 in, December
        app_.store(kFriend, kDecember31End, true, repeated("ж", 71));    // 2 out, December
        app_.store(kFriend, kJanuary1, false, repeated("ж", 70));        // 1 in, January
        app_.store(kFriend, kJanuary5, true, repeated("a", 160));        // 1 out, January
        app_.store(kFriend, kJanuary20, true, "");                       // 1 out, January
        app_.store(kExcluded, kJanuary21, false, "excluded");            // left out
        app_.store(kExcluded, kJanuary21 + 1, true, "excluded");         // left out
        app_.store(kFriend, kFebruary10End, false, repeated("a", 161));  // 2 in, February
        app_.store(kFriend, kFebruary10End + 1, true);                   // after the period
    }

    void launchOnPeriod() {
        app_.launch();
        app_.root().model().setFromDate(kDecember15);
        app_.root().model().setToDate(kFebruary10End);
        app_.root().model().addExcludedPerson(Person::bareNumber(kExcluded, -1));
    }

    ReportViewController* runReport() {
        app_.root().showReport();
        app_.waitForProgressOverlay();
        return app_.root().reportViewController();
    }

    Rows periodRows() const {
        const DateFormatter dates;
        return {{"From", dates.stringFromDate(kDecember15)},
                {"To", dates.stringFromDate(kFebruary10End)},
                {"", ""},
                {"Month", "Incoming", "Outgoing"}};
    }

    AppHarness app_;
};

}  // namespace

TEST_F(ReportTest, OneRowPerCalendarMonthAcrossTheYearWithoutTheExcluded) {
    storeTraffic();
    launchOnPeriod();
    // The report covers both directions whatever the main screen shows.
    app_.root().model().setMessageType(MessageType::Received);
    app_.root().showReport();
    const auto huds = app_.window().findChildren<ProgressHUD*>();
    ASSERT_FALSE(huds.isEmpty());
    EXPECT_EQ(huds.last()->text(), QStringLiteral("Generating Report. Please wait."));
    app_.waitForProgressOverlay();

    ReportViewController* report = app_.root().reportViewController();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(app_.navigation().topViewController(), report);
    EXPECT_EQ(report->title(), QStringLiteral("Report"));
    Rows expected = periodRows();
    expected.push_back({monthName(2012, 12), "1", "2"});
    expected.push_back({monthName(2013, 1), "1", "2"});
    expected.push_back({monthName(2013, 2), "2", "0"});
    expected.push_back({"Total", "4", "4"});
    EXPECT_EQ(rowsOf(*report), expected);
    EXPECT_EQ(report->scrollView()->contentSize(), QSize(320, 10 + 8 * 30));
    const DateFormatter dates;
    const QStringList spoken{"text From: " + dates.stringFromDate(kDecember15),
                             "text To: " + dates.stringFromDate(kFebruary10End),
                             "text Month, Incoming, Outgoing",
                             "text " + monthName(2012, 12) + ": Incoming 1, Outgoing 2",
                             "text " + monthName(2013, 1) + ": Incoming 1, Outgoing 2",
                             "text " + monthName(2013, 2) + ": Incoming 2, Outgoing 0",
                             "text Total: Incoming 4, Outgoing 4"};
    EXPECT_EQ(spokenReport(*report), spoken);
    app_.screenshot(QStringLiteral("report"));

    // A second report replaces the rows of the first.
    app_.navigation().popViewControllerAnimated(false);
    app_.root().model().setToDate(kJanuary1);
    runReport();
    expected = periodRows();
    expected[1][1] = DateFormatter().stringFromDate(kJanuary1);
    expected.push_back({monthName(2012, 12), "1", "2"});
    expected.push_back({monthName(2013, 1), "1", "0"});
    expected.push_back({"Total", "2", "2"});
    EXPECT_EQ(rowsOf(*report), expected);
    // The old rows are gone for a screen reader too.
    EXPECT_EQ(spokenReport(*report).size(), 6);
    EXPECT_EQ(spokenReport(*report).last(), "text Total: Incoming 2, Outgoing 2");
}

TEST_F(ReportTest, AnEmptyPeriodShowsOnlyThePeriodAndTheHeader) {
    app_.store(kFriend, kDecember15 - 100, true);
    launchOnPeriod();
    ReportViewController* report = runReport();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(rowsOf(*report), periodRows());
    EXPECT_EQ(report->scrollView()->contentSize().height(), 130);
}

TEST(MonthlyReportTest, MonthsFollowTheLocalCalendar) {
    // Five hours behind UTC all year, spelled out so no zone database is needed.
    const ScopedEnvironment tz("TZ", std::string("EST5"));
    // 02:00 UTC on 1 February is still 31 January there.
    const std::time_t februaryUtc = 1359684000;  // 2013-02-01 02:00:00 UTC
    const std::vector<Sms> records{Sms(nullptr, "1", februaryUtc - 86400, "a", Sms::kReceived, 1),
                                   Sms(nullptr, "1", februaryUtc, "b", Sms::kSent, 2),
                                   Sms(nullptr, "1", februaryUtc + 5 * 3600, "c", Sms::kReceived, 3)};
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto months = MonthlyReport::months(records, english);
    ASSERT_EQ(months.size(), 2u);
    EXPECT_EQ(months[0].month, QStringLiteral("Jan 2013"));
    EXPECT_EQ(months[0].incoming, 1);
    EXPECT_EQ(months[0].outgoing, 1);
    EXPECT_EQ(months[1].month, QStringLiteral("Feb 2013"));
    EXPECT_EQ(months[1].incoming, 1);
    EXPECT_EQ(MonthlyReport::segmentsOf(Sms(nullptr, "1", 0, "\xff\xfe", Sms::kSent, 4)), 1);
}
