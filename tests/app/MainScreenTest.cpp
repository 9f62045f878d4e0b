#include "AppHarness.h"

#include "common/SmsHelper.h"
#include "platform/SqliteDatabase.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"

#include <QFile>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const std::time_t kNow = std::time(nullptr);

class MainScreenTest : public ::testing::Test {
protected:
    QString total() { return app_.root().valueForRow(1, 0); }
    QString left() { return app_.root().valueForRow(1, 1); }
    void activate() {
        emit app_.window().activated();
        QTest::qWait(20);
    }

    AppHarness app_;
};

}  // namespace

TEST_F(MainScreenTest, LaunchSyncsCountsAndRecountsOnEveryActivation) {
    app_.store("4155550101", kNow - 120, false, std::string(161, 'a'));  // 2 segments
    app_.store("4155550102", kNow - 60, true);
    app_.launch();
    EXPECT_EQ(total(), "3");
    EXPECT_EQ(left(), "-");  // no quota
    EXPECT_EQ(app_.root().captionForRow(0, 0), "Message Type");
    EXPECT_EQ(app_.root().valueForRow(0, 0), "Both");
    EXPECT_EQ(app_.root().valueForRow(0, 1), "All");
    EXPECT_EQ(app_.root().valueForRow(0, 2), "None");
    EXPECT_EQ(app_.root().tmpData().size(), 2u);
    EXPECT_EQ(app_.root().tmpData()[0].flags(), Sms::kReceived);  // received first, then sent
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
    EXPECT_EQ(app_.navigation().topViewController()->title(), "Ledgerwick");
    EXPECT_EQ(AlertView::shownCountForTesting(), 0);

    // A message arrives while the app is in the background: the activation
    // copies and counts it.
    app_.store("4155550102", kNow - 30, true);
    emit app_.window().deactivated();
    activate();
    EXPECT_EQ(total(), "4");
    const auto file = SettingsStore::load();
    ASSERT_TRUE(file);
    EXPECT_EQ(SettingsStore::lastSyncSent(&*file), kNow - 29);
    app_.screenshot("main-screen");
}

TEST_F(MainScreenTest, MessageTypeMenuPersonAndExclusionsDriveTotalAndMessagesLeft) {
    app_.addressBook().addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"});
    app_.store("4155550101", kNow - 100, false);
    app_.store("4155550101", kNow - 90, true);
    app_.store("3125550199", kNow - 80, false);
    app_.settings([](PropertyList& s) { s.setInteger("smsquota", 2); });
    app_.launch();
    EXPECT_EQ(total(), "3");
    EXPECT_EQ(left(), "0");  // quota minus total, never below 0

    auto chooseType = [&](int button) {
        ActionSheet::setPresetAnswerForTesting(button);
        app_.root().didSelectRowAtIndexPath(*app_.root().filterTableView(), IndexPath{0, 0});
        QTest::qWait(10);
    };
    ActionSheet sheet(QString(), nullptr, "Cancel", QString(), {"Both", "Received", "Sent"});
    const int offset = sheet.cancelButtonIndex() == 0 ? 1 : 0;
    chooseType(offset + 1);
    EXPECT_EQ(ActionSheet::lastShownTitle(), "Message Type");
    EXPECT_EQ(app_.root().valueForRow(0, 0), "Received");
    EXPECT_EQ(total(), "2");
    EXPECT_EQ(left(), "0");
    chooseType(offset + 2);
    EXPECT_EQ(app_.root().valueForRow(0, 0), "Sent");
    EXPECT_EQ(total(), "1");
    EXPECT_EQ(left(), "1");
    chooseType(sheet.cancelButtonIndex());  // Cancel changes nothing
    EXPECT_EQ(app_.root().valueForRow(0, 0), "Sent");
    EXPECT_EQ(total(), "1");

    chooseType(offset);  // Both, then a person and an exclusion
    app_.root().setSelectedPerson(Person::bareNumber("3125550199", -1));
    app_.root().updateMessageCount();
    EXPECT_EQ(app_.root().valueForRow(0, 1), "3125550199");
    EXPECT_EQ(total(), "1");
    app_.root().setSelectedPerson(std::nullopt);
    app_.root().excludedPersonArray() = {Person::bareNumber("*0199", -1), Person::bareNumber("5", -1)};
    app_.root().updateMessageCount();
    EXPECT_EQ(app_.root().valueForRow(0, 2), "*0199");  // the first exclusion's name
    EXPECT_EQ(total(), "2");
    EXPECT_EQ(left(), "0");
}

TEST_F(MainScreenTest, UrlCommandsHideAndShowTheMessageList) {
    app_.store("4155550101", kNow - 100, false);
    app_.settings([](PropertyList& s) { s.setString("other", "kept"); });
    app_.launch();
    EXPECT_FALSE(app_.root().hideSMS());

    app_.delegate().handleOpenURL("brindlex://hidesms");  // the host counts exactly
    EXPECT_FALSE(SettingsStore::load()->contains("hidesms"));
    app_.delegate().handleOpenURL("brindlex://hideSMS");
    auto file = SettingsStore::load();
    EXPECT_EQ(file->stringValue("hidesms"), "Y");
    EXPECT_EQ(file->stringValue("other"), "kept");
    EXPECT_FALSE(app_.root().hideSMS());  // the screen follows at the next activation
    activate();
    EXPECT_TRUE(app_.root().hideSMS());
    EXPECT_EQ(total(), "1");  // totals stay
    TableViewCell* row = app_.root().filterTableView()->cellForRowAtIndexPath(IndexPath{1, 0});
    ASSERT_TRUE(row);
    EXPECT_EQ(row->selectionStyle(), TableViewCell::SelectionStyle::None);

    app_.delegate().handleOpenURL("brindlex://showSMS/");
    activate();
    EXPECT_FALSE(app_.root().hideSMS());
    EXPECT_EQ(BrindlexAppDelegate::commandOf("brindlex://showSMS?x=1"), "showSMS");
    EXPECT_EQ(BrindlexAppDelegate::commandOf("https://showSMS"), "");
}

TEST_F(MainScreenTest, EverySyncFailureIsShownWithItsErrorCode) {
    app_.store("4155550101", kNow - 100, false);
    app_.launch();
    auto expectAlert = [&](const QString& message) {
        AlertView::resetShownForTesting();
        activate();
        EXPECT_EQ(AlertView::shownCountForTesting(), 1) << message.toStdString();
        EXPECT_EQ(AlertView::lastShownTitle(), "ERROR!");
        EXPECT_EQ(AlertView::lastShownMessage(), message);
    };
    // 3: sms.db holds something else.
    fs::remove(DevicePaths::smsDatabase());
    SmsDatabaseFixture(DevicePaths::smsDatabase()).create(SmsSchema::Old);
    expectAlert("error code : 3");
    // 1: no sms.db.
    fs::remove(DevicePaths::smsDatabase());
    expectAlert("error code : 1");
    // 2: the counter database deleted while the app runs.
    app_.sms().create(SmsSchema::New);
    fs::remove(DevicePaths::counterDatabase());
    expectAlert("error code : 2");
    EXPECT_EQ(total(), "0");
    // 4: a counter database without its table.
    Seeding::copyIfNeeded();
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(DevicePaths::counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("DROP TABLE message"));
    }
    expectAlert("error code : 4");
    // No settings file: nothing is copied, and the user is told.
    fs::remove(DevicePaths::settingsFile());
    expectAlert("The settings file cannot be read, so no new messages were copied.");
    app_.screenshot("sync-error-alert");
}

TEST_F(MainScreenTest, ClearDatabaseAsksFirstThenResyncs) {
    app_.store("4155550101", kNow - 100, false);
    app_.store("4155550102", kNow - 90, true);
    app_.launch();
    app_.root().setSelectedPerson(Person::bareNumber("4155550101", -1));
    app_.root().updateMessageCount();
    EXPECT_EQ(total(), "1");

    AlertView::setPresetAnswerForTesting(0);  // Cancel
    app_.root().confirmClearDB();
    EXPECT_EQ(AlertView::lastShownTitle(), "Confirm Action");
    EXPECT_TRUE(app_.root().selectedPerson());

    // A row deleted from the counter database comes back from sms.db.
    ASSERT_TRUE(SmsHelper::deleteRow(1));
    AlertView::setPresetAnswerForTesting(1);  // OK
    AlertView::resetShownForTesting();
    app_.root().confirmClearDB();
    EXPECT_EQ(AlertView::shownCountForTesting(), 3);  // confirm, then success and resync in one box
    EXPECT_EQ(AlertView::lastShownTitle(), "Ledgerwick");
    EXPECT_EQ(AlertView::lastShownMessage(), "Resyncing with default SMS database");
    EXPECT_FALSE(app_.root().selectedPerson());
    EXPECT_EQ(app_.root().valueForRow(0, 1), "All");
    EXPECT_EQ(total(), "2");
    EXPECT_EQ(app_.root().personArray().size(), 2u);
    EXPECT_FALSE(SettingsStore::load()->contains("lastrecordnumber"));
}

TEST_F(MainScreenTest, FixedStartAndOddSettingsShowTheirValues) {
    app_.store("4155550101", kNow - 100, false);
    app_.settings([](PropertyList& s) {
        s.setDouble("lastfromdate", 1356998400.5);  // 2013-01-01
        s.setInteger("smsquota", -4);
        s.setInteger("badgetype", 9);
        s.setString("messagetype", "x");
    });
    app_.launch();
    EXPECT_EQ(app_.root().saveFromDate(), MainScreenSettings::kFixedDate);
    EXPECT_EQ(app_.root().from(), 1356998400);
    EXPECT_EQ(app_.root().valueForRow(0, 0), "Sent");  // any other type string reads as Sent
    EXPECT_EQ(total(), "0");
    EXPECT_EQ(left(), "-");
    app_.root().setMessageType(0);
    app_.root().updateMessageCount();
    EXPECT_EQ(total(), "1");

    // Saving keeps what the app does not handle and the values it read.
    emit app_.window().deactivated();
    const auto file = SettingsStore::load();
    EXPECT_EQ(file->integerValue("badgetype"), 9);
    EXPECT_EQ(file->integerValue("smsquota"), -4);
    EXPECT_DOUBLE_EQ(file->doubleValue("lastfromdate"), 1356998400.0);
    EXPECT_EQ(file->stringValue("messagetype"), "0");
}

TEST_F(MainScreenTest, AboutScreenOpensFromTheInfoButton) {
    app_.launch();
    app_.root().navigationItem().rightBarButtonItem()->trigger();
    QTest::qWait(400);
    ASSERT_NE(app_.navigation().topViewController(), &app_.root());
    EXPECT_EQ(app_.navigation().topViewController()->title(), "About");
    app_.screenshot("about");
    app_.navigation().popViewControllerAnimated(false);
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
}
