// The filter and settings screens with the German translation installed,
// as a German user sees them: every text of these screens is translated,
// and the pictures show that the longer words still fit.
#include "GermanTranslations.h"
#include "ScreenDriver.h"

#include "app/filters/DateViewController.h"
#include "app/filters/EditableDetailCell.h"
#include "app/filters/ExcludedPersonSelectViewController.h"
#include "app/filters/ExcludedViewController.h"
#include "app/filters/PersonSelectViewController.h"
#include "app/filters/PreferencesViewController.h"
#include "app/shell/PeriodButton.h"

#include <QAccessible>

namespace {

const std::time_t kNow = std::time(nullptr);

class FilterScreensGermanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(german_.installed(), 0);
        app_.addressBook().addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"});
        app_.addressBook().addContact("Jürgen", "Ößwald", std::nullopt, {"030 1234567"});
        app_.store("4155550101", kNow - 60, true);
        app_.launch();
    }

    AppHarness app_;
    GermanTranslations german_;
    ScreenDriver drive_{app_};
};

}  // namespace

TEST_F(FilterScreensGermanTest, EveryScreenSpeaksGerman) {
    drive_.tap(app_.root().findChild<PeriodButton*>());
    auto* period = drive_.top<DateViewController>();
    ASSERT_TRUE(period);
    EXPECT_EQ(period->title(), "SMS-Zeitraum");
    app_.screenshot("filters-de-period");
    drive_.tapLeft();

    drive_.tapRow(*app_.root().filterTableView(), {0, 1});
    auto* person = drive_.top<PersonSelectViewController>();
    ASSERT_TRUE(person);
    EXPECT_EQ(drive_.text(*person->tableView(), {0, 0}), "Alle");
    drive_.tapBack();

    drive_.tapRow(*app_.root().filterTableView(), {0, 2});
    auto* exclusions = drive_.top<ExcludedViewController>();
    ASSERT_TRUE(exclusions);
    EXPECT_EQ(drive_.text(*exclusions->tableView(), {0, 0}), "Keine");
    drive_.tapRight();
    EXPECT_EQ(drive_.text(*exclusions->tableView(), {0, 0}), "Ausnahme hinzufügen");
    app_.screenshot("filters-de-exclusions");
    drive_.tapRow(*exclusions->tableView(), {0, 0});
    auto* entry = drive_.top<ExcludedPersonSelectViewController>();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->tableView()->titleForHeaderInSection(1), "Person auswählen");
    app_.screenshot("filters-de-contact-picker");
    drive_.tapBack();
    drive_.tapRight();
    drive_.tapBack();

    drive_.tap(drive_.bar().leftButton());
    auto* preferences = drive_.top<PreferencesViewController>();
    ASSERT_TRUE(preferences);
    EXPECT_EQ(preferences->title(), "Einstellungen");
    // A screen reader hears the quota field by the German row.
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(preferences->dataCell()->textField());
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(QAccessible::Name), "SMS-Kontingent");
    EXPECT_EQ(field->text(QAccessible::Description), "0 oder leer: unbegrenzt");
    drive_.tapRow(*preferences->tableView(), {0, PreferencesViewController::kBadgeTypeRow});
    app_.screenshot("filters-de-preferences");
}
