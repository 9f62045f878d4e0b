#include "AppHarness.h"
#include "GermanTranslations.h"

#include "app/list/DirectionImage.h"
#include "app/list/MessageStore.h"
#include "app/list/MyTableViewCell.h"
#include "app/list/RecordViewController.h"
#include "common/CounterStore.h"
#include "common/PhoneProfile.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewRow.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Theme.h"

#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const std::time_t kNow = std::time(nullptr);
// Monday, Tuesday and Wednesday of last week, at 9:15 in the evening (UTC,
// as the harness sets the time zone).
const std::time_t kMonday = ((kNow / 86400) - 9) * 86400 + 21 * 3600 + 15 * 60;
const std::time_t kTuesday = kMonday + 86400;
const std::time_t kWednesday = kTuesday + 86400;

const std::string kAnnaNumber = "+14155550101";  // international: matches whatever the region
const std::string kUnknownNumber = "3125550199";
const std::string kLongText =
    "This message is far too long to fit on one line of the list, so the row shows only its start\n"
    "and the rest follows on a second line.";

struct RowTexts {
    QString name;
    QString date;
    QString text;
    qint64 imageKey = 0;
};

class RecordViewControllerTest : public ::testing::Test {
protected:
    RecordViewControllerTest() {
        previousLocale_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // A fixed period that holds the whole of last week, whatever today is.
        app_.settings([](PropertyList& s) { s.setDouble("lastfromdate", double(kNow - 40 * 86400)); });
    }
    ~RecordViewControllerTest() override { QLocale::setDefault(previousLocale_); }

    // Anna (a contact) sent Monday's message; Tuesday's went to a number no
    // contact has; Wednesday's long one came from that number.
    void storeWeek() {
        app_.addressBook().addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"});
        app_.store(kAnnaNumber, kMonday, false, "Monday from Anna");
        app_.store(kUnknownNumber, kTuesday, true, "Tuesday to a stranger");
        app_.store(kUnknownNumber, kWednesday, false, kLongText);
    }

    RecordViewController& openList() {
        app_.root().didSelectRowAtIndexPath(*app_.root().filterTableView(), IndexPath{1, 0});
        EXPECT_TRUE(uiwait::settle()) << "the list never slid in";
        auto* list = qobject_cast<RecordViewController*>(app_.navigation().topViewController());
        EXPECT_NE(list, nullptr);
        return *list;
    }
    // The week's messages stored, the app launched and the list open.
    RecordViewController& launchOnWeek() {
        storeWeek();
        app_.launch();
        return openList();
    }
    void goBack() {
        app_.navigation().popViewControllerAnimated(false);
        EXPECT_TRUE(uiwait::settle());
    }

    static RowTexts rowTexts(RecordViewController& list, int row) {
        TableViewRow content;
        list.describeRowAtIndexPath(*list.tableView(), {0, row}, content);
        EXPECT_EQ(content.items.size(), 4u);
        if (content.items.size() != 4) return {};
        // Painted in this order: image, date, text, then the name on top.
        return {content.items[3].text, content.items[1].text, content.items[2].text,
                content.items[0].pixmap.cacheKey()};
    }

    // Swipes the row sideways and taps the Delete button it offers.
    static void swipeToDelete(RecordViewController& list, int row) {
        TableView& table = *list.tableView();
        const QRect rect = table.rectForRowAtIndexPath({0, row});
        QWidget* surface = table.rowArea();
        QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, rect.center() + QPoint(60, 0));
        for (int step = 1; step <= 6; ++step) QTest::mouseMove(surface, rect.center() + QPoint(60 - step * 15, 0), 5);
        QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, rect.center() + QPoint(-30, 0));
        ASSERT_EQ(table.indexPathForDeleteConfirmation(), (IndexPath{0, row}));
        QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(rect.right() - 30, rect.center().y()));
    }

    static bool counterRowExists(long long rowid) {
        SqliteDatabase db;
        if (!db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly)) return false;
        SqliteStatement statement;
        if (!statement.prepare(db, "select count(*) from message where rowid = ?")) return false;
        statement.bindInt(1, rowid);
        return statement.step() == SqliteStatement::Step::Row && statement.columnInt(0) == 1;
    }

    QString total() { return app_.shownValue("Total Messages"); }

    QLocale previousLocale_;
    AppHarness app_;
};

}  // namespace

TEST_F(RecordViewControllerTest, ListsNewestFirstWithNameDateTextAndDirection) {
    RecordViewController& list = launchOnWeek();

    EXPECT_EQ(list.title(), "Details");
    ASSERT_EQ(list.tableView()->numberOfRowsInSection(0), 3);
    EXPECT_EQ(list.tableView()->rowHeight(), 35);
    // The list's own records, oldest first; it shows them reversed.
    EXPECT_EQ(&list, app_.root().recordViewController());
    EXPECT_EQ(list.data().front().date(), kMonday);

    const RowTexts top = rowTexts(list, 0);
    EXPECT_EQ(top.name, QString::fromStdString(kUnknownNumber));  // no contact: the number
    EXPECT_EQ(top.text, QString::fromStdString(kLongText));       // the list cuts it to one line
    EXPECT_EQ(top.date, QLocale().toString(QDateTime::fromSecsSinceEpoch(kWednesday), "dd MMM yyyy") + " 09:15:00 PM");
    EXPECT_EQ(top.imageKey, DirectionImage::incoming().cacheKey());

    const RowTexts middle = rowTexts(list, 1);
    EXPECT_EQ(middle.text, "Tuesday to a stranger");
    EXPECT_EQ(middle.imageKey, DirectionImage::outgoing().cacheKey());

    const RowTexts bottom = rowTexts(list, 2);
    EXPECT_EQ(bottom.name, "Anna Becker");  // a contact: the contact's name
    EXPECT_EQ(bottom.text, "Monday from Anna");
    EXPECT_EQ(bottom.imageKey, DirectionImage::incoming().cacheKey());
    EXPECT_EQ(list.recordForRow(3), nullptr);

    ASSERT_NE(list.emailButton(), nullptr);
    EXPECT_EQ(list.navigationItem().rightBarButtonItem(), list.emailButton());
    EXPECT_EQ(list.emailButton()->title(), "Email Data");
    app_.screenshot("message-list");
}

TEST_F(RecordViewControllerTest, CellDirectionAndPaintOrder) {
    MyTableViewCell cell;
    cell.modCellWithName("Anna Becker", kMonday, "Hello", Direction::Sent);
    EXPECT_EQ(cell.image().cacheKey(), DirectionImage::outgoing().cacheKey());
    cell.modCellWithName("Anna Becker", kMonday, "Hello", static_cast<Direction>(7));
    EXPECT_EQ(cell.image().cacheKey(), DirectionImage::outgoing().cacheKey());  // anything but received
    cell.modCellWithName("Anna Becker", kMonday, "Hello", Direction::Received);
    EXPECT_EQ(cell.image().cacheKey(), DirectionImage::incoming().cacheKey());

    // The name is painted last, over the 10 points it shares with the date.
    TableViewRow row;
    cell.fillRow(row);
    EXPECT_EQ(row.backgroundColor, QColor(Qt::white));
    ASSERT_EQ(row.items.size(), 4u);
    EXPECT_EQ(row.items[0].frame, QRect(0, 0, 30, 35));
    EXPECT_EQ(row.items[1].text, cell.dateLabel().text);
    EXPECT_EQ(row.items[3].text, "Anna Becker");
    EXPECT_TRUE(row.items[3].frame.intersects(row.items[1].frame));
    for (std::size_t i = 1; i < row.items.size(); ++i) EXPECT_EQ(row.items[i].highlightedColor, QColor(Qt::white));
}

TEST_F(RecordViewControllerTest, TitleFollowsTheMessageTypeAndEmptyListKeepsTheButton) {
    app_.settings([](PropertyList& s) { s.setString("messagetype", "1"); });
    app_.launch();
    RecordViewController& list = openList();
    EXPECT_EQ(list.title(), "Incoming");
    EXPECT_EQ(list.tableView()->numberOfRowsInSection(0), 0);
    EXPECT_TRUE(list.emailButton()->isEnabled());
    goBack();
    app_.root().model().setMessageType(MessageType::Sent);
    EXPECT_EQ(openList().title(), "Outgoing");
    EXPECT_EQ(RecordViewController::titleForMessageType(MessageType::Both), "Details");
}

TEST_F(RecordViewControllerTest, TappingARowShowsTheWholeText) {
    RecordViewController& list = launchOnWeek();
    const QRect top = list.tableView()->rectForRowAtIndexPath({0, 0});
    QTest::mouseClick(list.tableView()->rowArea(), Qt::LeftButton, Qt::NoModifier, top.center());
    EXPECT_EQ(AlertView::lastShownTitle(), "Ledgerwick");
    EXPECT_EQ(AlertView::lastShownMessage(), QString::fromStdString(kLongText));
    EXPECT_EQ(list.tableView()->indexPathForSelectedRow(), (IndexPath{0, 0}));  // stays selected
    app_.screenshot("message-full-text");
    for (AlertView* box : list.findChildren<AlertView*>())
        if (box->isVisible()) box->dismissWithClickedButtonIndex(0, false);
}

TEST_F(RecordViewControllerTest, ConfirmedDeleteRemovesRowRecordAndDatabaseRow) {
    storeWeek();
    app_.launch();
    EXPECT_EQ(total(), "3");
    RecordViewController& list = openList();
    const long long wednesday = list.recordForRow(0)->rowid();
    ASSERT_TRUE(counterRowExists(wednesday));

    swipeToDelete(list, 0);
    EXPECT_EQ(AlertView::lastShownTitle(), "Confirm Action");
    EXPECT_EQ(AlertView::lastShownMessage(), "Do you want to delete this SMS");
    EXPECT_TRUE(list.confirmDeleteBox()->isVisible());
    EXPECT_EQ(list.confirmDeleteBox()->tag(), wednesday);
    EXPECT_EQ(list.currentDeleteIndex(), (IndexPath{0, 0}));
    app_.screenshot("message-delete-confirm");

    list.confirmDeleteBox()->dismissWithClickedButtonIndex(1, false);  // OK
    EXPECT_FALSE(counterRowExists(wednesday));
    ASSERT_EQ(list.tableView()->numberOfRowsInSection(0), 2);
    ASSERT_EQ(list.data().size(), 2u);  // gone from the list's records too
    EXPECT_EQ(list.data().back().date(), kTuesday);
    EXPECT_EQ(rowTexts(list, 0).text, "Tuesday to a stranger");

    goBack();
    EXPECT_EQ(total(), "2");  // recounted on return
}

TEST_F(RecordViewControllerTest, CancelKeepsEverythingAndTheNextDeleteUsesItsOwnRow) {
    RecordViewController& list = launchOnWeek();
    const long long wednesday = list.recordForRow(0)->rowid();
    const long long monday = list.recordForRow(2)->rowid();

    AlertView::setPresetAnswerForTesting(0);  // Cancel
    list.commitEditingStyle(*list.tableView(), TableViewCell::EditingStyle::Delete, {0, 0});
    EXPECT_TRUE(counterRowExists(wednesday));
    EXPECT_EQ(list.tableView()->numberOfRowsInSection(0), 3);
    EXPECT_EQ(list.data().size(), 3u);

    AlertView::setPresetAnswerForTesting(1);  // OK
    list.commitEditingStyle(*list.tableView(), TableViewCell::EditingStyle::Delete, {0, 2});
    EXPECT_FALSE(counterRowExists(monday));
    EXPECT_TRUE(counterRowExists(wednesday));
    EXPECT_EQ(list.tableView()->numberOfRowsInSection(0), 2);
    EXPECT_EQ(list.recordForRow(0)->rowid(), wednesday);

    // Insert commits are not deletes.
    list.commitEditingStyle(*list.tableView(), TableViewCell::EditingStyle::Insert, {0, 0});
    EXPECT_EQ(list.tableView()->numberOfRowsInSection(0), 2);
    goBack();
    EXPECT_EQ(total(), "2");
}

TEST_F(RecordViewControllerTest, FailedDeletesLeaveTheRowAndSaySo) {
    RecordViewController& list = launchOnWeek();

    // A confirmation that arrives with no row requested.
    list.alertViewClickedButtonAtIndex(*list.confirmDeleteBox(), 0);
    EXPECT_EQ(AlertView::lastShownTitle(), "Delete SMS");
    EXPECT_EQ(AlertView::lastShownMessage(), "Delete SMS failed");

    // The counter database cannot be opened.
    const fs::path database = PhoneProfile::find().counterDatabase();
    fs::rename(database, database.string() + ".away");
    AlertView::resetShownForTesting();
    AlertView::setPresetAnswerForTesting(1);
    list.commitEditingStyle(*list.tableView(), TableViewCell::EditingStyle::Delete, {0, 1});
    fs::rename(database.string() + ".away", database);
    EXPECT_EQ(AlertView::shownCountForTesting(), 2);  // the confirmation, then the failure
    EXPECT_EQ(AlertView::lastShownMessage(), "Delete SMS failed");
    EXPECT_EQ(list.tableView()->numberOfRowsInSection(0), 3);
    EXPECT_EQ(list.data().size(), 3u);
}

TEST_F(RecordViewControllerTest, DeletingARowThatIsAlreadyGoneKeepsTheListConsistent) {
    RecordViewController& list = launchOnWeek();
    const long long wednesday = list.recordForRow(0)->rowid();
    const long long tuesday = list.recordForRow(1)->rowid();

    // Gone from the database behind the list's back: the delete still ends
    // with the row gone.
    ASSERT_TRUE(CounterStore::forCurrentPhone().deleteRow(wednesday));
    AlertView::setPresetAnswerForTesting(1);
    list.commitEditingStyle(*list.tableView(), TableViewCell::EditingStyle::Delete, {0, 0});
    EXPECT_EQ(list.tableView()->numberOfRowsInSection(0), 2);
    EXPECT_EQ(list.recordForRow(0)->rowid(), tuesday);

    // The app comes back to the front while the confirmation is up: the
    // main screen recounts and hands the list new records, with a new
    // message.
    AlertView::setPresetAnswerForTesting(std::nullopt);
    list.commitEditingStyle(*list.tableView(), TableViewCell::EditingStyle::Delete, {0, 0});
    app_.store(kAnnaNumber, kNow - 60, false, "Arrived meanwhile");
    emit app_.window().activated();
    app_.waitForCounts();
    ASSERT_EQ(list.data().size(), 3u);
    list.confirmDeleteBox()->dismissWithClickedButtonIndex(1, false);
    EXPECT_FALSE(counterRowExists(tuesday));
    ASSERT_EQ(list.data().size(), 2u);
    for (const Sms& record : list.data()) EXPECT_NE(record.rowid(), tuesday);
    EXPECT_EQ(list.tableView()->numberOfRowsInSection(0), 2);

    // The array emptied altogether while a confirmation was up.
    list.commitEditingStyle(*list.tableView(), TableViewCell::EditingStyle::Delete, {0, 1});
    list.setData({});
    list.confirmDeleteBox()->dismissWithClickedButtonIndex(1, false);
    EXPECT_EQ(list.tableView()->numberOfRowsInSection(0), 0);
    list.tableView()->grab();  // painting the stale rows must not touch the array
}

TEST_F(RecordViewControllerTest, HiddenListDoesNotOpen) {
    storeWeek();
    app_.settings([](PropertyList& s) { s.setString("hidesms", "Y"); });
    app_.launch();
    ASSERT_TRUE(app_.root().model().hideSMS());
    app_.root().didSelectRowAtIndexPath(*app_.root().filterTableView(), IndexPath{1, 0});
    EXPECT_TRUE(uiwait::settle()) << "the row never faded out";
    EXPECT_EQ(app_.navigation().topViewController(), &app_.root());
    EXPECT_EQ(total(), "3");  // the total stays visible
}

TEST_F(RecordViewControllerTest, FiftyThousandRecordsOpenQuickly) {
    app_.launch();
    std::vector<Sms> records;
    auto anna = std::make_shared<Person>(Person::bareNumber(kAnnaNumber, 0));
    for (int i = 0; i < 50000; ++i)
        records.emplace_back(anna, kAnnaNumber, kMonday - std::time_t(i % 5000) * 60, "Message " + std::to_string(i),
                             i % 3 == 0 ? Sms::kSent : Sms::kReceived, i + 1);
    // Oldest first, as a count hands them over.
    std::stable_sort(records.begin(), records.end(), [](const Sms& a, const Sms& b) { return a.compare(b) < 0; });
    app_.root().recordViewController()->setData(records);
    QElapsedTimer timer;
    timer.start();
    app_.root().showDetails();
    auto* list = qobject_cast<RecordViewController*>(app_.navigation().topViewController());
    ASSERT_NE(list, nullptr);
    list->tableView()->rowArea()->repaint();
    const qint64 openMs = timer.elapsed();
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(0), 50000);
    EXPECT_EQ(list->recordForRow(0)->date(), kMonday);
    // Scrolling to the far end paints only the rows in view.
    list->tableView()->scrollToRowAtIndexPath({0, 49999}, TableView::ScrollPosition::Bottom, false);
    list->tableView()->rowArea()->repaint();
    EXPECT_EQ(list->recordForRow(49999)->date(), kMonday - 4999 * 60);
    // Reported, not asserted: sanitizer builds on a busy machine vary too much.
    std::cout << "[ timing   ] opening the list of 50,000 records: " << openMs << " ms\n";
}

// Records the deletes it is asked for and answers as told.
class StandInStore : public MessageStore {
public:
    bool accepts = false;
    std::vector<long long> asked;
    bool deleteMessage(long long rowid) override {
        asked.push_back(rowid);
        return accepts;
    }
};

TEST(RecordViewControllerStoreTest, DeletesGoToTheStoreItIsHandedAndARefusalKeepsTheRow) {
    StandInStore store;
    auto anna = std::make_shared<Person>(Person::bareNumber(kAnnaNumber, 0));
    std::vector<Sms> records{{anna, kAnnaNumber, kMonday, "older", Sms::kSent, 11},
                             {anna, kAnnaNumber, kTuesday, "newer", Sms::kReceived, 12}};
    QWidget owner;
    RecordViewController* list = RecordViewController::initWithArrayData(records, store, &owner);
    list->loadViewIfNeeded();
    list->viewWillAppear(false);  // as the navigation shows it: the list loads its rows
    AlertView::resetShownForTesting();

    AlertView::setPresetAnswerForTesting(1);  // OK
    list->commitEditingStyle(*list->tableView(), TableViewCell::EditingStyle::Delete, {0, 0});
    EXPECT_EQ(store.asked, std::vector<long long>{12}) << "the newest record is the top row";
    EXPECT_EQ(AlertView::lastShownMessage(), "Delete SMS failed");
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(0), 2);
    EXPECT_EQ(list->data().size(), 2u);

    store.accepts = true;
    list->commitEditingStyle(*list->tableView(), TableViewCell::EditingStyle::Delete, {0, 1});
    AlertView::setPresetAnswerForTesting(std::nullopt);
    EXPECT_EQ(store.asked, (std::vector<long long>{12, 11}));
    ASSERT_EQ(list->data().size(), 1u);
    EXPECT_EQ(list->data().front().rowid(), 12);
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(0), 1);
}

TEST_F(RecordViewControllerTest, GermanListAndConfirmation) {
    GermanTranslations german;
    ASSERT_GT(german.installed(), 0);
    storeWeek();
    app_.settings([](PropertyList& s) { s.setString("messagetype", "1"); });
    app_.launch();
    RecordViewController& list = openList();
    EXPECT_EQ(list.title(), "Eingehend");
    EXPECT_EQ(list.emailButton()->title(), "Per E-Mail");
    EXPECT_EQ(rowTexts(list, 0).date,
              QLocale().toString(QDateTime::fromSecsSinceEpoch(kWednesday), "dd MMM yyyy") + " 09:15:00 PM");
    list.commitEditingStyle(*list.tableView(), TableViewCell::EditingStyle::Delete, {0, 0});
    EXPECT_EQ(AlertView::lastShownTitle(), "Aktion bestätigen");
    app_.screenshot("message-delete-confirm-de");
    list.confirmDeleteBox()->dismissWithClickedButtonIndex(0, false);
}
