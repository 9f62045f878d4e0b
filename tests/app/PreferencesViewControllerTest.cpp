#include "RecordedBadges.h"
#include "ScreenDriver.h"

#include "app/filters/EditableDetailCell.h"
#include "app/filters/PreferencesViewController.h"

#include <QAccessible>

#include <climits>

namespace {

const std::time_t kNow = std::time(nullptr);
const QString kDayCaption = QStringLiteral("Billing day of mth                ");

class PreferencesViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {}

    PreferencesViewController* open() {
        drive_.tap(drive_.bar().leftButton());  // the gears
        auto* screen = drive_.top<PreferencesViewController>();
        EXPECT_NE(screen, nullptr);
        return screen;
    }
    QString row(PreferencesViewController& screen, int r) { return drive_.text(*screen.tableView(), {0, r}); }
    QString detail(PreferencesViewController& screen, int r) { return drive_.detail(*screen.tableView(), {0, r}); }
    void chooseDay(PreferencesViewController& screen, int day) {
        drive_.tapRow(*screen.tableView(), {0, PreferencesViewController::kBillingDayRow});
        EXPECT_TRUE(screen.daySelector()->isVisible());
        drive_.spinTo(*screen.daySelector(), 0, day);
    }
    void chooseBadgeRow(PreferencesViewController& screen, int pickerRow) {
        drive_.tapRow(*screen.tableView(), {0, PreferencesViewController::kBadgeTypeRow});
        EXPECT_TRUE(screen.badgeSelector()->isVisible());
        drive_.spinTo(*screen.badgeSelector(), 0, pickerRow);
    }
    QLineEdit* quotaField(PreferencesViewController& screen) { return screen.dataCell()->textField(); }
    void typeQuota(PreferencesViewController& screen, const QString& text) {
        drive_.tapRow(*screen.tableView(), {0, PreferencesViewController::kQuotaRow});
        EXPECT_TRUE(screen.dataCell()->isFirstResponder()) << "selecting the row opens its field";
        drive_.type(quotaField(screen), text);
    }
    void enterQuota(PreferencesViewController& screen, const QString& text) {
        typeQuota(screen, text);
        drive_.pressReturn(quotaField(screen));
    }
    void goToBackground() {
        badges_.values.clear();
        app_.goToBackground();
    }

    AppHarness app_;
    ScreenDriver drive_{app_};
    RecordedBadges badges_{app_};
};

}  // namespace

TEST_F(PreferencesViewControllerTest, TheBillingDayWheelSetsDayAndModeAndTheRowNamesTheDayByItsLastDigit) {
    app_.launch();
    PreferencesViewController* screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "Preferences");
    EXPECT_FALSE(screen->daySelector()->isVisible());
    EXPECT_FALSE(screen->badgeSelector()->isVisible());
    EXPECT_EQ(row(*screen, 0), "Clear database");
    EXPECT_EQ(row(*screen, 2), "SMS Quota");
    EXPECT_EQ(detail(*screen, 2), "0 or blank for unlimited");
    EXPECT_EQ(row(*screen, 3), kDayCaption + "1st");
    EXPECT_EQ(screen->daySelector()->selectedRowInComponent(0), 1);

    PickerView& days = *screen->daySelector();
    ASSERT_EQ(days.numberOfRowsInComponent(0), 32);
    EXPECT_EQ(days.titleForRow(0, 0), "Not Used (Fixed initial date)");
    const QStringList expected{"1st",  "2nd",  "3rd",  "4th",  "11st", "12nd",
                               "13rd", "20th", "21st", "22nd", "23rd", "31st"};
    const QList<int> rowsChecked{1, 2, 3, 4, 11, 12, 13, 20, 21, 22, 23, 31};
    for (int i = 0; i < rowsChecked.size(); ++i) EXPECT_EQ(days.titleForRow(rowsChecked[i], 0), expected[i]);

    chooseDay(*screen, 12);
    EXPECT_EQ(app_.root().model().cycleDay(), 12);
    EXPECT_EQ(app_.root().model().saveFromDate(), MainScreenSettings::PeriodMode::BillingDay);
    EXPECT_EQ(row(*screen, 3), kDayCaption + "12nd");
    drive_.spinTo(days, 0, 13);
    EXPECT_EQ(row(*screen, 3), kDayCaption + "13rd");
    app_.screenshot("filters-preferences-billing-day");

    drive_.spinTo(days, 0, 0);
    EXPECT_EQ(app_.root().model().cycleDay(), 0);
    EXPECT_EQ(app_.root().model().saveFromDate(), MainScreenSettings::PeriodMode::FixedDate);
    EXPECT_EQ(row(*screen, 3), "Billing day of mth       Not Used");

    // Each opening starts with the day wheel hidden and on the main screen's day.
    drive_.tapBack();
    screen = open();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->daySelector()->isVisible());
    EXPECT_EQ(screen->daySelector()->selectedRowInComponent(0), 0);
}

TEST_F(PreferencesViewControllerTest, QuotaAndBillingDayRoundTripThroughTheSettingsFile) {
    app_.launch();
    PreferencesViewController* screen = open();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(quotaField(*screen)->text().isEmpty());
    EXPECT_EQ(quotaField(*screen)->placeholderText(), "e.g 500");
    enterQuota(*screen, "500");
    EXPECT_EQ(app_.root().model().smsquota(), 500);
    EXPECT_FALSE(screen->dataCell()->isFirstResponder()) << "Done closes the keyboard";
    chooseDay(*screen, 15);
    drive_.tapBack();
    EXPECT_EQ(app_.shownValue("Messages Left"), "500") << "no messages yet";

    // Nothing reaches the file before the app leaves the foreground.
    EXPECT_NE(SettingsStore::load().value().integerValue("smsquota"), 500);
    goToBackground();
    PropertyList file = SettingsStore::load().value();
    EXPECT_EQ(file.integerValue("smsquota"), 500);
    EXPECT_EQ(file.stringValue("cycleday"), "15");
    EXPECT_EQ(file.stringValue("cyclemode"), "Y");
    EXPECT_FALSE(file.contains("lastfromdate"));

    // A new run reads both back.
    app_.launch();
    EXPECT_EQ(app_.root().model().smsquota(), 500);
    EXPECT_EQ(app_.root().model().cycleDay(), 15);
    screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(quotaField(*screen)->text(), "500");
    EXPECT_EQ(row(*screen, 3), kDayCaption + "15th");
    EXPECT_EQ(screen->daySelector()->selectedRowInComponent(0), 15);

    // The fixed-date row stores the period start instead.
    chooseDay(*screen, 0);
    goToBackground();
    file = SettingsStore::load().value();
    EXPECT_EQ(file.doubleValue("lastfromdate"), double(app_.root().model().from()));
    EXPECT_FALSE(file.contains("cyclemode"));
}

TEST_F(PreferencesViewControllerTest, OnlyDoneTakesTheQuotaAndBadTextNeverBecomesAStrangeQuota) {
    app_.store("4155550101", kNow - 60, true);
    app_.launch();
    PreferencesViewController* screen = open();
    ASSERT_TRUE(screen);

    enterQuota(*screen, "500");
    EXPECT_EQ(app_.root().model().smsquota(), 500);
    enterQuota(*screen, "");
    EXPECT_EQ(app_.root().model().smsquota(), 0) << "blank is unlimited";

    // Typed, then another row: the field keeps the text, the quota stays.
    typeQuota(*screen, "500");
    drive_.tapRow(*screen->tableView(), {0, PreferencesViewController::kBillingDayRow});
    EXPECT_FALSE(screen->dataCell()->isFirstResponder());
    EXPECT_EQ(quotaField(*screen)->text(), "500");
    EXPECT_EQ(app_.root().model().smsquota(), 0);
    EXPECT_TRUE(screen->daySelector()->isVisible());

    const std::vector<std::pair<QString, int>> typed{
        {"  42x", 42}, {"abc", 0}, {"-5", 0}, {"+7", 7}, {"99999999999999999999", INT_MAX}, {"12 34", 12}};
    for (const auto& [text, quota] : typed) {
        enterQuota(*screen, text);
        EXPECT_EQ(app_.root().model().smsquota(), quota) << text.toStdString();
    }
    drive_.tapBack();
    EXPECT_EQ(app_.shownValue("Messages Left"), "11") << "12 less the one message";
    enterQuota(*open(), "99999999999");
    drive_.tapBack();
    EXPECT_EQ(app_.shownValue("Messages Left"), QString::number(INT_MAX - 1));
    goToBackground();
    EXPECT_EQ(SettingsStore::load().value().integerValue("smsquota"), INT_MAX);
}

TEST_F(PreferencesViewControllerTest, TheBadgeWheelShowsTheStoredTypeRemindsOfTheQuotaAndItsChoiceReachesTheBadge) {
    app_.store("4155550101", kNow - 100, false);
    app_.store("4155550101", kNow - 90, false);
    app_.store("4155550101", kNow - 80, true);
    app_.store("4155550101", kNow - 70, true);
    app_.store("4155550101", kNow - 60, true);
    app_.settings([](PropertyList& s) { s.setInteger("badgetype", 6); });
    app_.launch();
    PreferencesViewController* screen = open();
    ASSERT_TRUE(screen);
    PickerView& badges = *screen->badgeSelector();
    EXPECT_EQ(badges.selectedRowInComponent(0), 5);
    EXPECT_EQ(row(*screen, 1), "Badge type                Outgoing");
    EXPECT_EQ(detail(*screen, 1), "SMS Left");
    const QStringList titles{"Both (Total)",
                             "Both (SMS Left)",
                             "Incoming (Total)",
                             "Incoming (SMS Left)",
                             "Outgoing (Total)",
                             "Outgoing (SMS Left)",
                             "OFF"};
    for (int r = 0; r < titles.size(); ++r) EXPECT_EQ(badges.titleForRow(r, 0), titles[r]);

    // An SMS-Left type without a quota: a reminder, and the type stands.
    AlertView::resetShownForTesting();
    chooseBadgeRow(*screen, 3);
    EXPECT_EQ(app_.root().model().badgeType(), BadgeType::QuotaLeftOfReceived);
    EXPECT_EQ(AlertView::shownCountForTesting(), 1);
    EXPECT_EQ(AlertView::lastShownTitle(), "Ledgerwick");
    EXPECT_EQ(AlertView::lastShownMessage(),
              "Please remember to fill in the SMS quota to make this feature work properly.");
    EXPECT_EQ(row(*screen, 1), "Badge type                Incoming");
    app_.screenshot("filters-preferences-badge-type");

    enterQuota(*screen, "300");
    EXPECT_FALSE(badges.isVisible()) << "Done hides the wheels";
    chooseBadgeRow(*screen, 1);
    EXPECT_EQ(app_.root().model().badgeType(), BadgeType::QuotaLeftOfBoth);
    EXPECT_EQ(AlertView::shownCountForTesting(), 1) << "with a quota there is no reminder";
    EXPECT_EQ(row(*screen, 1), "Badge type                        Both");
    goToBackground();
    EXPECT_EQ(badges_.values, (std::vector<int>{0, 295})) << "300 less the five messages both ways";

    drive_.spinTo(badges, 0, 2);
    EXPECT_EQ(app_.root().model().badgeType(), BadgeType::Received);
    EXPECT_EQ(detail(*screen, 1), "Total");
    goToBackground();
    EXPECT_EQ(badges_.values, (std::vector<int>{0, 2})) << "the received messages";

    drive_.spinTo(badges, 0, 6);
    EXPECT_EQ(app_.root().model().badgeType(), BadgeType::Off);
    EXPECT_EQ(row(*screen, 1), "Badge type                         OFF");
    EXPECT_TRUE(detail(*screen, 1).isEmpty());
    goToBackground();
    EXPECT_EQ(badges_.values, (std::vector<int>{0})) << "off: the badge is cleared and left alone";
    EXPECT_EQ(SettingsStore::load().value().integerValue("badgetype"), 3);
}

TEST_F(PreferencesViewControllerTest, ClearDatabaseHandsOverToTheMainScreensConfirmation) {
    app_.store("4155550101", kNow - 60, true);
    app_.launch();
    PreferencesViewController* screen = open();
    ASSERT_TRUE(screen);
    drive_.tapRow(*screen->tableView(), {0, PreferencesViewController::kBillingDayRow});
    AlertView::resetShownForTesting();

    AlertView::setPresetAnswerForTesting(0);  // Cancel
    drive_.tapRow(*screen->tableView(), {0, PreferencesViewController::kClearDatabaseRow});
    EXPECT_FALSE(screen->daySelector()->isVisible());
    EXPECT_EQ(AlertView::shownCountForTesting(), 1);
    EXPECT_EQ(AlertView::lastShownTitle(), "Confirm Action");
    EXPECT_TRUE(badges_.values.empty()) << "nothing cleared, nothing saved";

    AlertView::setPresetAnswerForTesting(1);  // OK
    drive_.tapRow(*screen->tableView(), {0, PreferencesViewController::kClearDatabaseRow});
    EXPECT_GT(AlertView::shownCountForTesting(), 2);
    EXPECT_EQ(AlertView::lastShownMessage(), "Resyncing with default SMS database");
    EXPECT_FALSE(badges_.values.empty()) << "clearing saves the settings";
    EXPECT_EQ(app_.navigation().topViewController(), screen);
}

TEST_F(PreferencesViewControllerTest, AScreenReaderHearsTheQuotaFieldByItsRowAndSetsTheBillingDayAsANumber) {
    app_.launch();
    PreferencesViewController* screen = open();
    ASSERT_TRUE(screen);

    // The quota row holds the field as its one element; the field carries
    // the row's caption as name and the row's detail as description.
    QAccessibleInterface* quotaRow = QAccessible::queryAccessibleInterface(
        drive_.cell(*screen->tableView(), {0, PreferencesViewController::kQuotaRow}));
    ASSERT_NE(quotaRow, nullptr);
    EXPECT_EQ(quotaRow->text(QAccessible::Name), "SMS Quota: 0 or blank for unlimited");
    ASSERT_EQ(quotaRow->childCount(), 1);
    QAccessibleInterface* field = quotaRow->child(0);
    EXPECT_EQ(field->role(), QAccessible::EditableText);
    EXPECT_EQ(field->text(QAccessible::Name), "SMS Quota");
    EXPECT_EQ(field->text(QAccessible::Description), "0 or blank for unlimited");
    const auto labels = field->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.first().first->text(QAccessible::Name), "SMS Quota");

    // The billing day wheel's value is the day; 0 stands for "Not Used".
    drive_.tapRow(*screen->tableView(), {0, PreferencesViewController::kBillingDayRow});
    QAccessibleInterface* wheel = QAccessible::queryAccessibleInterface(screen->daySelector())->child(0);
    ASSERT_NE(wheel, nullptr);
    QAccessibleValueInterface* value = wheel->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 31);
    EXPECT_EQ(value->minimumStepSize().toInt(), 1);
    value->setCurrentValue(12);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app_.root().model().cycleDay() == 12; }, uiwait::timeoutMs));
    EXPECT_EQ(value->currentValue().toInt(), 12);
    EXPECT_EQ(wheel->text(QAccessible::Value), "12nd");
    EXPECT_EQ(row(*screen, PreferencesViewController::kBillingDayRow), kDayCaption + "12nd");
    value->setCurrentValue(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app_.root().model().cycleDay() == 0; }, uiwait::timeoutMs));
    EXPECT_EQ(wheel->text(QAccessible::Value), "Not Used (Fixed initial date)");
}
