// The chart and report screens with the German translation installed: every
// fixed text is translated, and the pictures show that the longer words fit.
#include "AppHarness.h"
#include "ChartPeriod.h"
#include "GermanTranslations.h"

#include "app/charts/BarChartController.h"
#include "app/charts/ChartViewController.h"
#include "app/charts/FullPieView.h"
#include "app/charts/ReportViewController.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

#include <QAccessible>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class ChartsGermanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(german_.installed(), 0);
        AddressBookFixture book = app_.addressBook();
        book.addContact("Jürgen", "Ößwald", std::nullopt, {"+4930123456"});
        book.addContact("Anna", "Becker", std::nullopt, {"+4930123457"});
        for (int i = 0; i < 6; ++i) app_.store("+4930123456", kMarch5 + i, i % 2 == 0);
        for (int i = 0; i < 3; ++i) app_.store("+4930123457", kMarch5 - 40 * 86400 + i, i == 0);
        app_.store("+4917099887766", kMarch5 + 100, false);
        app_.launch();
        app_.root().model().setFromDate(kMarch1 - 60 * 86400);
        app_.root().model().setToDate(kMarch20);
    }

    AppHarness app_;
    GermanTranslations german_;
};

}  // namespace

TEST_F(ChartsGermanTest, ChartsAndReportSpeakGerman) {
    app_.root().showChart();
    app_.waitForProgressOverlay();
    ChartViewController* chart = app_.root().chartViewController();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->title(), QStringLiteral("Diagramm"));
    EXPECT_EQ(chart->barChartButton()->title(), QStringLiteral("Balken"));
    const QString title = chart->pieView()->titleLabel()->text();
    EXPECT_TRUE(title.startsWith(QStringLiteral("Alle Nachrichten\nVon : "))) << title.toStdString();
    EXPECT_TRUE(title.endsWith(QStringLiteral("Anzahl : 3"))) << title.toStdString();
    chart->pieView()->touchesBegan(QPointF(90 + 40, 140 + 10));
    app_.screenshot(QStringLiteral("charts_de_pie"));

    chart->barChartButton()->trigger();
    EXPECT_TRUE(uiwait::settle());
    auto* bars = qobject_cast<BarChartController*>(app_.navigation().topViewController());
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->title(), QStringLiteral("Balkendiagramm"));
    app_.screenshot(QStringLiteral("charts_de_bars"));
    app_.navigation().popToRootViewControllerAnimated(false);

    app_.root().showReport();
    app_.waitForProgressOverlay();
    ReportViewController* report = app_.root().reportViewController();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->title(), QStringLiteral("Bericht"));
    QStringList texts;
    for (Label* label : report->scrollView()->contentView()->findChildren<Label*>()) texts << label->text();
    for (const char* word : {"Von", "Bis", "Monat", "Eingehend", "Ausgehend", "Gesamt", "Jan. 2013", "März 2013"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(word))) << word;
    // A screen reader hears each row as one German line.
    QStringList spoken;
    for (QWidget* band : report->scrollView()->contentView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (QAccessibleInterface* row = QAccessible::queryAccessibleInterface(band))
            spoken << row->text(QAccessible::Name);
    EXPECT_TRUE(spoken.contains(QStringLiteral("Monat, Eingehend, Ausgehend"))) << spoken.join(" | ").toStdString();
    EXPECT_TRUE(spoken.contains(QStringLiteral("März 2013: Eingehend 4, Ausgehend 3")))
        << spoken.join(" | ").toStdString();
    EXPECT_TRUE(std::any_of(spoken.begin(), spoken.end(),
                            [](const QString& row) { return row.startsWith(QStringLiteral("Gesamt: Eingehend ")); }));
    app_.screenshot(QStringLiteral("charts_de_report"));
}
