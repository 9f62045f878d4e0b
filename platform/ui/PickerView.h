#pragma once

#include "platform/ui/AccessibleParts.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <vector>

class QVariantAnimation;

// The phone's spinning picker: one or more wheels of text rows side by side
// in a dark frame, drawn as cylinders whose rows shrink and fade towards the
// top and bottom, with a glass bar marking the chosen row. A wheel turns by
// dragging (it keeps some speed when let go), by the mouse wheel, by a tap on
// a row above or below the bar, or by the arrow keys, and always comes to
// rest on a row (Up and Down a row, Page Up and Page Down five, Home and
// End to either end; Left and Right pick the wheel). Rows past a wheel's enabled count are greyed out, and a
// wheel stopping on one rolls back to the last enabled row.
class PickerView : public QWidget, public AccessibleParts {
    Q_OBJECT
public:
    explicit PickerView(QWidget* parent = nullptr);
    ~PickerView() override;

    void setNumberOfComponents(int count);
    int numberOfComponents() const { return int(components_.size()); }
    void setRows(int component, const QStringList& titles);
    int numberOfRowsInComponent(int component) const;
    QString titleForRow(int row, int component) const;
    // Shares of the width; by default every wheel gets an equal share.
    void setComponentWidths(const QList<int>& widths);
    void setComponentAlignment(int component, Qt::Alignment alignment);
    void setEnabledRowCount(int component, int count);
    int enabledRowCount(int component) const;

    // Sets the chosen row without announcing it, as a screen restoring a
    // choice.
    void selectRow(int row, int component, bool animated);
    int selectedRowInComponent(int component) const;
    // The wheel's area and the chosen-row bar, in the widget's coordinates.
    QRect rectForComponent(int component) const;
    QRect selectionBarRect() const;

    QSize sizeHint() const override;

    // What a screen reader calls a wheel ("Month"); by default the picker's
    // own accessible name.
    void setComponentAccessibleName(int component, const QString& name);
    // The number a screen reader gives for the wheel's first row; each row
    // after it counts one more (a day wheel starts at 1, a year wheel at its
    // first year). By default 1: the row's place on the wheel.
    void setComponentFirstValue(int component, int value);
    // Each wheel is a spin button whose text is the row at the bar and
    // whose value is that row's number, from the first row to the last
    // enabled one; a screen reader turns it or sets the number.
    QAccessible::Role accessibleRole() const override { return QAccessible::Grouping; }
    QList<Part> accessibleParts() const override;
    void triggerAccessiblePart(int index, const QString& action) override;
    void setAccessiblePartValue(int index, double value) override;

signals:
    // The user brought a wheel to rest on another row.
    void didSelectRow(int row, int component);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A picker that comes up takes the keyboard, as it takes the finger.
    void showEvent(QShowEvent* event) override;

private:
    struct Component {
        QStringList rows;
        double position = 0;  // the row at the bar, fractional while turning
        int selected = 0;
        int enabledCount = -1;  // -1: all rows
        int widthShare = 1;
        Qt::Alignment alignment = Qt::AlignHCenter;
        QVariantAnimation* animation = nullptr;
        QString accessibleName;
        int firstValue = 1;
    };

    QRect wellRect() const;
    int componentAt(const QPoint& position) const;
    int lastEnabledRow(const Component& component) const;
    int clampRow(const Component& component, int row) const;
    void settle(int component, int row, bool announce);
    void finishSettling(int component, bool announce);
    void tellValue(int component);
    double rowOffsetAt(int y) const;
    void paintWheel(QPainter& painter, const Component& component, const QRect& area) const;
    void paintFrame(QPainter& painter) const;
    void paintSelectionBar(QPainter& painter) const;
    void paintFocusRing(QPainter& painter) const;
    // Turns the wheel with the keyboard's focus by `rows`.
    void turnFocusedWheel(int rows);

    std::vector<Component> components_;
    int focusComponent_ = 0;
    // The drag in progress.
    int dragComponent_ = -1;
    int pressY_ = 0;
    double pressPosition_ = 0;
    bool dragged_ = false;
    double velocity_ = 0;  // rows per second
    double lastPosition_ = 0;
    qint64 lastMoveMs_ = 0;  // on the kit's clock: the press, then the latest move
    int wheelRemainder_ = 0;
};
