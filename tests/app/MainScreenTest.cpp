#include "RecordedBadges.h"
#include "ScreenDriver.h"

#include "app/charts/ChartViewController.h"
#include "app/filters/PersonSelectViewController.h"
#include "app/list/CsvExport.h"
#include "app/list/RecordViewController.h"
#include "app/shell/BackgroundWork.h"
#include "app/shell/SingleInstance.h"
#include "common/MarkerSync.h"
#include "common/CounterStore.h"
#include "common/PhoneProfile.h"
#include "platform/SqliteDatabase.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewRow.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableContentView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"

#include <QFile>
#include <QSignalSpy>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The app's clock in these tests: the middle of a month, so that messages of
// the last minutes fall into the billing period that began on the 1st.
constexpr std::time_t kNow = 1363780800;  // 2013-03-20 12:00 UTC

class MainScreenTest : public ::testing::Test {
protected:
    MainScreenTest() { app_.setNow(kNow); }

    QString total() { return app_.shownValue("Total Messages"); }
    QString left() { return app_.shownValue("Messages Left"); }
    void activate() {
        emit app_.window().activated();
        EXPECT_TRUE(uiwait::settle());
        app_.waitForCounts();  // the sync and the count run in the background
    }
    void leaveAndComeBack() {
        emit app_.window().deactivated();
        emit app_.window().activated();
    }

    // The texts a row of the filter table shows, left to right (caption,
    // value, the arrow when there is one): the labels of the cell that is on
    // the screen for that row, not what the screen would put there.
    std::vector<std::string> shownRow(const QString& caption) {
        std::vector<std::string> texts;
        for (const QString& text : app_.shownRow(caption))
            if (!text.isEmpty()) texts.push_back(text.toStdString());
        return texts;
    }
    std::string shownValue(const QString& caption) { return app_.shownValue(caption).toStdString(); }
    // Whether one of the main screen's alert boxes holds `message` (the last
    // one shown may be another).
    bool alertSays(const QString& message) {
        for (AlertView* alert : app_.root().findChildren<AlertView*>())
            if (alert->message() == message) return true;
        return false;
    }
    // Waits until the row shows `expected`, and reports what it shows.
    std::string shownValueOnceItIs(const QString& caption, const std::string& expected, int timeoutMs = 2000) {
        static_cast<void>(QTest::qWaitFor([&] { return shownValue(caption) == expected; }, timeoutMs));
        return shownValue(caption);
    }
    // The texts of the main screen's own labels (period, "Filter By").
    QStringList shownLabels() {
        QStringList texts;
        for (Label* label : app_.root().findChildren<Label*>(QString(), Qt::FindDirectChildrenOnly))
            if (!label->isHidden()) texts << label->text();
        return texts;
    }

    // The message texts the list paints, top row first.
    static std::vector<std::string> listed(RecordViewController& list) {
        std::vector<std::string> texts;
        for (int row = 0; row < list.tableView()->numberOfRowsInSection(0); ++row) {
            TableViewRow content;
            list.describeRowAtIndexPath(*list.tableView(), {0, row}, content);
            texts.push_back(content.items.size() == 4 ? content.items[2].text.toStdString() : std::string());
        }
        return texts;
    }

    void tapButton(const QString& title) {
        for (QPushButton* button : app_.root().findChildren<QPushButton*>())
            if (button->text() == title) return drive_.tap(button);
        ADD_FAILURE() << "no button " << title.toStdString();
    }

    // As if the counter database and the address book had been written a
    // while ago: the count's cache trusts only files that have settled.
    static void letTheDataFilesSettle() {
        for (const std::string& path : {PhoneProfile::find().counterDatabase(), DevicePaths::addressBook()}) {
            std::error_code error;
            fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1), error);
        }
    }

    AppHarness app_;
    ScreenDriver drive_{app_};
};

}  // namespace

TEST_F(MainScreenTest, BeforeTheFirstCountArrivesTheScreenShowsTheUsersPeriodAndNoMadeUpNumber) {
    app_.store("4155550101", kNow - 60, true);
    app_.launchWithoutWaitingForCounts();
    RootViewController& screen = *app_.delegate().rootViewController();
    QStringList labels;
    for (Label* label : screen.findChildren<Label*>(QString(), Qt::FindDirectChildrenOnly))
        if (!label->isHidden()) labels << label->text();
    const DateFormatter& dates = screen.dateFormatter();
    EXPECT_TRUE(labels.contains(dates.stringFromDate(1362096000))) << labels.join(" | ").toStdString();  // 1 March
    EXPECT_FALSE(labels.contains(dates.stringFromDate(0))) << "the epoch, not the user's period";
    // Blank while the count runs, then the count: never a 0 that is not one.
    const QString before = app_.shownValue("Total Messages", AppHarness::Counts::AsTheyAre);
    EXPECT_TRUE(before.isEmpty() || before == "1") << before.toStdString();
    EXPECT_EQ(total(), "1");
    // Nothing the main screen keeps for later covers it: what is under the
    // Total Messages row is the filter table.
    TableView& table = *screen.filterTableView();
    QWidget* under = screen.childAt(table.geometry().center());
    EXPECT_TRUE(under == &table || table.isAncestorOf(under)) << (under ? under->metaObject()->className() : "nothing");
    for (auto* list : screen.findChildren<RecordViewController*>()) EXPECT_FALSE(list->isVisible());
}

TEST_F(MainScreenTest, EveryTotalShownFromLaunchOnCountsTheMessagesTheLaunchSyncCopied) {
    // Enough messages that the sync takes a while: a count that ran beside
    // it would count the database from before it and show that for as long.
    std::vector<FixtureMessage> batch;
    for (int i = 0; i < 20000; ++i) batch.push_back({"4155550101", "hello", kNow - 100000 + i, i % 2 == 0, "SMS"});
    ASSERT_TRUE(app_.sms().storeMessages(batch));
    app_.launchWithoutWaitingForCounts();
    RootViewController& screen = *app_.delegate().rootViewController();
    QStringList shown;
    auto record = [&] {
        const QString total = app_.shownValue("Total Messages", AppHarness::Counts::AsTheyAre);
        if (!total.isEmpty() && (shown.isEmpty() || shown.last() != total)) shown << total;
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            record();
            return !screen.isCounting();
        },
        60000));
    record();
    EXPECT_EQ(shown, QStringList{"20000"}) << shown.join(", ").toStdString();
}

TEST_F(MainScreenTest, LaunchSyncsCountsAndRecountsOnEveryActivation) {
    app_.store("4155550101", kNow - 120, false, std::string(161, 'a'));  // 2 segments
    app_.store("4155550102", kNow - 60, true);
    app_.launch();
    EXPECT_EQ(total(), "3");
    EXPECT_EQ(left(), "-");  // no quota
    EXPECT_EQ(shownRow("Message Type"), (std::vector<std::string>{"Message Type", "Both", ">"}));
    EXPECT_EQ(app_.shownValue("Message Type"), "Both");
    EXPECT_EQ(app_.shownValue("Person"), "All");
    EXPECT_EQ(app_.shownValue("Exclusions"), "None");
    // The list holds the records behind the total, oldest first.
    ASSERT_EQ(app_.root().recordViewController()->data().size(), 2u);
    EXPECT_EQ(app_.root().recordViewController()->data()[0].flags(), Sms::kReceived);
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

// A desktop window stays in front for hours: a message the badge daemon
// copies meanwhile reaches the totals (and the list) without an activation,
// also after the counter database was replaced by a new file.
TEST_F(MainScreenTest, WithTheWindowInFrontTheTotalFollowsWhatTheDaemonCopies) {
    app_.store("4155550101", kNow - 300, false, "before");
    app_.settings([](PropertyList& s) { s.setInteger("smsquota", 10); });
    app_.launch();
    ASSERT_TRUE(app_.window().isActiveWindow());
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1"), "1");
    QSignalSpy activations(&app_.window(), &PhoneWindow::activated);
    // What the daemon does when the phone announces a message: the sync.
    auto daemonCopies = [](bool expectedRan = true) {
        EXPECT_EQ(MarkerSync::syncWithStoredMarkers().ran, expectedRan);
    };

    app_.store("4155550102", kNow - 200, true, "while in front");
    daemonCopies();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "2", uiwait::timeoutMs), "2");
    EXPECT_EQ(shownValue("Messages Left"), "8");
    EXPECT_EQ(app_.root().recordViewController()->data().size(), 2u) << "the list follows the total";

    // A counter database put in place by a rename (an older copy brought
    // back, without the first message) is followed, and so are the copies
    // into it from then on.
    const fs::path counter = PhoneProfile::find().counterDatabase();
    const fs::path older = counter.string() + ".older";
    fs::copy_file(counter, older);
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(older.string(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("DELETE FROM message WHERE ROWID = (SELECT MIN(ROWID) FROM message)"));
    }
    fs::rename(older, counter);
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1", uiwait::timeoutMs), "1");
    app_.store("4155550103", kNow - 100, false, "after the rename");
    daemonCopies();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "2", uiwait::timeoutMs), "2");
    EXPECT_EQ(activations.count(), 0) << "no activation brought the totals";
    EXPECT_TRUE(app_.window().isActiveWindow());
    EXPECT_EQ(AlertView::shownCountForTesting(), 0);
}

// A count the open app makes on its own, because another program changed
// the counter database, may meet the database still held by that program:
// it fails quietly and leaves the total, and only an activation's count,
// the user's own, says why there is none.
TEST_F(MainScreenTest, ACountOfTheOpenAppThatFailsLeavesTheTotalAndSaysNothing) {
    app_.store("4155550101", kNow - 100, false);
    app_.launch();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1"), "1");
    AlertView::resetShownForTesting();
    BackgroundWork::holdResultsForTesting(true);
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("DROP TABLE message"));
    }
    EXPECT_TRUE(QTest::qWaitFor([] { return BackgroundWork::heldResultCountForTesting() == 1; }, uiwait::timeoutMs))
        << "the change was not followed";
    BackgroundWork::releaseHeldResultsNewestFirstForTesting();
    EXPECT_EQ(total(), "1");
    EXPECT_EQ(AlertView::shownCountForTesting(), 0);

    activate();
    EXPECT_EQ(total(), "\u2013");
    EXPECT_TRUE(AlertView::lastShownMessage().startsWith("The messages cannot be counted"))
        << AlertView::lastShownMessage().toStdString();
}

// Whatever the order of new messages, the daemon's copies, filter changes
// and activations, once the app is left alone the total it shows counts
// what the counter database holds for the chosen type. Each seed is one
// order; a seed that ever failed stays in the list.
TEST_F(MainScreenTest, AnyOrderOfCopiesFilterChangesAndActivationsEndsOnTheTotalOfTheCopies) {
    app_.launch();
    struct Messages {
        int received = 0, sent = 0;                // copied into the counter database
        int waitingReceived = 0, waitingSent = 0;  // in sms.db only
        void copy() {
            received += std::exchange(waitingReceived, 0);
            sent += std::exchange(waitingSent, 0);
        }
    } messages;
    std::time_t date = kNow - 100000;
    for (const std::uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u}) {
        std::mt19937 random(seed);
        for (int step = 0; step < 12; ++step) {
            switch (random() % 5) {
            case 0: {
                const bool sent = random() % 2 == 0;
                app_.store(sent ? "4155550102" : "4155550101", ++date, sent);
                ++(sent ? messages.waitingSent : messages.waitingReceived);
                break;
            }
            case 1:  // the daemon
                EXPECT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
                messages.copy();
                break;
            case 2:
                app_.delegate().rootViewController()->model().setMessageType(static_cast<MessageType>(random() % 3));
                break;
            case 3:
                // Its sync copies what sms.db holds when it runs: messages
                // come in only after it, to keep the count of copies exact.
                leaveAndComeBack();
                app_.waitForCounts();
                messages.copy();
                break;
            default: QCoreApplication::processEvents();
            }
        }
        const MessageType type = app_.delegate().rootViewController()->model().messageType();
        const int expected = type == MessageType::Received ? messages.received
                             : type == MessageType::Sent   ? messages.sent
                                                           : messages.received + messages.sent;
        const std::string total = std::to_string(expected);
        EXPECT_EQ(shownValueOnceItIs("Total Messages", total, uiwait::timeoutMs), total) << "seed " << seed;
    }
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
        EXPECT_TRUE(uiwait::settle());
    };
    ActionSheet sheet(QString(), nullptr, "Cancel", QString(), {"Both", "Received", "Sent"});
    const int offset = sheet.cancelButtonIndex() == 0 ? 1 : 0;
    chooseType(offset + 1);
    EXPECT_EQ(ActionSheet::lastShownTitle(), "Message Type");
    EXPECT_EQ(app_.shownValue("Message Type"), "Received");
    EXPECT_EQ(total(), "2");
    EXPECT_EQ(left(), "0");
    chooseType(offset + 2);
    EXPECT_EQ(app_.shownValue("Message Type"), "Sent");
    EXPECT_EQ(total(), "1");
    EXPECT_EQ(left(), "1");
    chooseType(sheet.cancelButtonIndex());  // Cancel changes nothing
    EXPECT_EQ(app_.shownValue("Message Type"), "Sent");
    EXPECT_EQ(total(), "1");

    chooseType(offset);  // Both, then a person and an exclusion
    app_.root().model().setSelectedPerson(Person::bareNumber("3125550199", -1));
    app_.root().updateMessageCount();
    EXPECT_EQ(app_.shownValue("Person"), "3125550199");
    EXPECT_EQ(total(), "1");
    app_.root().model().setSelectedPerson(std::nullopt);
    app_.root().model().addExcludedPerson(Person::bareNumber("*0199", -1));
    app_.root().model().addExcludedPerson(Person::bareNumber("5", -1));
    app_.root().updateMessageCount();
    EXPECT_EQ(app_.shownValue("Exclusions"), "*0199");  // the first exclusion's name
    EXPECT_EQ(total(), "2");
    EXPECT_EQ(left(), "0");
}

TEST_F(MainScreenTest, UrlCommandsHideAndShowTheMessageList) {
    app_.store("4155550101", kNow - 100, false);
    app_.settings([](PropertyList& s) { s.setString("other", "kept"); });
    app_.launch();
    EXPECT_FALSE(app_.root().model().hideSMS());

    app_.delegate().handleOpenURL("brindlex://hidesms");  // the host counts exactly
    EXPECT_FALSE(SettingsStore::load()->contains("hidesms"));
    app_.delegate().handleOpenURL("brindlex://hideSMS");
    auto file = SettingsStore::load();
    EXPECT_EQ(file->stringValue("hidesms"), "Y");
    EXPECT_EQ(file->stringValue("other"), "kept");
    EXPECT_FALSE(app_.root().model().hideSMS());  // the screen follows at the next activation
    activate();
    EXPECT_TRUE(app_.root().model().hideSMS());
    EXPECT_EQ(total(), "1");  // totals stay
    TableViewCell* row = app_.root().filterTableView()->cellForRowAtIndexPath(IndexPath{1, 0});
    ASSERT_TRUE(row);
    EXPECT_EQ(row->selectionStyle(), TableViewCell::SelectionStyle::None);

    app_.delegate().handleOpenURL("brindlex://showSMS/");
    activate();
    EXPECT_FALSE(app_.root().model().hideSMS());
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
    // 2: the counter database deleted while the app runs. The count that
    // follows fails as well and says so in a box of its own, after the
    // sync's; the failures that follow belong to the same spell and bring
    // no second count box.
    app_.sms().create(SmsSchema::New);
    fs::remove(PhoneProfile::find().counterDatabase());
    AlertView::resetShownForTesting();
    activate();
    EXPECT_EQ(AlertView::shownCountForTesting(), 2);
    EXPECT_TRUE(alertSays("error code : 2"));
    EXPECT_TRUE(AlertView::lastShownMessage().startsWith("The messages cannot be counted"))
        << AlertView::lastShownMessage().toStdString();
    EXPECT_EQ(total(), "\u2013");
    // 4: a counter database without its table.
    Seeding::copyIfNeeded();
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
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
    app_.root().model().setSelectedPerson(Person::bareNumber("4155550101", -1));
    app_.root().updateMessageCount();
    EXPECT_EQ(total(), "1");

    AlertView::setPresetAnswerForTesting(0);  // Cancel
    app_.root().confirmClearDB();
    EXPECT_EQ(AlertView::lastShownTitle(), "Confirm Action");
    EXPECT_TRUE(app_.root().model().selectedPerson());

    // A row deleted from the counter database comes back from sms.db.
    ASSERT_TRUE(CounterStore::forCurrentPhone().deleteRow(1));
    AlertView::setPresetAnswerForTesting(1);  // OK
    AlertView::resetShownForTesting();
    app_.root().confirmClearDB();
    app_.waitForCounts();                             // the clear and its resync run in the background
    EXPECT_EQ(AlertView::shownCountForTesting(), 3);  // confirm, then success and resync in one box
    EXPECT_EQ(AlertView::lastShownTitle(), "Ledgerwick");
    EXPECT_EQ(AlertView::lastShownMessage(), "Resyncing with default SMS database");
    EXPECT_FALSE(app_.root().model().selectedPerson());
    EXPECT_EQ(app_.shownValue("Person"), "All");
    EXPECT_EQ(total(), "2");
    EXPECT_EQ(app_.root().model().personArray().size(), 2u);
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
    EXPECT_EQ(app_.root().model().saveFromDate(), MainScreenSettings::PeriodMode::FixedDate);
    EXPECT_EQ(app_.root().model().from(), 1356998400);
    EXPECT_EQ(app_.shownValue("Message Type"), "Sent");  // any other type string reads as Sent
    EXPECT_EQ(total(), "0");
    EXPECT_EQ(left(), "-");
    app_.root().model().setMessageType(MessageType::Both);
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
    EXPECT_TRUE(uiwait::settle()) << "the About screen never slid in";
    ASSERT_NE(app_.navigation().topViewController(), &app_.root());
    EXPECT_EQ(app_.navigation().topViewController()->title(), "About");
    app_.screenshot("about");
    app_.navigation().popViewControllerAnimated(false);
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
}

// --- What the screen shows after charts, activations and URLs ----------------

TEST_F(MainScreenTest, AfterAChartTheListAndTheExportHoldOnlyTheChosenPersonsMessages) {
    app_.addressBook().addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"});
    app_.store("4155550101", kNow - 300, false, "Anna's only message");
    app_.store("3125550199", kNow - 200, false, "from a stranger");
    app_.store("3125550199", kNow - 100, true, "to a stranger");
    // Copied before the launch, as the daemon would, so the person list
    // offers both correspondents.
    ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
    app_.launch();
    letTheDataFilesSettle();

    TableView& filters = *app_.root().filterTableView();
    drive_.tapRow(filters, {0, 1});
    PersonSelectViewController* people = drive_.top<PersonSelectViewController>();
    ASSERT_NE(people, nullptr);
    int anna = -1;
    for (int row = 0; row < people->tableView()->numberOfRowsInSection(0); ++row)
        if (drive_.text(*people->tableView(), {0, row}) == "Anna Becker") anna = row;
    ASSERT_GT(anna, 0);
    drive_.tapRow(*people->tableView(), {0, anna});
    ASSERT_EQ(drive_.top<RootViewController>(), &app_.root());
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1"), "1");

    // The chart counts everybody's messages; coming back must not leave
    // them behind the person's total.
    tapButton("Chart");
    ASSERT_TRUE(QTest::qWaitFor([&] { return app_.root().chartViewController() != nullptr; }, 2000));
    ASSERT_EQ(drive_.top<ChartViewController>(), app_.root().chartViewController());
    drive_.tapBack();
    ASSERT_EQ(drive_.top<RootViewController>(), &app_.root());
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1"), "1");

    drive_.tapRow(filters, {1, 0});
    RecordViewController* list = drive_.top<RecordViewController>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(listed(*list), std::vector<std::string>{"Anna's only message"});

    {
        // No mail program: "Email Data" only writes the file.
        QTemporaryDir noMailer;
        ScopedEnvironment path("PATH", noMailer.path().toStdString());
        drive_.tapRight();
    }
    QFile csv(CsvExport::documentsFilePath());
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString exported = QString::fromUtf8(csv.readAll());
    EXPECT_EQ(exported.count('\n'), 2) << exported.toStdString();  // the header and Anna's message
    EXPECT_TRUE(exported.contains("Anna's only message"));
    EXPECT_FALSE(exported.contains("stranger"));
}

TEST_F(MainScreenTest, AfterAnActivationTheTotalsOnScreenAreTheRecount) {
    app_.store("4155550101", kNow - 100, false);
    app_.settings([](PropertyList& s) { s.setInteger("smsquota", 10); });
    app_.launch();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1"), "1");
    EXPECT_EQ(shownValue("Messages Left"), "9");

    // A message arrives while the app is in the background.
    app_.store("4155550102", kNow - 50, true);
    leaveAndComeBack();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "2"), "2");
    EXPECT_EQ(shownValue("Messages Left"), "8");
    EXPECT_EQ(shownRow("Total Messages"), (std::vector<std::string>{"Total Messages", "2", ">"}));
    app_.screenshot("main-screen-after-activation");
}

TEST_F(MainScreenTest, AnOpenListStaysNewestFirstWhenAnActivationRefillsIt) {
    app_.store("4155550101", kNow - 300, false, "first in");
    app_.store("4155550102", kNow - 200, true, "then out");
    app_.store("4155550101", kNow - 100, false, "then in again");
    app_.launch();
    drive_.tapRow(*app_.root().filterTableView(), {1, 0});
    RecordViewController* list = drive_.top<RecordViewController>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(listed(*list), (std::vector<std::string>{"then in again", "then out", "first in"}));

    // The recount collects the received messages, then the sent ones.
    app_.store("4155550102", kNow - 50, true, "last out");
    leaveAndComeBack();
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->tableView()->numberOfRowsInSection(0) == 4; }, 2000));
    EXPECT_EQ(listed(*list), (std::vector<std::string>{"last out", "then in again", "then out", "first in"}));
}

TEST_F(MainScreenTest, AUrlGivenToTheVeryFirstStartTakesEffect) {
    app_.store("4155550101", kNow - 100, false);
    // A device the app has never run on: nothing seeded yet.
    fs::remove(DevicePaths::settingsFile());
    fs::remove(PhoneProfile::find().counterDatabase());
    app_.launch({"brindlex://hideSMS"});
    const auto file = SettingsStore::load();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->stringValue("hidesms"), "Y");

    activate();  // the activation that follows the launch
    EXPECT_TRUE(app_.root().model().hideSMS());
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1"), "1");                                 // the totals stay
    EXPECT_EQ(shownRow("Total Messages"), (std::vector<std::string>{"Total Messages", "1"}));  // no arrow
    drive_.tapRow(*app_.root().filterTableView(), {1, 0});
    EXPECT_EQ(drive_.top<RootViewController>(), &app_.root()) << "the list stays closed";
}

TEST_F(MainScreenTest, AUrlHandedOverByALaterStartBringsTheWindowToTheFront) {
    app_.launch();
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    ASSERT_FALSE(app_.window().isActiveWindow());

    // Wired as the program wires its single instance.
    const QString key = "brindlex-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    SingleInstance running(key);
    ASSERT_TRUE(running.start({}));
    QObject::connect(&running, &SingleInstance::messagesReceived, &app_.delegate(), &BrindlexAppDelegate::openURLs);
    SingleInstance later(key);
    EXPECT_FALSE(later.start({"brindlex://hideSMS"}));

    EXPECT_TRUE(QTest::qWaitFor([&] { return app_.window().isActiveWindow(); }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return app_.root().model().hideSMS(); }, 2000));
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "0"), "0");
    EXPECT_EQ(shownRow("Total Messages"), (std::vector<std::string>{"Total Messages", "0"}));
}

TEST_F(MainScreenTest, PeriodCountAndBadgeFollowTheScreensClock) {
    // One minute into March: the billing period began a minute ago, and a
    // message of February's last minute is outside it.
    constexpr std::time_t kMarch1 = 1362096000;  // 2013-03-01 00:00 UTC
    app_.setNow(kMarch1 + 60);
    app_.store("4155550101", kMarch1 - 30, true);
    app_.store("4155550101", kMarch1 + 30, true);
    RecordedBadges badges(app_);
    app_.launch();

    const DateFormatter& dates = app_.root().dateFormatter();
    EXPECT_TRUE(shownLabels().contains(dates.stringFromDate(kMarch1)));
    EXPECT_EQ(shownLabels().count(dates.stringFromDate(kMarch1)), 2) << "From and To: the same day";
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1"), "1");

    // Leaving saves and sets the badge (sent messages) for the same period.
    badges.values.clear();
    app_.goToBackground();
    EXPECT_EQ(badges.values, (std::vector<int>{0, 1}));
}

// A count that cannot read the counter database has no number: the screen
// shows a dash for the total and the messages left (never a 0, nor the "-"
// of no quota), says why once for the whole spell of failed counts, leaves
// the badge at the 0 of the save, and shows numbers again once a count
// succeeds.
TEST_F(MainScreenTest, AFailedCountShowsADashAndSaysWhyOncePerSpell) {
    const QString dash = QStringLiteral("\u2013");
    app_.store("4155550101", kNow - 100, false);
    app_.store("4155550102", kNow - 90, true);
    app_.settings([](PropertyList& s) { s.setInteger("smsquota", 10); });
    app_.launch();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "2"), "2");
    EXPECT_EQ(shownValue("Messages Left"), "8");

    auto dropTheTable = [] {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("DROP TABLE message"));
    };
    auto countBoxes = [] { return AlertView::lastShownMessage().startsWith("The messages cannot be counted") ? 1 : 0; };
    dropTheTable();
    AlertView::resetShownForTesting();
    activate();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", dash.toStdString()), dash.toStdString());
    EXPECT_EQ(shownValue("Messages Left"), dash.toStdString());
    EXPECT_EQ(total(), dash);
    EXPECT_EQ(left(), dash);
    EXPECT_EQ(countBoxes(), 1);
    EXPECT_EQ(AlertView::lastShownTitle(), "ERROR!");
    EXPECT_TRUE(AlertView::lastShownMessage().contains("no such table: message"))
        << AlertView::lastShownMessage().toStdString();
    // The list holds no messages of an older count behind the dash.
    EXPECT_TRUE(app_.root().recordViewController()->data().empty());
    app_.screenshot("count-failed-alert");
    for (AlertView* alert : app_.root().findChildren<AlertView*>())
        if (alert->isVisible()) alert->dismissWithClickedButtonIndex(0, false);
    app_.screenshot("count-failed");

    // Recounts of the same spell (an activation, a new filter) say nothing
    // more; the sync's own failure still shows each time.
    const int shown = AlertView::shownCountForTesting();
    activate();
    app_.root().model().setMessageType(MessageType::Sent);
    app_.waitForCounts();
    EXPECT_EQ(total(), dash);
    EXPECT_EQ(AlertView::shownCountForTesting(), shown + 1) << "only the sync's box";
    EXPECT_EQ(AlertView::lastShownMessage(), "error code : 4");

    // The save's badge: 0 at once, and no count after it.
    RecordedBadges badges(app_);
    app_.goToBackground();
    EXPECT_EQ(badges.values, std::vector<int>{0});

    // A database that reads again ends the spell: numbers come back ...
    fs::remove(PhoneProfile::find().counterDatabase());
    Seeding::copyIfNeeded();
    app_.settings([](PropertyList& s) {
        s.setInteger("lastsyncrdate", 0);
        s.setInteger("lastsyncsdate", 0);
    });
    activate();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", "1"), "1");  // sent only, as chosen above
    EXPECT_EQ(shownValue("Messages Left"), "9");
    // ... and the next failure is a new spell, told again.
    dropTheTable();
    AlertView::resetShownForTesting();
    activate();
    EXPECT_EQ(shownValueOnceItIs("Total Messages", dash.toStdString()), dash.toStdString());
    EXPECT_EQ(countBoxes(), 1);
}
