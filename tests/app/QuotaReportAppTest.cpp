// The command-line report against the app on the same device: its totals,
// per-person and per-month numbers must be those of the main screen, the
// chart data and the monthly report, for every message type, with a person
// filter and with the saved exclusions.
#include "app/charts/MonthlyReport.h"
#include "app/shell/MainScreenSettings.h"
#include "common/ExclusionList.h"
#include "common/PersonTotals.h"
#include "common/QuotaReport.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "common/CounterStore.h"
#include "platform/DevicePaths.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DemoDevice.h"

#include <QDate>
#include <QLocale>

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr std::time_t kNow = 1370000000;  // 31 May 2013, the demo's "now"

class QuotaReportAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(DemoDevice::populate(root_.path(), "6.1.3", kNow, &error)) << error;
        Seeding::copyIfNeeded();
        std::vector<std::int64_t> markers;
        ASSERT_EQ(CounterStore::forCurrentPhone().copyRMessagesFrom(0, 0, markers), SyncStatus::Ok);
    }

    // The main screen as it stands after launch with the stored settings.
    MainScreenSettings mainScreen() const {
        const auto stored = SettingsStore::load();
        MainScreenSettings screen;
        screen.loadFilterSettings(stored ? &*stored : nullptr);
        screen.loadPeriod(stored ? &*stored : nullptr, kNow);
        return screen;
    }

    // What updateMessageCount shows in "Total Messages" for the screen.
    static int mainScreenTotal(const MainScreenSettings& screen, std::vector<Sms>* records) {
        const Person* person = screen.selectedPerson ? &*screen.selectedPerson : nullptr;
        int total = 0;
        if (screen.messageType != MessageType::Sent)
            total += CounterStore::forCurrentPhone()
                         .countIncomingFrom(screen.from, screen.to, person, &screen.excludedPersonArray, records)
                         .value();
        if (screen.messageType != MessageType::Received)
            total += CounterStore::forCurrentPhone()
                         .countOutgoingFrom(screen.from, screen.to, person, &screen.excludedPersonArray, records)
                         .value();
        return total;
    }

    QuotaReport::Options reportOptions(MessageType messageType) const {
        const auto stored = SettingsStore::load();
        QuotaReport::Options options;
        options.period = QuotaReport::currentPeriod(stored ? &*stored : nullptr, kNow);
        options.messageType = messageType;
        options.excluded = ExclusionList::fromSettings(stored ? &*stored : nullptr);
        options.quota = SettingsStore::smsquota(stored ? &*stored : nullptr);
        return options;
    }

    ScopedEnvironment tz_{"TZ", std::string("UTC")};
    TempDeviceRoot root_;
};

TEST_F(QuotaReportAppTest, EveryMessageTypeGivesTheAppsTotalsPersonsAndMonths) {
    SettingsStore::update([](PropertyList& settings) {
        settings.setInteger("smsquota", 150);
        settings.setString("cyclemode", "Y");
        settings.setString("cycleday", "12");
        settings.setInteger("epersoncountNA", 1);
        settings.setString("epersonNA0", "*0102");
    });
    for (MessageType type : {MessageType::Both, MessageType::Received, MessageType::Sent}) {
        SCOPED_TRACE("message type " + std::to_string(static_cast<int>(type)));
        MainScreenSettings screen = mainScreen();
        screen.messageType = type;
        const QuotaReport::Result report = QuotaReport::build(reportOptions(type)).value();

        EXPECT_EQ(report.period.from, screen.from);
        EXPECT_EQ(report.period.to, screen.to);
        std::vector<Sms> records;
        const int total = mainScreenTotal(screen, &records);
        ASSERT_GT(total, 0) << "the demo has messages in the period";
        EXPECT_EQ(report.segments, total);
        EXPECT_EQ(report.messages, static_cast<int>(records.size()));
        ASSERT_TRUE(report.quotaLeft);
        EXPECT_EQ(*report.quotaLeft, std::max(0, screen.smsquota - total)) << "\"Messages Left\"";

        std::vector<Person> persons;
        std::vector<int> counts;
        std::vector<Sms> chartRecords;
        CounterStore store = CounterStore::forCurrentPhone();
        EXPECT_EQ(PersonTotals::generate(store, screen.from, screen.to, type, screen.excludedPersonArray, persons,
                                         counts, chartRecords),
                  report.segments);
        std::map<std::string, int> chart;
        for (std::size_t i = 0; i < persons.size(); ++i) chart[persons[i].name()] += counts[i];
        std::map<std::string, int> listed;
        for (const auto& row : report.persons) listed[row.person.name()] += row.segments;
        EXPECT_EQ(listed, chart);
        EXPECT_EQ(chart.count("+15125550102"), 0u) << "the excluded pattern leaves its number out";
    }
}

TEST_F(QuotaReportAppTest, MonthsAreTheMonthlyReportsOverAYear) {
    QuotaReport::Options options = reportOptions(MessageType::Both);
    options.period.from = kNow - 365 * 86400;
    const QuotaReport::Result report = QuotaReport::build(options).value();

    CounterStore store = CounterStore::forCurrentPhone();
    const auto appRows =
        MonthlyReport::months(MonthlyReport::records(store, options.period.from, options.period.to, options.excluded),
                              QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_EQ(report.months.size(), appRows.size());
    ASSERT_GE(appRows.size(), 12u);
    for (std::size_t i = 0; i < appRows.size(); ++i) {
        const auto& month = report.months[i];
        EXPECT_EQ(QLocale(QLocale::English, QLocale::UnitedStates)
                      .toString(QDate(month.year, month.month, 1), QStringLiteral("MMM yyyy")),
                  appRows[i].month);
        EXPECT_EQ(month.incoming, appRows[i].incoming) << appRows[i].month.toStdString();
        EXPECT_EQ(month.outgoing, appRows[i].outgoing) << appRows[i].month.toStdString();
    }
}

TEST_F(QuotaReportAppTest, APersonFilterCountsAsTheMainScreenWithThatPersonChosen) {
    const std::optional<Person> anna = QuotaReport::findPerson("anna becker").value();
    ASSERT_TRUE(anna) << "names match whatever their case";
    EXPECT_EQ(QuotaReport::findPerson(anna->numSet().front()).value()->recordID(), anna->recordID());

    QuotaReport::Options options = reportOptions(MessageType::Both);
    options.person = anna;
    const QuotaReport::Result report = QuotaReport::build(options).value();

    MainScreenSettings screen = mainScreen();
    screen.selectedPerson = anna;  // as the person picker sets it
    EXPECT_EQ(report.segments, mainScreenTotal(screen, nullptr));
    ASSERT_EQ(report.persons.size(), 1u);
    EXPECT_EQ(report.persons[0].person.name(), "Anna Becker");
    EXPECT_EQ(report.persons[0].segments, report.segments);
    int monthly = 0;
    for (const auto& month : report.months) monthly += month.incoming + month.outgoing;
    EXPECT_EQ(monthly, report.segments) << "the months hold only Anna's messages";

    const Counted<std::optional<Person>> nobody = QuotaReport::findPerson("Nobody Atall");
    ASSERT_TRUE(nobody.ok()) << nobody.failure();
    EXPECT_FALSE(nobody.value());
}

TEST_F(QuotaReportAppTest, PeriodsFollowTheAppsModes) {
    SettingsStore::update([](PropertyList& settings) {
        settings.setString("cyclemode", "Y");
        settings.setString("cycleday", "15");
    });
    auto stored = SettingsStore::load();
    MainScreenSettings screen;
    screen.loadPeriod(&*stored, kNow);
    const QuotaReport::Period current = QuotaReport::currentPeriod(&*stored, kNow);
    EXPECT_EQ(current.from, screen.from);
    const auto previous = QuotaReport::previousPeriod(&*stored, kNow);
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous->to, current.from - 1);
    EXPECT_EQ(previous->from, 1365984000) << "15 April 2013 00:00 UTC";

    SettingsStore::update([](PropertyList& settings) {
        settings.remove("cyclemode");
        settings.setDouble("lastfromdate", 1360000000.5);
    });
    stored = SettingsStore::load();
    screen.loadPeriod(&*stored, kNow);
    EXPECT_EQ(QuotaReport::currentPeriod(&*stored, kNow).from, screen.from);
    EXPECT_FALSE(QuotaReport::previousPeriod(&*stored, kNow)) << "a fixed start has no period before it";
}

TEST_F(QuotaReportAppTest, TheAppsSaveKeepsTheAlertSettingsItDoesNotKnow) {
    SettingsStore::update([](PropertyList& settings) {
        settings.setInteger("quotaalerts", 0);
        settings.setInteger("quotaalert1", 75);
    });
    MainScreenSettings screen = mainScreen();
    screen.smsquota = 300;
    screen.storeLastDate(kNow);
    const auto stored = SettingsStore::load();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->integerValue("smsquota"), 300);
    EXPECT_EQ(stored->integerValue("quotaalerts", -1), 0);
    EXPECT_EQ(stored->integerValue("quotaalert1", -1), 75);
}

}  // namespace
