// The main screen's model on its own, and the filter screens over a bare
// model: they edit it without a main screen behind them.
#include "app/filters/DateViewController.h"
#include "app/filters/ExcludedPersonSelectViewController.h"
#include "app/filters/EditableDetailCell.h"
#include "app/filters/PersonSelectViewController.h"
#include "app/filters/PreferencesViewController.h"
#include "app/shell/DateFormatter.h"
#include "app/shell/MainScreenModel.h"
#include "platform/ui/TableView.h"

#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

constexpr std::time_t kMarch1 = 1362096000;  // 2013-03-01 00:00 UTC
constexpr std::time_t kMarch20 = 1363823999;

TEST(MainScreenModelTest, EveryEditSignalsOnceAndEditsPastTheEndChangeNothing) {
    MainScreenModel model;
    QSignalSpy changed(&model, &MainScreenModel::changed);
    QSignalSpy counted(&model, &MainScreenModel::countChanged);

    model.setPeriod(kMarch1, kMarch20);
    EXPECT_EQ(changed.count(), 1) << "both ends, one recount";
    EXPECT_EQ(model.from(), kMarch1);
    EXPECT_EQ(model.to(), kMarch20);
    model.setMessageType(MessageType::Sent);
    model.setSelectedPerson(Person::bareNumber("3125550199", -1));
    model.addExcludedPerson(Person::bareNumber("*0199", -1));
    model.addExcludedPerson(Person::bareNumber("5", -1));
    EXPECT_EQ(changed.count(), 5);
    EXPECT_EQ(model.settings().messageType, MessageType::Sent);  // what the save writes
    EXPECT_EQ(model.settings().selectedPerson->name(), "3125550199");

    EXPECT_TRUE(model.replaceExcludedPerson(1, Person::bareNumber("6", -1)));
    EXPECT_FALSE(model.replaceExcludedPerson(2, Person::bareNumber("7", -1)));
    EXPECT_FALSE(model.removeExcludedPerson(2));
    EXPECT_EQ(changed.count(), 6) << "a refused edit is no change";
    ASSERT_EQ(model.excludedPersonArray().size(), 2u);
    EXPECT_EQ(model.excludedPersonArray()[1].name(), "6");
    EXPECT_TRUE(model.removeExcludedPerson(0));
    ASSERT_EQ(model.excludedPersonArray().size(), 1u);
    EXPECT_EQ(model.excludedPersonArray()[0].name(), "6");
    EXPECT_EQ(counted.count(), 0) << "edits do not pass for counts";

    model.setMessageCount(7);
    EXPECT_EQ(counted.count(), 1);
    EXPECT_EQ(changed.count(), 7) << "a count is not an edit: it must not start another count";
    EXPECT_EQ(model.messagesLeft(), -1) << "no quota";
    model.setSmsquota(5);
    EXPECT_EQ(model.messagesLeft(), 0) << "never below 0";
    model.setSmsquota(10);
    EXPECT_EQ(model.messagesLeft(), 3);
}

class FilterScreensOnAModelTest : public ::testing::Test {
protected:
    FilterScreensOnAModelTest() {
        model_.setPeriod(kMarch1, kMarch20);
        model_.setPersonArray({Person::bareNumber("111", -1), Person::bareNumber("222", -1)});
        changed_.clear();
    }
    MainScreenModel model_;
    QSignalSpy changed_{&model_, &MainScreenModel::changed};
};

TEST_F(FilterScreensOnAModelTest, PersonAndPeriodScreensSetTheModel) {
    PersonSelectViewController persons(&model_);
    persons.loadViewIfNeeded();
    EXPECT_EQ(persons.numberOfRowsInSection(*persons.tableView(), 0), 3) << "All and the two people";
    persons.didSelectRowAtIndexPath(*persons.tableView(), {0, 2});
    ASSERT_TRUE(model_.selectedPerson());
    EXPECT_EQ(model_.selectedPerson()->name(), "222");
    persons.didSelectRowAtIndexPath(*persons.tableView(), {0, 0});
    EXPECT_FALSE(model_.selectedPerson()) << "All";
    EXPECT_EQ(changed_.count(), 2);

    DateViewController period(&model_, DateFormatter());
    period.loadViewIfNeeded();
    period.setFrom(kMarch1 + 86400);
    period.setTo(kMarch20 - 86400);
    period.cancel();
    EXPECT_EQ(model_.from(), kMarch1) << "Cancel keeps the period";
    period.save();
    EXPECT_EQ(model_.from(), kMarch1 + 86400);
    EXPECT_EQ(model_.to(), kMarch20 - 86400);
    EXPECT_EQ(changed_.count(), 3) << "Done is one change";
}

TEST_F(FilterScreensOnAModelTest, ExclusionEntriesReplaceOrAppendAndPreferencesAskForTheClear) {
    model_.addExcludedPerson(Person::bareNumber("*1", -1));
    ExcludedPersonSelectViewController entry(&model_);
    entry.setEditIndex(0);
    entry.setNum("*2");
    entry.textFieldShouldReturn();
    ASSERT_EQ(model_.excludedPersonArray().size(), 1u);
    EXPECT_EQ(model_.excludedPersonArray()[0].name(), "*2") << "replaced in place";
    entry.setEditIndex(3);  // a place that has gone meanwhile
    entry.setNum("*3");
    entry.textFieldShouldReturn();
    ASSERT_EQ(model_.excludedPersonArray().size(), 2u);
    EXPECT_EQ(model_.excludedPersonArray()[1].name(), "*3") << "appended, not lost";

    PreferencesViewController preferences(&model_);
    QSignalSpy clear(&preferences, &PreferencesViewController::clearDatabaseRequested);
    preferences.loadViewIfNeeded();
    preferences.clearDBEvent();
    EXPECT_EQ(clear.count(), 1);
    preferences.dataCell()->textField()->setText("250");
    preferences.textFieldShouldReturn();
    EXPECT_EQ(model_.smsquota(), 250);
}

}  // namespace
