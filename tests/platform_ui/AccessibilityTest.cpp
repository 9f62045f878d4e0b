// What assistive technology sees of the kit's parts, through the same
// QAccessible interfaces the desktop's accessibility bridge reads.
#include "RecordedAnswers.h"
#include "UiTestSupport.h"

#include "platform/ui/ActionSheet.h"
#include "platform/ui/ActionSheetDelegate.h"
#include "platform/ui/AccessibleTableCell.h"
#include "platform/ui/ActionSheetOverlay.h"
#include "platform/ui/AlertOverlay.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/KitAccessibility.h"
#include "platform/ui/Label.h"
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

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QLineEdit>
#include <QSignalSpy>

#include <memory>
#include <vector>

namespace {

QAccessibleInterface* accessibleOf(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

// The children of an interface with this role, by name.
QStringList childNames(QAccessibleInterface* parent, QAccessible::Role role) {
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i)
        if (QAccessibleInterface* child = parent->child(i); child && child->role() == role)
            names << child->text(QAccessible::Name);
    return names;
}

QAccessibleInterface* childNamed(QAccessibleInterface* parent, const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (QAccessibleInterface* child = parent->child(i); child && child->text(QAccessible::Name) == name)
            return child;
    return nullptr;
}

void press(QAccessibleInterface* element) {
    ASSERT_NE(element, nullptr);
    ASSERT_NE(element->actionInterface(), nullptr);
    element->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

// A grouped table of main-screen-like rows: a caption and a value in
// labels of the screen's own, an arrow label on the tappable ones.
class CountingRows : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<IndexPath> selections;
    bool checkFirst = false;

    int numberOfSectionsInTableView(TableView&) override { return 2; }
    int numberOfRowsInSection(TableView&, int section) override { return section == 0 ? 2 : 1; }
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override {
        auto* cell = new TableViewCell(TableViewCell::Style::Default, QString(), table.contentView());
        const bool total = indexPath.section == 0 && indexPath.row == 0;
        const QString caption = indexPath.section == 1 ? "Person" : total ? "Total Messages" : "Messages Left";
        new Label(caption, QRect(20, 10, 150, 20), Theme::boldSystemFont(14), cell->contentView());
        new Label(total ? "92" : "8", QRect(150, 10, 120, 20), Theme::systemFont(14), cell->contentView());
        if (total || indexPath.section == 1)
            new Label(">", QRect(278, 10, 10, 20), Theme::systemFont(12), cell->contentView());
        else
            cell->setSelectionStyle(TableViewCell::SelectionStyle::None);
        if (checkFirst && total) cell->setAccessoryType(TableViewCell::Accessory::Checkmark);
        return cell;
    }
    QString titleForHeaderInSection(TableView&, int section) override { return section == 1 ? "Filter By" : ""; }
    QString titleForFooterInSection(TableView&, int section) override {
        return section == 1 ? "Counts per period" : "";
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) override { selections.push_back(indexPath); }
};

class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override { KitAccessibility::install(); }
};

class AccessibleTableTest : public AccessibilityTest {
protected:
    void SetUp() override {
        AccessibilityTest::SetUp();
        table = std::make_unique<TableView>(TableView::Style::Grouped);
        table->resize(Theme::windowWidth, Theme::contentHeight);
        table->setDataSource(&rows);
        table->setDelegate(&rows);
        table->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(table.get()));
    }

    QAccessibleInterface* row(int section, int index) {
        TableViewCell* cell = table->cellForRowAtIndexPath({section, index});
        return cell ? accessibleOf(cell) : nullptr;
    }

    CountingRows rows;
    std::unique_ptr<TableView> table;
};

TEST_F(AccessibleTableTest, ARowIsOneButtonNamedByItsCaptionAndValue) {
    QAccessibleInterface* total = row(0, 0);
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->role(), QAccessible::Button);
    EXPECT_EQ(total->text(QAccessible::Name), "Total Messages: 92") << "the arrow label says nothing in words";
    EXPECT_EQ(total->childCount(), 0) << "its labels are not loose elements";
    EXPECT_TRUE(total->state().focusable);
    EXPECT_TRUE(total->state().selectable);
    EXPECT_FALSE(total->state().selected);

    press(total);
    ASSERT_EQ(rows.selections.size(), 1u);
    EXPECT_EQ(rows.selections[0], (IndexPath{0, 0}));
    EXPECT_TRUE(total->state().selected);
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 0})->hasFocus()) << "pressing a row puts the keyboard there too";
}

TEST_F(AccessibleTableTest, ARowThatDoesNothingIsTextWithoutAnAction) {
    QAccessibleInterface* left = row(0, 1);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->role(), QAccessible::StaticText);
    EXPECT_EQ(left->text(QAccessible::Name), "Messages Left: 8");
    EXPECT_FALSE(left->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
}

TEST_F(AccessibleTableTest, AChosenRowIsChecked) {
    rows.checkFirst = true;
    table->reloadData();
    QAccessibleInterface* total = row(0, 0);
    ASSERT_NE(total, nullptr);
    EXPECT_TRUE(total->state().checkable);
    EXPECT_TRUE(total->state().checked);
    EXPECT_FALSE(row(1, 0)->state().checked);
}

TEST_F(AccessibleTableTest, SectionTextsAreTextElementsOfTheTable) {
    QAccessibleInterface* content = accessibleOf(table->contentView());
    ASSERT_NE(content, nullptr);
    const QStringList texts = childNames(content, QAccessible::StaticText);
    EXPECT_TRUE(texts.contains("Filter By")) << texts.join("|").toStdString();
    EXPECT_TRUE(texts.contains("Counts per period")) << texts.join("|").toStdString();
    QAccessibleInterface* header = childNamed(content, "Filter By");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(content->indexOfChild(header), content->childCount() - 2);
    EXPECT_EQ(header->parent(), content);
    const QRect onScreen(table->contentView()->mapToGlobal(table->rectForHeaderInSection(1).topLeft()),
                         table->rectForHeaderInSection(1).size());
    EXPECT_EQ(header->rect(), onScreen);
    EXPECT_GE(childNames(content, QAccessible::Button).size(), 2) << "the rows are children too";
}

class AccessibleWindowTest : public AccessibilityTest {
protected:
    void SetUp() override {
        AccessibilityTest::SetUp();
        window = std::make_unique<PhoneWindow>();
        root = std::make_unique<ViewController>();
        root->setTitle("Main");
        details = std::make_unique<ViewController>();
        details->setTitle("Details");
        window->setRootViewController(root.get());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        AlertView::setPresetAnswerForTesting(std::nullopt);
        ActionSheet::setPresetAnswerForTesting(std::nullopt);
    }

    template <typename Overlay>
    Overlay* visibleOverlay() {
        for (Overlay* overlay : window->findChildren<Overlay*>())
            if (overlay->isVisible()) return overlay;
        return nullptr;
    }

    NavigationBar& bar() { return window->navigationController().navigationBar(); }

    std::unique_ptr<PhoneWindow> window;
    std::unique_ptr<ViewController> root;
    std::unique_ptr<ViewController> details;
};

TEST_F(AccessibleWindowTest, BarButtonsAreNamedByWhatTheyDo) {
    auto* gear = new BarButtonItem([](QPainter&, const QRectF&, bool) {}, QSize(30, 30), root.get());
    gear->setAccessibleName("Preferences");
    auto* info = new BarButtonItem(BarButtonItem::SystemItem::InfoLight, root.get());
    auto* email = new BarButtonItem("Email Data", BarButtonItem::Style::Plain, details.get());
    root->navigationItem().setLeftBarButtonItem(gear);
    root->navigationItem().setRightBarButtonItem(info);
    details->navigationItem().setRightBarButtonItem(email);
    window->navigationController().setRootViewController(root.get());

    QAccessibleInterface* left = accessibleOf(bar().leftButton());
    EXPECT_EQ(left->role(), QAccessible::Button);
    EXPECT_EQ(left->text(QAccessible::Name), "Preferences");
    EXPECT_EQ(accessibleOf(bar().rightButton())->text(QAccessible::Name), "Info") << "the picture's default name";

    window->navigationController().pushViewController(details.get(), false);
    QAccessibleInterface* back = accessibleOf(bar().backButton());
    EXPECT_EQ(back->text(QAccessible::Name), "Back");
    EXPECT_EQ(back->text(QAccessible::Description), "Main") << "where it leads";
    EXPECT_EQ(accessibleOf(bar().rightButton())->text(QAccessible::Name), "Email Data");

    press(back);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->navigationController().topViewController() == root.get(); }));
    EXPECT_EQ(window->navigationController().topViewController(), root.get());
}

TEST_F(AccessibleWindowTest, AnAlertIsADialogWithItsMessageAndButtons) {
    RecordedAnswers delegate;
    AlertView alert("Confirm Action", "Do you want to delete this SMS", &delegate, "Cancel", {"OK"});
    alert.show();
    AlertOverlay* overlay = visibleOverlay<AlertOverlay>();
    ASSERT_NE(overlay, nullptr);
    QAccessibleInterface* dialog = accessibleOf(overlay);
    EXPECT_EQ(dialog->role(), QAccessible::Dialog);
    EXPECT_EQ(dialog->text(QAccessible::Name), "Confirm Action");
    EXPECT_EQ(childNames(dialog, QAccessible::StaticText), QStringList{"Do you want to delete this SMS"});
    EXPECT_EQ(childNames(dialog, QAccessible::Button), (QStringList{"Cancel", "OK"}));
    QAccessibleInterface* ok = childNamed(dialog, "OK");
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->rect().intersects(QRect(overlay->mapToGlobal(QPoint(0, 0)), overlay->size())));

    press(ok);
    ASSERT_EQ(delegate.alert.size(), 1u);
    EXPECT_EQ(alert.buttonTitleAtIndex(delegate.alert[0]), "OK");
}

TEST_F(AccessibleWindowTest, AnActionSheetIsADialogOfButtons) {
    RecordedAnswers delegate;
    ActionSheet sheet("Message Type", &delegate, "Cancel", QString(), {"Both", "Received", "Sent"});
    sheet.showInView(root.get());
    auto* overlay = visibleOverlay<ActionSheetOverlay>();
    ASSERT_NE(overlay, nullptr);
    QAccessibleInterface* dialog = accessibleOf(overlay);
    EXPECT_EQ(dialog->role(), QAccessible::Dialog);
    EXPECT_EQ(dialog->text(QAccessible::Name), "Message Type");
    EXPECT_EQ(childNames(dialog, QAccessible::Button), (QStringList{"Both", "Received", "Sent", "Cancel"}));
    press(childNamed(dialog, "Sent"));
    ASSERT_EQ(delegate.sheet.size(), 1u);
    EXPECT_EQ(sheet.buttonTitleAtIndex(delegate.sheet[0]), "Sent");
}

TEST_F(AccessibleWindowTest, APictureOnlyLabelIsHidden) {
    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    auto* decoration = new QLabel(root.get());
    decoration->setPixmap(picture);
    auto* label = new Label("Version 1.0", QRect(0, 0, 100, 20), Theme::systemFont(12), root.get());
    auto* drawn = new Label(root.get());
    drawn->setPixmap(picture);
    for (QWidget* widget : std::initializer_list<QWidget*>{decoration, label, drawn}) widget->show();
    EXPECT_FALSE(accessibleOf(label)->state().invisible);
    EXPECT_TRUE(accessibleOf(drawn)->state().invisible);
    auto* marked = new QWidget(root.get());
    KitAccessibility::setDecorative(marked);
    EXPECT_TRUE(accessibleOf(marked)->state().invisible);
}

TEST_F(AccessibilityTest, EachWheelIsASpinButtonWithItsValue) {
    DatePicker picker;
    picker.setYearRange(2020, 2030);
    picker.setDate(QDate(2026, 3, 31));
    picker.show();
    QSignalSpy changes(&picker, &DatePicker::dateChanged);
    QAccessibleInterface* wheels = accessibleOf(&picker.pickerView());
    ASSERT_NE(wheels, nullptr);
    ASSERT_EQ(wheels->childCount(), 3);
    QAccessibleInterface* month = wheels->child(0);
    EXPECT_EQ(month->role(), QAccessible::SpinBox);
    EXPECT_EQ(month->text(QAccessible::Name), "Month");
    EXPECT_EQ(wheels->child(1)->text(QAccessible::Name), "Day");
    EXPECT_EQ(wheels->child(1)->text(QAccessible::Value), "31");
    EXPECT_EQ(wheels->child(2)->text(QAccessible::Value), "2026");
    const QString march = month->text(QAccessible::Value);
    EXPECT_FALSE(march.isEmpty());

    month->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.date() == QDate(2026, 4, 30); }));
    EXPECT_EQ(picker.date(), QDate(2026, 4, 30));
    EXPECT_NE(month->text(QAccessible::Value), march);
    EXPECT_TRUE(QTest::qWaitFor([&] { return wheels->child(1)->text(QAccessible::Value) == "30"; }))
        << "April has no 31st";
    EXPECT_EQ(wheels->child(1)->text(QAccessible::Value), QString("30"));
    EXPECT_FALSE(changes.isEmpty());
}

TEST_F(AccessibilityTest, APickerNamesItsWheelAfterItself) {
    PickerView picker;
    picker.setRows(0, {"1st", "2nd", "3rd"});
    picker.setAccessibleName("Billing day");
    picker.selectRow(1, 0, false);
    QAccessibleInterface* wheel = accessibleOf(&picker)->child(0);
    ASSERT_NE(wheel, nullptr);
    EXPECT_EQ(wheel->text(QAccessible::Name), "Billing day");
    EXPECT_EQ(wheel->text(QAccessible::Value), "2nd");
}

TEST_F(AccessibilityTest, EachWheelOffersItsNumberAsAValueAScreenReaderReadsAndSets) {
    DatePicker picker;
    picker.setYearRange(2020, 2030);
    picker.setDate(QDate(2026, 2, 10));
    picker.show();
    QAccessibleInterface* wheels = accessibleOf(&picker.pickerView());
    ASSERT_EQ(wheels->childCount(), 3);
    struct Expected {
        int current, minimum, maximum;
    };
    // February 2026 has 28 days: the day goes no further.
    const Expected expected[] = {{2, 1, 12}, {10, 1, 28}, {2026, 2020, 2030}};
    for (int i = 0; i < 3; ++i) {
        QAccessibleValueInterface* value = wheels->child(i)->valueInterface();
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(value->currentValue().toInt(), expected[i].current) << i;
        EXPECT_EQ(value->minimumValue().toInt(), expected[i].minimum) << i;
        EXPECT_EQ(value->maximumValue().toInt(), expected[i].maximum) << i;
        EXPECT_EQ(value->minimumStepSize().toInt(), 1) << i;
    }

    wheels->child(1)->valueInterface()->setCurrentValue(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.date() == QDate(2026, 2, 20); }))
        << picker.date().toString().toStdString();
    EXPECT_EQ(wheels->child(1)->text(QAccessible::Value), "20");
    wheels->child(2)->valueInterface()->setCurrentValue(2028.4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.date() == QDate(2028, 2, 20); }))
        << picker.date().toString().toStdString();
    // Past the last day of the month, and text that is no number: the wheel
    // stays in its range.
    wheels->child(1)->valueInterface()->setCurrentValue(31);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.date() == QDate(2028, 2, 29); }))
        << picker.date().toString().toStdString();
    wheels->child(1)->valueInterface()->setCurrentValue(QStringLiteral("soon"));
    wheels->child(0)->valueInterface()->setCurrentValue(-5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker.date() == QDate(2028, 1, 29); }))
        << picker.date().toString().toStdString();
    EXPECT_EQ(wheels->child(0)->valueInterface()->currentValue().toInt(), 1);
}

TEST_F(AccessibilityTest, AWheelCountsItsRowsFromOneUnlessToldOtherwise) {
    PickerView picker;
    picker.setRows(0, {"Both", "Incoming", "Outgoing"});
    picker.setEnabledRowCount(0, 2);
    picker.selectRow(1, 0, false);
    QAccessibleValueInterface* value = accessibleOf(&picker)->child(0)->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 2);
    EXPECT_EQ(value->minimumValue().toInt(), 1);
    EXPECT_EQ(value->maximumValue().toInt(), 2) << "a greyed-out row is out of reach";
    picker.setComponentFirstValue(0, 0);
    EXPECT_EQ(value->currentValue().toInt(), 1);
    EXPECT_EQ(value->maximumValue().toInt(), 1);
}

TEST_F(AccessibilityTest, ALineOfLabelsMadeOneElementIsReadAsOneLine) {
    QWidget content;
    auto* line = new QWidget(&content);
    KitAccessibility::setSingleElement(line, QAccessible::StaticText);
    line->setAccessibleName("Dec 2026: Incoming 45, Outgoing 58");
    new Label("Dec 2026", QRect(10, 0, 90, 30), Theme::boldSystemFont(12), line);
    new Label("45", QRect(100, 0, 100, 30), Theme::boldSystemFont(12), line);
    line->setGeometry(0, 0, 320, 30);
    content.show();
    QAccessibleInterface* element = accessibleOf(line);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->role(), QAccessible::StaticText);
    EXPECT_EQ(element->text(QAccessible::Name), "Dec 2026: Incoming 45, Outgoing 58");
    EXPECT_EQ(element->childCount(), 0) << "its labels are no elements of their own";
    const QPoint inside = line->mapToGlobal(QPoint(120, 15));
    EXPECT_EQ(element->childAt(inside.x(), inside.y()), nullptr);
    EXPECT_EQ(accessibleOf(&content)->childAt(inside.x(), inside.y()), element);
}

TEST_F(AccessibilityTest, ACaptionedFieldIsNamedDescribedAndLabelled) {
    TextFieldCell cell(TableViewCell::Style::Subtitle);
    cell.textLabel()->setText("SMS Quota");
    cell.textField()->setPlaceholderText("e.g 500");
    QAccessibleInterface* field = accessibleOf(cell.textField());
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->relations(QAccessible::Label).isEmpty());
    cell.setFieldCaption("SMS Quota", "0 or blank for unlimited");
    EXPECT_EQ(field->text(QAccessible::Name), "SMS Quota");
    EXPECT_EQ(field->text(QAccessible::Description), "0 or blank for unlimited") << "not the placeholder";
    const auto labels = field->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.first().first->text(QAccessible::Name), "SMS Quota");
    cell.setFieldCaption("Quota", "none");
    ASSERT_EQ(field->relations(QAccessible::Label).size(), 1) << "one caption, renamed";
    EXPECT_EQ(field->relations(QAccessible::Label).first().first->text(QAccessible::Name), "Quota");
    EXPECT_EQ(AccessibleTableCell::shownTexts(&cell), QStringList{"SMS Quota"}) << "the caption never shows";
}

class SpokenRows : public TableViewDataSource, public TableViewDelegate {
public:
    int numberOfRowsInSection(TableView&, int) override { return 2; }
    void describeRowAtIndexPath(TableView&, const IndexPath& indexPath, TableViewRow& content) override {
        const int row = indexPath.row;
        content.addLabel(QRect(30, 2, 150, 15), row == 0 ? "Anna" : "Bob", Theme::systemFont(12));
        content.addLabel(QRect(30, 16, 280, 15), "See you", Theme::systemFont(12));
        if (row == 0) content.accessibleText = "Received, Anna, 12:00, See you";
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath&) override {}
};

TEST_F(AccessibilityTest, ListRowsAreListItemsNamedByWhatTheySay) {
    SpokenRows rows;
    TableView list;
    list.setDrawsRows(true);
    list.resize(Theme::windowWidth, Theme::contentHeight);
    list.setDataSource(&rows);
    list.setDelegate(&rows);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QAccessibleInterface* accessible = accessibleOf(&list);
    ASSERT_NE(accessible, nullptr);
    QStringList items;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        for (int i = 0; i < node->childCount(); ++i) {
            QAccessibleInterface* child = node->child(i);
            if (!child) continue;
            if (child->role() == QAccessible::ListItem) items << child->text(QAccessible::Name);
            walk(child);
        }
    };
    walk(accessible);
    EXPECT_EQ(items, (QStringList{"Received, Anna, 12:00, See you", "Bob, See you"}));
}

}  // namespace
