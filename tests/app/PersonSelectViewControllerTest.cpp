#include "ScreenDriver.h"

#include "app/filters/PersonSelectViewController.h"
#include "common/CounterStore.h"

#include <QAccessible>

namespace {

const std::time_t kNow = std::time(nullptr);

class PersonSelectViewControllerTest : public ::testing::Test {
protected:
    PersonSelectViewController* open() {
        drive_.tapRow(*app_.root().filterTableView(), {0, 1});
        auto* screen = drive_.top<PersonSelectViewController>();
        EXPECT_NE(screen, nullptr);
        return screen;
    }
    QString total() { return app_.shownValue("Total Messages"); }
    // The person screen's rows as a screen reader reads them: the names of
    // the table's row elements, top to bottom.
    static QStringList spokenRows(PersonSelectViewController& screen) {
        QStringList names;
        TableView& table = *screen.tableView();
        for (int row = 0; row < table.numberOfRowsInSection(0); ++row) {
            table.scrollToRowAtIndexPath({0, row}, TableView::ScrollPosition::Middle, false);
            TableViewCell* cell = table.cellForRowAtIndexPath({0, row});
            QAccessibleInterface* element = cell ? QAccessible::queryAccessibleInterface(cell) : nullptr;
            names << (element ? element->text(QAccessible::Name) : QString());
        }
        return names;
    }

    AppHarness app_;
    ScreenDriver drive_{app_};
};

}  // namespace

TEST_F(PersonSelectViewControllerTest, ChoosingAPersonFiltersTheTotalsAndAllLiftsTheFilter) {
    app_.addressBook().addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"});
    app_.store("4155550101", kNow - 100, false);
    app_.store("4155550101", kNow - 90, true);
    app_.store("3125550199", kNow - 80, false);
    app_.store("2065550123", kNow - 70, true);
    app_.launch();
    EXPECT_EQ(total(), "4");
    ASSERT_EQ(app_.root().model().personArray().size(), 3u);

    PersonSelectViewController* screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "Select Person");
    TableView& table = *screen->tableView();
    ASSERT_EQ(table.numberOfRowsInSection(0), 4);
    EXPECT_EQ(drive_.text(table, {0, 0}), "All");
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(drive_.text(table, {0, row}).toStdString(),
                  app_.root().model().personArray()[size_t(row - 1)].name());
    app_.screenshot("filters-person");

    // The fourth row is the main screen's third person.
    const Person third = app_.root().model().personArray()[2];
    drive_.tapRow(table, {0, 3});
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
    ASSERT_TRUE(app_.root().model().selectedPerson());
    EXPECT_EQ(app_.root().model().selectedPerson()->name(), third.name());
    EXPECT_EQ(app_.shownValue("Person").toStdString(), third.name());
    EXPECT_EQ(total(), third.name() == "Anna Becker" ? "2" : "1");

    screen = open();
    ASSERT_TRUE(screen);
    drive_.tapRow(*screen->tableView(), {0, 0});
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
    EXPECT_FALSE(app_.root().model().selectedPerson());
    EXPECT_EQ(app_.shownValue("Person"), "All");
    EXPECT_EQ(total(), "4");
}

TEST_F(PersonSelectViewControllerTest, AFirstLaunchListsEveryoneItsSyncCopied) {
    // A phone never synced: messages and contacts, and a counter database
    // as the bundle seeds it, empty.
    app_.addressBook().addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"});
    app_.addressBook().addContact("Ben", "Otto", std::nullopt, {"+1 312 555 0199"});
    app_.store("4155550101", kNow - 100, false);
    app_.store("3125550199", kNow - 90, true);
    app_.store("2065550123", kNow - 80, true);
    Counted<std::vector<Person>> before = CounterStore::forCurrentPhone().getUniquePerson();
    ASSERT_TRUE(!before.ok() || before.value().empty());

    app_.launch();
    PersonSelectViewController* screen = open();
    ASSERT_TRUE(screen);
    const QStringList rows = spokenRows(*screen);
    EXPECT_EQ(rows.size(), 4) << rows.join(" | ").toStdString();
    EXPECT_EQ(rows.value(0), "All");
    for (const char* name : {"Anna Becker", "Ben Otto", "2065550123"})
        EXPECT_TRUE(rows.contains(name)) << name << " missing from " << rows.join(" | ").toStdString();
}

TEST_F(PersonSelectViewControllerTest, AListArrivingWhileTheScreenIsOpenShowsAtOnce) {
    app_.launch();
    PersonSelectViewController* screen = open();
    ASSERT_TRUE(screen);
    ASSERT_EQ(spokenRows(*screen), QStringList{"All"});

    // The user waits on the open screen while a sync copies a first message.
    app_.store("3125550199", kNow - 80, false);
    emit app_.window().activated();
    app_.waitForCounts();
    uiwait::runQueuedWork();
    EXPECT_EQ(spokenRows(*screen), (QStringList{"All", "3125550199"}));
}

TEST_F(PersonSelectViewControllerTest, BackKeepsTheChoiceAndAnEmptyDatabaseOffersOnlyAll) {
    app_.launch();
    PersonSelectViewController* screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->tableView()->numberOfRowsInSection(0), 1);
    EXPECT_EQ(drive_.text(*screen->tableView(), {0, 0}), "All");
    drive_.tapBack();

    // A person appears after a sync: the next opening lists it.
    app_.store("3125550199", kNow - 80, false);
    emit app_.window().activated();
    app_.waitForCounts();  // the sync runs in the background
    screen = open();
    ASSERT_TRUE(screen);
    ASSERT_EQ(screen->tableView()->numberOfRowsInSection(0), 2);
    drive_.tapRow(*screen->tableView(), {0, 1});
    ASSERT_TRUE(app_.root().model().selectedPerson());

    screen = open();
    ASSERT_TRUE(screen);
    drive_.tapBack();
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
    ASSERT_TRUE(app_.root().model().selectedPerson()) << "going back changes nothing";
    EXPECT_EQ(app_.root().model().selectedPerson()->name(), "3125550199");
}
