#include "RecordedBadges.h"
#include "ScreenDriver.h"

#include "app/filters/EditableDetailCell.h"
#include "app/filters/ExcludedPersonSelectViewController.h"
#include "app/filters/ExcludedViewController.h"
#include "platform/ui/BarButtonItem.h"

namespace {

const std::time_t kNow = std::time(nullptr);
using EditingStyle = TableViewCell::EditingStyle;

class ExcludedViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto book = app_.addressBook();
        anna_ = int(book.addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"}));
        carl_ = int(book.addContact("Carl", "Adams", std::nullopt, {"(312) 555-0199"}));
        book.addContact(std::nullopt, std::nullopt, "Acme Corp", {"2065550100"});
        book.addContact("Dora", std::nullopt, std::nullopt, {});
        book.addContact(std::nullopt, "Okafor", std::nullopt, {"07700900123"});
        // Sent messages (the default badge counts them): Anna 2, Carl 1,
        // 2065550123 1, 2065550100 (Acme) 1; and one received from Anna.
        app_.store("4155550101", kNow - 100, true);
        app_.store("4155550101", kNow - 95, true);
        app_.store("4155550101", kNow - 90, false);
        app_.store("3125550199", kNow - 80, true);
        app_.store("2065550123", kNow - 70, true);
        app_.store("2065550100", kNow - 60, true);
    }

    ExcludedViewController* open() {
        drive_.tapRow(*app_.root().filterTableView(), {0, 2});
        auto* screen = drive_.top<ExcludedViewController>();
        EXPECT_NE(screen, nullptr);
        return screen;
    }
    // Opens the entry screen from the exclusions screen's row.
    ExcludedPersonSelectViewController* openEntry(ExcludedViewController& list, int row) {
        drive_.tapRow(*list.tableView(), {0, row});
        auto* screen = drive_.top<ExcludedPersonSelectViewController>();
        EXPECT_NE(screen, nullptr);
        return screen;
    }
    // Launches the app and opens the entry screen of a new exclusion through
    // the exclusions screen's Edit button; `screen` is that screen.
    ExcludedPersonSelectViewController* launchToNewEntry(ExcludedViewController*& screen) {
        app_.launch();
        screen = open();
        if (!screen) return nullptr;
        drive_.tapRight();
        return openEntry(*screen, 0);
    }
    void typeAndDone(ExcludedPersonSelectViewController& entry, const QString& text) {
        drive_.type(entry.numCell()->textField(), text);
        drive_.pressReturn(entry.numCell()->textField());
    }
    QStringList rows(ExcludedViewController& screen) {
        QStringList texts;
        for (int row = 0; row < screen.tableView()->numberOfRowsInSection(0); ++row)
            texts << drive_.text(*screen.tableView(), {0, row});
        return texts;
    }
    QStringList excludedNames() {
        QStringList names;
        for (const Person& person : app_.root().model().excludedPersonArray())
            names << QString::fromStdString(person.name());
        return names;
    }
    QString total() { return app_.shownValue("Total Messages"); }
    // The exclusions the settings file holds: the contacts' record IDs, then
    // the numbers, each list as long as its stored count says.
    static std::pair<std::vector<std::int64_t>, std::vector<std::string>> savedExclusions() {
        const PropertyList file = SettingsStore::load().value();
        std::pair<std::vector<std::int64_t>, std::vector<std::string>> saved;
        for (std::int64_t i = 0; i < file.integerValue("epersoncount"); ++i)
            saved.first.push_back(file.integerValue("eperson" + std::to_string(i), -1));
        for (std::int64_t i = 0; i < file.integerValue("epersoncountNA"); ++i)
            saved.second.push_back(file.stringValue("epersonNA" + std::to_string(i)).value_or("(missing)"));
        return saved;
    }
    void goToBackground() {
        badges_.values.clear();
        app_.goToBackground();
    }

    AppHarness app_;
    ScreenDriver drive_{app_};
    int anna_ = 0;
    int carl_ = 0;
    RecordedBadges badges_{app_};
};

}  // namespace

TEST_F(ExcludedViewControllerTest, AddingAPatternANumberAndAContactLowersTheTotalTheKeysAndTheBadge) {
    app_.launch();
    EXPECT_EQ(total(), "6");
    ExcludedViewController* screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "Exclusions");
    EXPECT_EQ(screen->tableView()->titleForHeaderInSection(0), "Excluded Numbers");
    EXPECT_EQ(rows(*screen), QStringList{"None"});
    EXPECT_EQ(drive_.bar().rightButton()->item()->systemItem(), BarButtonItem::SystemItem::Edit);

    // Out of edit mode "None" leads nowhere.
    drive_.tapRow(*screen->tableView(), {0, 0});
    // The row lets go of its selection a moment after the tap.
    EXPECT_TRUE(
        QTest::qWaitFor([screen] { return !screen->tableView()->indexPathForSelectedRow(); }, uiwait::timeoutMs));
    EXPECT_TRUE(uiwait::settle());
    EXPECT_EQ(app_.navigation().topViewController(), screen);
    EXPECT_FALSE(screen->tableView()->indexPathForSelectedRow());

    drive_.tapRight();
    EXPECT_EQ(drive_.bar().rightButton()->item()->systemItem(), BarButtonItem::SystemItem::Done);
    EXPECT_EQ(rows(*screen), QStringList{"Add a excluded number"});
    EXPECT_EQ(drive_.cell(*screen->tableView(), {0, 0})->editingStyle(), EditingStyle::Insert);
    app_.screenshot("filters-exclusions-empty-editing");

    // A pattern, typed.
    ExcludedPersonSelectViewController* entry = openEntry(*screen, 0);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->title(), "Excluded Numbers");
    EXPECT_EQ(entry->editIndex(), -1);
    EXPECT_TRUE(entry->numCell()->textField()->text().isEmpty());
    EXPECT_EQ(entry->numCell()->textLabel()->text(), "Num");
    EXPECT_EQ(entry->numCell()->textField()->placeholderText(), "e.g *123, 123*");
    app_.screenshot("filters-contact-picker");
    typeAndDone(*entry, "*0199");
    EXPECT_EQ(app_.navigation().topViewController(), screen);

    // A number, through the green plus.
    drive_.tapEditingControl(*screen->tableView(), {0, 1});
    entry = drive_.top<ExcludedPersonSelectViewController>();
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->numCell()->textField()->text().isEmpty());
    typeAndDone(*entry, "2065550123");

    // A contact, picked.
    entry = openEntry(*screen, 2);
    ASSERT_TRUE(entry);
    const QStringList contacts{"Carl Adams", "Anna Becker", "Dora", "Okafor"};
    ASSERT_EQ(entry->tableView()->numberOfRowsInSection(1), contacts.size());
    drive_.tapRow(*entry->tableView(), {1, 1});
    EXPECT_EQ(app_.navigation().topViewController(), screen);
    EXPECT_EQ(rows(*screen), (QStringList{"*0199", "2065550123", "Anna Becker", "Add a excluded number"}));
    EXPECT_EQ(app_.root().model().excludedPersonArray()[2].recordID(), anna_);
    EXPECT_EQ(app_.root().model().excludedPersonArray()[0].recordID(), -1);
    app_.screenshot("filters-exclusions-editing");

    // Back on the main screen the total leaves out Carl, 2065550123 and Anna.
    drive_.tapBack();
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
    EXPECT_EQ(total(), "1");
    EXPECT_EQ(app_.shownValue("Exclusions"), "*0199");

    goToBackground();
    EXPECT_EQ(badges_.values, (std::vector<int>{0, 1})) << "the badge counts the sent messages left";
    EXPECT_EQ(savedExclusions().first, std::vector<std::int64_t>{anna_});
    EXPECT_EQ(savedExclusions().second, (std::vector<std::string>{"*0199", "2065550123"}));
}

TEST_F(ExcludedViewControllerTest, ReplacingKeepsThePlaceAndDeletingClosesUpTheSavedKeys) {
    app_.settings([this](PropertyList& s) {
        s.setInteger("epersoncount", 1);
        s.setInteger("eperson0", carl_);
        s.setInteger("epersoncountNA", 3);
        s.setString("epersonNA0", "1");
        s.setString("epersonNA1", "2");
        s.setString("epersonNA2", "3");
    });
    app_.launch();
    ExcludedViewController* screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(rows(*screen), (QStringList{"Carl Adams", "1", "2", "3"}));

    // A number entry opens with its text; Done replaces it where it stands.
    ExcludedPersonSelectViewController* entry = openEntry(*screen, 2);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->editIndex(), 2);
    EXPECT_EQ(entry->numCell()->textField()->text(), "2");
    typeAndDone(*entry, "456");
    EXPECT_EQ(rows(*screen), (QStringList{"Carl Adams", "1", "456", "3"}));
    EXPECT_FALSE(screen->tableView()->indexPathForSelectedRow()) << "the tapped row is no longer lit on return";

    // A contact entry opens with an empty field; another contact takes its place.
    entry = openEntry(*screen, 0);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->numCell()->textField()->text().isEmpty());
    drive_.tapRow(*entry->tableView(), {1, 1});
    EXPECT_EQ(rows(*screen), (QStringList{"Anna Becker", "1", "456", "3"}));

    drive_.tapRight();
    ASSERT_EQ(screen->tableView()->numberOfRowsInSection(0), 5);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(drive_.cell(*screen->tableView(), {0, row})->editingStyle(), EditingStyle::Delete) << row;
    EXPECT_EQ(drive_.cell(*screen->tableView(), {0, 4})->editingStyle(), EditingStyle::Insert);

    // The red minus, then Delete.
    drive_.tapEditingControl(*screen->tableView(), {0, 1});
    EXPECT_TRUE(drive_.cell(*screen->tableView(), {0, 1})->isShowingDeleteConfirmation());
    drive_.tapDeleteButton(*screen->tableView(), {0, 1});
    EXPECT_EQ(rows(*screen), (QStringList{"Anna Becker", "456", "3", "Add a excluded number"}));
    EXPECT_EQ(excludedNames(), (QStringList{"Anna Becker", "456", "3"}));

    // Leaving edit mode, and the next opening is never in edit mode.
    drive_.tapRight();
    EXPECT_EQ(rows(*screen), (QStringList{"Anna Becker", "456", "3"}));
    drive_.tapRight();
    drive_.tapBack();
    screen = open();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->tableView()->isEditing());
    EXPECT_EQ(drive_.bar().rightButton()->item()->systemItem(), BarButtonItem::SystemItem::Edit);
    drive_.tapBack();

    goToBackground();
    EXPECT_EQ(savedExclusions().first, std::vector<std::int64_t>{anna_});
    EXPECT_EQ(savedExclusions().second, (std::vector<std::string>{"456", "3"}));
}

TEST_F(ExcludedViewControllerTest, BackChangesNothingAndTheSameContactMayComeTwice) {
    ExcludedViewController* screen = nullptr;
    ExcludedPersonSelectViewController* entry = launchToNewEntry(screen);
    ASSERT_TRUE(entry);
    drive_.type(entry->numCell()->textField(), "555");
    drive_.tapBack();
    EXPECT_EQ(app_.navigation().topViewController(), screen);
    EXPECT_TRUE(app_.root().model().excludedPersonArray().empty());

    for (int twice = 0; twice < 2; ++twice) {
        entry = openEntry(*screen, twice);
        ASSERT_TRUE(entry);
        EXPECT_TRUE(entry->numCell()->textField()->text().isEmpty()) << "a new entry starts empty";
        drive_.tapRow(*entry->tableView(), {1, 0});
    }
    EXPECT_EQ(excludedNames(), (QStringList{"Carl Adams", "Carl Adams"}));
}

TEST_F(ExcludedViewControllerTest, AnEmptyEntryIsIgnoredAndALoneStarIsKeptAsTypedButMatchesNothing) {
    ExcludedViewController* screen = nullptr;
    ExcludedPersonSelectViewController* entry = launchToNewEntry(screen);
    ASSERT_TRUE(entry);
    typeAndDone(*entry, "");
    EXPECT_EQ(app_.navigation().topViewController(), entry) << "Done on an empty field stays";
    EXPECT_TRUE(app_.root().model().excludedPersonArray().empty());

    typeAndDone(*entry, "*");
    EXPECT_EQ(app_.navigation().topViewController(), screen);
    EXPECT_EQ(rows(*screen), (QStringList{"*", "Add a excluded number"}));
    drive_.tapRight();
    drive_.tapBack();
    EXPECT_EQ(app_.shownValue("Exclusions"), "*");
    EXPECT_EQ(total(), "6") << "a lone star excludes nobody";
    goToBackground();
    EXPECT_EQ(SettingsStore::load().value().stringValue("epersonNA0"), "*");
}
