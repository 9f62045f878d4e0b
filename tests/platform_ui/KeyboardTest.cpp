// The kit without a mouse: real key presses on real widgets.
#include "RecordedAnswers.h"
#include "UiTestSupport.h"

#include "platform/ui/ActionSheet.h"
#include "platform/ui/ActionSheetDelegate.h"
#include "platform/ui/ActionSheetOverlay.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/TableContentView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/TextFieldCell.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ViewController.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <memory>
#include <vector>

namespace {

using EditingStyle = TableViewCell::EditingStyle;

// Two sections of plain text rows; deletes and taps are recorded.
class TextRows : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<QStringList> sections{{"Message Type", "Person"}, {"Total Messages", "Messages Left"}};
    std::vector<IndexPath> selections;
    std::vector<IndexPath> deletes;

    int numberOfSectionsInTableView(TableView&) override { return int(sections.size()); }
    int numberOfRowsInSection(TableView&, int section) override { return int(sections[size_t(section)].size()); }
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override {
        TableViewCell* cell = table.dequeueReusableCell("Cell");
        if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, "Cell", table.contentView());
        cell->textLabel()->setText(sections[size_t(indexPath.section)][indexPath.row]);
        return cell;
    }
    void commitEditingStyle(TableView& table, EditingStyle style, const IndexPath& indexPath) override {
        if (style != EditingStyle::Delete) return;
        deletes.push_back(indexPath);
        sections[size_t(indexPath.section)].removeAt(indexPath.row);
        table.deleteRowsAtIndexPaths({indexPath}, false);
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) override { selections.push_back(indexPath); }
};

class TableKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        table = std::make_unique<TableView>(TableView::Style::Grouped);
        table->resize(Theme::windowWidth, 200);
        table->setDataSource(&rows);
        table->setDelegate(&rows);
        table->show();
        table->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(table.get()));
        first()->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return first()->hasFocus(); }));
    }

    TableViewCell* first() { return table->cellForRowAtIndexPath({0, 0}); }
    QString focusedText() {
        auto* cell = qobject_cast<TableViewCell*>(QApplication::focusWidget());
        return cell ? cell->textLabel()->text() : QString();
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    TextRows rows;
    std::unique_ptr<TableView> table;
};

TEST_F(TableKeyboardTest, ArrowsWalkTheRowsAcrossSectionsAndStopAtTheEnds) {
    press(Qt::Key_Up);
    EXPECT_EQ(focusedText(), "Message Type") << "nothing above the first row";
    press(Qt::Key_Down);
    EXPECT_EQ(focusedText(), "Person");
    press(Qt::Key_Down);
    EXPECT_EQ(focusedText(), "Total Messages") << "into the next section";
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(focusedText(), "Messages Left");
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    EXPECT_EQ(focusedText(), "Person");
}

TEST_F(TableKeyboardTest, ArrowsScrollARowOutOfViewIntoView) {
    rows.sections[1] = QStringList();
    for (int i = 0; i < 20; ++i) rows.sections[1] << QString("Row %1").arg(i);
    table->reloadData();
    first()->setFocus();
    for (int i = 0; i < 21; ++i) press(Qt::Key_Down);
    EXPECT_EQ(focusedText(), "Row 19");
    auto* cell = qobject_cast<TableViewCell*>(QApplication::focusWidget());
    ASSERT_NE(cell, nullptr);
    const QRect shown(cell->mapTo(table.get(), QPoint(0, 0)), cell->size());
    EXPECT_TRUE(table->viewport()->geometry().contains(shown)) << "the focused row is in view";
}

TEST_F(TableKeyboardTest, AReloadKeepsTheFocusOnItsRow) {
    press(Qt::Key_Down);
    ASSERT_EQ(focusedText(), "Person");
    rows.sections[0][1] = "Anyone";
    table->reloadData();
    EXPECT_TRUE(QTest::qWaitFor([&] { return focusedText() == "Anyone"; })) << focusedText().toStdString();
    EXPECT_EQ(table->verticalScrollBar()->value(), 0);
}

TEST_F(TableKeyboardTest, EnterAndSpaceTapTheRow) {
    press(Qt::Key_Down);
    press(Qt::Key_Return);
    ASSERT_EQ(rows.selections.size(), 1u);
    EXPECT_EQ(rows.selections[0], (IndexPath{0, 1}));
    press(Qt::Key_Down);
    press(Qt::Key_Space);
    ASSERT_EQ(rows.selections.size(), 2u);
    EXPECT_EQ(rows.selections[1], (IndexPath{1, 0}));
}

TEST_F(TableKeyboardTest, DeleteOffersTheDeleteButtonAndEnterConfirmsIt) {
    press(Qt::Key_Delete);
    EXPECT_TRUE(first()->isShowingDeleteConfirmation()) << "asks first, as a swipe does";
    EXPECT_TRUE(rows.deletes.empty());
    press(Qt::Key_Escape);
    EXPECT_FALSE(first()->isShowingDeleteConfirmation()) << "Escape withdraws the offer";
    press(Qt::Key_Delete);
    press(Qt::Key_Return);
    ASSERT_EQ(rows.deletes.size(), 1u);
    EXPECT_EQ(rows.deletes[0], (IndexPath{0, 0}));
    EXPECT_TRUE(rows.selections.empty());
}

TEST(RowKeyboardTest, ReturnInARowsTextFieldIsTheFieldsNotTheRows) {
    TextFieldCell cell(TableViewCell::Style::Default);
    cell.show();
    cell.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&cell));
    QSignalSpy taps(&cell, &TableViewCell::tapped);
    QSignalSpy returns(&cell, &TextFieldCell::returnPressed);
    cell.becomeFirstResponder();
    QTest::keyClick(cell.textField(), Qt::Key_Return);
    EXPECT_EQ(returns.count(), 1);
    EXPECT_EQ(taps.count(), 0) << "a tap would select the row and open the field again";
    cell.setFocus();
    ASSERT_TRUE(cell.hasFocus());
    QTest::keyClick(&cell, Qt::Key_Return);
    EXPECT_EQ(taps.count(), 1);
}

TEST_F(TableKeyboardTest, TheFocusedRowShowsARing) {
    const QImage focused = first()->grab().toImage();
    table->cellForRowAtIndexPath({0, 1})->setFocus();
    const QImage unfocused = first()->grab().toImage();
    const QRgb ring = Theme::focusRingColor().rgb();
    auto hasRing = [ring](const QImage& image) {
        for (int x = 0; x < image.width(); ++x)
            for (int y : {3, 4})
                if ((image.pixel(x, y) & 0xffffff) == (ring & 0xffffff)) return true;
        return false;
    };
    EXPECT_TRUE(hasRing(focused));
    EXPECT_FALSE(hasRing(unfocused));
}

class WindowKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        root.setTitle("Main");
        details.setTitle("Details");
        window.setRootViewController(&root);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override { AlertView::setPresetAnswerForTesting(std::nullopt); }

    void pushDetails() {
        window.navigationController().pushViewController(&details, false);
        ASSERT_EQ(window.navigationController().topViewController(), &details);
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keyClick(target, key, modifiers);
    }

    ViewController root;
    ViewController details;
    PhoneWindow window;
};

TEST_F(WindowKeyboardTest, EscapeAndAltLeftGoBackAScreen) {
    pushDetails();
    press(Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.navigationController().topViewController() == &root; }));
    EXPECT_EQ(window.navigationController().topViewController(), &root);
    press(Qt::Key_Escape);
    EXPECT_EQ(window.navigationController().viewControllers().size(), 1) << "the first screen stays";

    pushDetails();
    press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.navigationController().topViewController() == &root; }));
    EXPECT_EQ(window.navigationController().topViewController(), &root);
}

TEST_F(WindowKeyboardTest, EscapeOnAScreenWithCancelCancels) {
    auto* cancel = new BarButtonItem(BarButtonItem::SystemItem::Cancel, &details);
    int cancelled = 0;
    QObject::connect(cancel, &BarButtonItem::clicked, [&cancelled] { ++cancelled; });
    details.navigationItem().setLeftBarButtonItem(cancel);
    details.navigationItem().setHidesBackButton(true);
    pushDetails();
    press(Qt::Key_Escape);
    EXPECT_EQ(cancelled, 1);
}

TEST_F(WindowKeyboardTest, AnAlertTakesEnterAndEscapeAndKeepsTheScreen) {
    pushDetails();
    RecordedAnswers answers;
    AlertView alert("Confirm Action", "Delete?", &answers, "Cancel", {"OK"});
    alert.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return alert.isVisible(); }));
    press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(window.navigationController().topViewController(), &details) << "Alt+Left waits for the answer";
    EXPECT_TRUE(answers.alert.empty());
    press(Qt::Key_Escape);
    ASSERT_EQ(answers.alert, std::vector<int>{alert.cancelButtonIndex()});
    EXPECT_EQ(window.navigationController().topViewController(), &details) << "Escape answered the alert only";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alert.isVisible(); }));
    alert.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return alert.isVisible(); }));
    press(Qt::Key_Return);
    ASSERT_EQ(answers.alert.size(), 2u);
    EXPECT_EQ(alert.buttonTitleAtIndex(answers.alert[1]), "OK");
}

TEST_F(WindowKeyboardTest, AnActionSheetIsWalkedWithArrowsAndAnswersEnterAndEscape) {
    RecordedAnswers answers;
    ActionSheet sheet("Message Type", &answers, "Cancel", QString(), {"Both", "Received", "Sent"});
    sheet.showInView(&root);
    press(Qt::Key_Return);
    ASSERT_EQ(answers.sheet.size(), 1u);
    EXPECT_EQ(sheet.buttonTitleAtIndex(answers.sheet[0]), "Both") << "the first button is the default";

    sheet.showInView(&root);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    press(Qt::Key_Return);
    ASSERT_EQ(answers.sheet.size(), 2u);
    EXPECT_EQ(sheet.buttonTitleAtIndex(answers.sheet[1]), "Sent");

    sheet.showInView(&root);
    press(Qt::Key_Escape);
    ASSERT_EQ(answers.sheet.size(), 3u);
    EXPECT_EQ(answers.sheet[2], sheet.cancelButtonIndex());
    EXPECT_EQ(window.navigationController().topViewController(), &root);
}

TEST_F(WindowKeyboardTest, BarButtonsAreReachedWithTabAndPressedWithEnter) {
    auto* email = new BarButtonItem("Email Data", BarButtonItem::Style::Plain, &details);
    int sent = 0;
    QObject::connect(email, &BarButtonItem::clicked, [&sent] { ++sent; });
    details.navigationItem().setRightBarButtonItem(email);
    pushDetails();
    NavigationBarButton* button = window.navigationController().navigationBar().rightButton();
    EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
    button->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    EXPECT_EQ(sent, 1);
    press(Qt::Key_Space);
    EXPECT_EQ(sent, 2);
}

TEST_F(WindowKeyboardTest, ReturnPressesAFocusedPushButton) {
    auto* chart = new QPushButton("Chart", &root);
    chart->show();
    int clicks = 0;
    QObject::connect(chart, &QPushButton::clicked, [&clicks] { ++clicks; });
    chart->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(clicks, 1);
}

TEST_F(WindowKeyboardTest, AScreenThatComesGetsTheKeyboard) {
    auto* field = new QPushButton("First", &details);
    field->show();
    pushDetails();
    EXPECT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }));
}

TEST(PickerKeyboardTest, ArrowsAndPagesTurnTheWheel) {
    PickerView picker;
    QStringList days;
    for (int day = 1; day <= 31; ++day) days << QString::number(day);
    picker.setRows(0, days);
    picker.setEnabledRowCount(0, 30);
    picker.show();
    std::vector<int> chosen;
    QObject::connect(&picker, &PickerView::didSelectRow, [&chosen](int row, int) { chosen.push_back(row); });
    QTest::keyClick(&picker, Qt::Key_Down);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.selectedRowInComponent(0) == 1; }));
    EXPECT_EQ(picker.selectedRowInComponent(0), 1);
    QTest::keyClick(&picker, Qt::Key_PageDown);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.selectedRowInComponent(0) == 6; }));
    EXPECT_EQ(picker.selectedRowInComponent(0), 6);
    QTest::keyClick(&picker, Qt::Key_PageUp);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.selectedRowInComponent(0) == 1; }));
    EXPECT_EQ(picker.selectedRowInComponent(0), 1);
    QTest::keyClick(&picker, Qt::Key_End);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.selectedRowInComponent(0) == 29; })) << "the last enabled row";
    EXPECT_EQ(picker.selectedRowInComponent(0), 29);
    QTest::keyClick(&picker, Qt::Key_Home);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.selectedRowInComponent(0) == 0; }));
    EXPECT_EQ(picker.selectedRowInComponent(0), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !chosen.empty(); }));
    EXPECT_EQ(chosen.back(), 0);
}

class Messages : public TableViewDataSource, public TableViewDelegate {
public:
    QStringList texts{"First", "Second", "Third"};
    std::vector<int> taps;
    std::vector<int> deletes;
    int numberOfRowsInSection(TableView&, int) override { return int(texts.size()); }
    void describeRowAtIndexPath(TableView&, const IndexPath& indexPath, TableViewRow& content) override {
        content.text = texts.value(indexPath.row);
    }
    bool canEditRowAtIndexPath(TableView&, const IndexPath&) override { return true; }
    void commitEditingStyle(TableView&, EditingStyle style, const IndexPath& indexPath) override {
        if (style == EditingStyle::Delete) deletes.push_back(indexPath.row);
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) override { taps.push_back(indexPath.row); }
};

TEST(ListKeyboardTest, ArrowsMoveEnterTapsAndDeleteAsks) {
    Messages messages;
    TableView list;
    list.setDrawsRows(true);
    list.resize(Theme::windowWidth, 300);
    list.setDataSource(&messages);
    list.setDelegate(&messages);
    list.show();
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    // The table hands the keyboard to its rows.
    list.setFocus();
    QWidget* keys = list.focusProxy();
    ASSERT_NE(keys, nullptr);
    QTest::keyClick(keys, Qt::Key_Home);
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.indexPathForFocusedRow().has_value(); }));
    EXPECT_EQ(list.indexPathForFocusedRow(), (IndexPath{0, 0}));
    QTest::keyClick(keys, Qt::Key_Down);
    QTest::keyClick(keys, Qt::Key_Return);
    EXPECT_EQ(messages.taps, std::vector<int>{1});
    QTest::keyClick(keys, Qt::Key_Delete);
    EXPECT_EQ(messages.deletes, std::vector<int>{1}) << "the data source asks the user, as after a swipe";
    EXPECT_EQ(list.numberOfRowsInSection(0), 3);
}

}  // namespace
