// The main screen's work without the screen: what the controller puts into
// the model and what it reports, by kind, for the screen to show.
#include "AppHarness.h"

#include "app/shell/BackgroundWork.h"
#include "app/shell/MainScreenController.h"
#include "common/PhoneProfile.h"
#include "platform/SqliteDatabase.h"

#include <filesystem>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::time_t kNow = 1363780800;  // 2013-03-20 12:00 UTC

class MainScreenControllerTest : public ::testing::Test {
protected:
    MainScreenControllerTest() {
        app_.store("4155550101", kNow - 100, false);
        app_.store("4155550102", kNow - 90, true);
        QObject::connect(&controller_, &MainScreenController::alert,
                         [this](MainScreenController::Alert kind, const QString& detail) {
                             alerts_.emplace_back(kind, detail.toStdString());
                         });
        QObject::connect(&controller_, &MainScreenController::recordsReady,
                         [this](const std::vector<Sms>& records) { records_ = records.size(); });
    }

    void activateAndWait() {
        alerts_.clear();
        controller_.activate();
        EXPECT_TRUE(QTest::qWaitFor([this] { return !controller_.isCounting(); }, uiwait::timeoutMs));
    }
    std::vector<MainScreenController::Alert> alertKinds() const {
        std::vector<MainScreenController::Alert> kinds;
        for (const auto& alert : alerts_) kinds.push_back(alert.first);
        return kinds;
    }

    using Alert = MainScreenController::Alert;
    AppHarness app_;
    MainScreenModel model_;
    std::vector<int> badges_;
    MainScreenController controller_{&model_, [] { return kNow; }, [this](int value) { badges_.push_back(value); }};
    std::vector<std::pair<Alert, std::string>> alerts_;
    std::size_t records_ = 0;
};

TEST_F(MainScreenControllerTest, SyncsCountsAndTellsEachFailureByItsKind) {
    activateAndWait();
    EXPECT_TRUE(alerts_.empty());
    EXPECT_EQ(model_.messageCount(), 2);
    EXPECT_EQ(records_, 2u);
    // The people of what the sync copied.
    controller_.loadPersons();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !controller_.isCounting(); }, uiwait::timeoutMs));
    EXPECT_EQ(model_.personArray().size(), 2u);
    EXPECT_EQ(model_.from(), 1362096000) << "the billing period from the 1st";

    // No sms.db: the sync's code; the count of what was copied stands.
    fs::remove(DevicePaths::smsDatabase());
    activateAndWait();
    ASSERT_EQ(alertKinds(), std::vector<Alert>{Alert::SyncFailed});
    EXPECT_EQ(alerts_[0].second, "1");
    EXPECT_EQ(model_.messageCount(), 2);

    // A counter database that cannot be counted: the sync's code, then the
    // count's reason, once for the run of failures.
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("DROP TABLE message"));
    }
    activateAndWait();
    ASSERT_EQ(alertKinds(), (std::vector<Alert>{Alert::SyncFailed, Alert::CountFailed}));
    EXPECT_NE(alerts_[1].second.find("no such table: message"), std::string::npos) << alerts_[1].second;
    EXPECT_TRUE(model_.countFailed());
    EXPECT_EQ(records_, 0u) << "no records behind a failed count";
    activateAndWait();
    EXPECT_EQ(alertKinds(), std::vector<Alert>{Alert::SyncFailed});

    // Without a settings file nothing is copied, and the save's badge stays 0.
    fs::remove(DevicePaths::settingsFile());
    activateAndWait();
    EXPECT_EQ(alertKinds(), std::vector<Alert>{Alert::SettingsUnreadable});
    model_.setBadgeType(BadgeType::Both);
    controller_.saveLastDate();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !controller_.isCounting(); }, uiwait::timeoutMs));
    EXPECT_EQ(badges_, std::vector<int>{0});
}

TEST_F(MainScreenControllerTest, TheSyncBringsItsPeopleAndALateListOfTheUnsyncedDatabaseNeverShows) {
    // A launch on a phone never synced: the list of the empty counter
    // database and the sync start together; the sync's answer comes first.
    std::vector<std::size_t> shown;
    QObject::connect(&model_, &MainScreenModel::personArrayChanged,
                     [this, &shown] { shown.push_back(model_.personArray().size()); });
    BackgroundWork::holdResultsForTesting(true);
    controller_.loadPersons();
    controller_.activate();
    EXPECT_TRUE(QTest::qWaitFor([] { return BackgroundWork::heldResultCountForTesting() == 2; }, uiwait::timeoutMs));
    BackgroundWork::releaseHeldResultsNewestFirstForTesting();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !controller_.isCounting(); }, uiwait::timeoutMs));
    EXPECT_EQ(shown, std::vector<std::size_t>{2}) << "only the list after the sync, with both people";

    // Every later activation's sync brings the people it copied.
    app_.store("3125550199", kNow - 80, false);
    activateAndWait();
    EXPECT_EQ(model_.personArray().size(), 3u);
}

TEST_F(MainScreenControllerTest, ChartAndReportEndTheirOverlayBeforeTheirScreenComes) {
    activateAndWait();
    std::vector<std::string> events;
    QObject::connect(&controller_, &MainScreenController::busyStarted, [&events](MainScreenController::Busy kind) {
        events.push_back(kind == MainScreenController::Busy::Chart ? "chart overlay" : "report overlay");
    });
    QObject::connect(&controller_, &MainScreenController::busyEnded,
                     [&events](MainScreenController::Busy) { events.push_back("overlay gone"); });
    int chartTotal = -1;
    QObject::connect(&controller_, &MainScreenController::chartReady,
                     [&](const MainScreenData::Chart& chart, MessageType, std::time_t, std::time_t) {
                         events.push_back("chart");
                         chartTotal = chart.total;
                     });
    std::size_t months = 0;
    QObject::connect(&controller_, &MainScreenController::reportReady,
                     [&](const std::vector<MonthlyReport::MonthRow>& rows, std::time_t, std::time_t) {
                         events.push_back("report");
                         months = rows.size();
                     });
    controller_.showChart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return chartTotal >= 0; }, uiwait::timeoutMs));
    controller_.showReport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return months > 0; }, uiwait::timeoutMs));
    EXPECT_EQ(events, (std::vector<std::string>{"chart overlay", "overlay gone", "chart", "report overlay",
                                                "overlay gone", "report"}));
    EXPECT_EQ(chartTotal, 2);
    EXPECT_EQ(months, 1u);
}

}  // namespace
