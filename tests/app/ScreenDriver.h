#pragma once

// Drives the app's screens as a user would, through their real widgets:
// taps on table rows, editing controls and bar buttons, turns of picker
// wheels, typing into text fields. Every step waits until the navigation
// stack's slides and the wheels' settling have ended.
#include "AppHarness.h"

#include "platform/ui/CellPainter.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QWheelEvent>

#include <QDateTime>

class ScreenDriver {
public:
    explicit ScreenDriver(AppHarness& app) : app_(app) {}

    // The screen on top, once any slide has ended; null when it is not a T.
    template <typename T>
    T* top() {
        settle();
        return dynamic_cast<T*>(app_.navigation().topViewController());
    }

    void settle() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !app_.navigation().isAnimating(); }, 2000))
            << "a slide never ended";
        EXPECT_TRUE(uiwait::settle()) << "a fade never ended";
        app_.waitForCounts();
    }

    TableViewCell* cell(TableView& table, IndexPath indexPath) {
        table.scrollToRowAtIndexPath(indexPath, TableView::ScrollPosition::Middle, false);
        TableViewCell* found = table.cellForRowAtIndexPath(indexPath);
        EXPECT_NE(found, nullptr) << "row " << indexPath.section << "," << indexPath.row;
        return found;
    }
    QString text(TableView& table, IndexPath indexPath) {
        TableViewCell* c = cell(table, indexPath);
        return c ? c->textLabel()->text() : QString();
    }
    QString detail(TableView& table, IndexPath indexPath) {
        TableViewCell* c = cell(table, indexPath);
        return c ? c->detailTextLabel()->text() : QString();
    }

    // A tap in the middle of the row's white part, right of any editing
    // control.
    void tapRow(TableView& table, IndexPath indexPath) {
        if (TableViewCell* c = cell(table, indexPath))
            QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(120, c->height() / 2));
        settle();
    }
    void tapEditingControl(TableView& table, IndexPath indexPath) {
        TableViewCell* c = cell(table, indexPath);
        if (!c) return;
        QTest::mouseClick(c, Qt::LeftButton, {},
                          QPoint(inset(table) + Theme::editingControlWidth / 2, c->height() / 2));
        settle();
    }
    void tapDeleteButton(TableView& table, IndexPath indexPath) {
        TableViewCell* c = cell(table, indexPath);
        if (!c) return;
        const QRect white = c->rect().adjusted(inset(table), 0, -inset(table), 0);
        QTest::mouseClick(c, Qt::LeftButton, {}, CellPainter::deleteButtonRect(white).center().toPoint());
        settle();
    }

    NavigationBar& bar() { return app_.navigation().navigationBar(); }
    void tap(QWidget* widget) {
        ASSERT_NE(widget, nullptr);
        ASSERT_TRUE(widget->isVisible());
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        settle();
    }
    void tapBack() { tap(bar().backButton()); }
    void tapRight() { tap(bar().rightButton()); }
    void tapLeft() { tap(bar().leftButton()); }

    // Turns one wheel by `rows` (down the list for positive values) with the
    // mouse wheel, and waits until it has come to rest.
    void spin(PickerView& picker, int component, int rows) {
        if (rows == 0) return;
        QSignalSpy rested(&picker, &PickerView::didSelectRow);
        const QPointF at = picker.rectForComponent(component).center();
        QWheelEvent wheel(at, picker.mapToGlobal(at), QPoint(), QPoint(0, -120 * rows), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&picker, &wheel);
        EXPECT_TRUE(rested.count() > 0 || rested.wait(2000)) << "the wheel never came to rest";
        EXPECT_TRUE(uiwait::settle()) << "a wheel never came to rest";
    }
    // Turns the wheel to `row`.
    void spinTo(PickerView& picker, int component, int row) {
        spin(picker, component, row - picker.selectedRowInComponent(component));
    }

    void type(QLineEdit* field, const QString& text, bool clearFirst = true) {
        if (clearFirst) field->clear();
        QTest::keyClicks(field, text);
    }
    void pressReturn(QLineEdit* field) {
        QTest::keyClick(field, Qt::Key_Return);
        settle();
    }

private:
    static int inset(const TableView& table) {
        return table.tableStyle() == TableView::Style::Grouped ? Theme::groupInset : 0;
    }

    AppHarness& app_;
};
