#include "platform/ui/PickerView.h"

#include "platform/ui/KitTiming.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ValueAnimation.h"

#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QMouseEvent>
#include <QShowEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kFrameMargin = 9;
constexpr int kWheelGap = 4;
constexpr int kRowHeight = Theme::pickerRowHeight;
constexpr int kSettleMs = 250;
constexpr int kTapSlop = 6;
// How far a let-go wheel keeps turning: its speed times this many seconds.
constexpr double kCoastSeconds = 0.25;
constexpr double kHalfPi = std::numbers::pi / 2;

QFont rowFont() { return Theme::boldSystemFont(20); }

}  // namespace

PickerView::PickerView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    resize(sizeHint());
    setNumberOfComponents(1);
}

PickerView::~PickerView() = default;

QSize PickerView::sizeHint() const { return QSize(Theme::windowWidth, Theme::pickerHeight); }

void PickerView::setNumberOfComponents(int count) {
    const size_t previous = components_.size();
    components_.resize(size_t(qMax(0, count)));
    for (size_t index = previous; index < components_.size(); ++index) {
        auto* animation = new ValueAnimation(this, kSettleMs, [this, index](qreal value) {
            if (index < components_.size()) {
                components_[index].position = value;
                update();
            }
        });
        animation->setEasingCurve(QEasingCurve::OutCubic);
        components_[index].animation = animation;
    }
    update();
}

void PickerView::setRows(int component, const QStringList& titles) {
    if (component < 0 || component >= numberOfComponents()) return;
    Component& c = components_[size_t(component)];
    c.rows = titles;
    c.selected = std::clamp(c.selected, 0, qMax(0, int(titles.size()) - 1));
    c.position = c.selected;
    update();
}

int PickerView::numberOfRowsInComponent(int component) const {
    return component >= 0 && component < numberOfComponents() ? int(components_[size_t(component)].rows.size()) : 0;
}

QString PickerView::titleForRow(int row, int component) const {
    return component >= 0 && component < numberOfComponents() ? components_[size_t(component)].rows.value(row)
                                                              : QString();
}

void PickerView::setComponentWidths(const QList<int>& widths) {
    for (int index = 0; index < numberOfComponents() && index < widths.size(); ++index)
        components_[size_t(index)].widthShare = qMax(1, widths[index]);
    update();
}

void PickerView::setComponentAlignment(int component, Qt::Alignment alignment) {
    if (component >= 0 && component < numberOfComponents()) components_[size_t(component)].alignment = alignment;
    update();
}

void PickerView::setEnabledRowCount(int component, int count) {
    if (component < 0 || component >= numberOfComponents()) return;
    components_[size_t(component)].enabledCount = count;
    update();
}

int PickerView::enabledRowCount(int component) const {
    if (component < 0 || component >= numberOfComponents()) return 0;
    const Component& c = components_[size_t(component)];
    return c.enabledCount < 0 ? int(c.rows.size()) : c.enabledCount;
}

void PickerView::selectRow(int row, int component, bool animated) {
    if (component < 0 || component >= numberOfComponents()) return;
    Component& c = components_[size_t(component)];
    c.selected = std::clamp(row, 0, qMax(0, int(c.rows.size()) - 1));
    c.animation->stop();
    if (animated && isVisible()) {
        c.animation->setStartValue(c.position);
        c.animation->setEndValue(double(c.selected));
        c.animation->start();
    } else {
        c.position = c.selected;
    }
    update();
}

int PickerView::selectedRowInComponent(int component) const {
    return component >= 0 && component < numberOfComponents() ? components_[size_t(component)].selected : -1;
}

QRect PickerView::wellRect() const { return rect().adjusted(kFrameMargin, kFrameMargin, -kFrameMargin, -kFrameMargin); }

QRect PickerView::rectForComponent(int component) const {
    const QRect well = wellRect();
    int totalShares = 0;
    for (const Component& c : components_) totalShares += c.widthShare;
    const int usable = well.width() - kWheelGap * qMax(0, numberOfComponents() - 1);
    int x = well.left();
    for (int index = 0; index < numberOfComponents(); ++index) {
        const bool last = index == numberOfComponents() - 1;
        const int width =
            last ? well.right() + 1 - x : usable * components_[size_t(index)].widthShare / qMax(1, totalShares);
        if (index == component) return QRect(x, well.top(), width, well.height());
        x += width + kWheelGap;
    }
    return QRect();
}

QRect PickerView::selectionBarRect() const {
    const QRect well = wellRect();
    return QRect(well.left() - 3, well.center().y() - kRowHeight / 2, well.width() + 6, kRowHeight);
}

int PickerView::componentAt(const QPoint& position) const {
    for (int index = 0; index < numberOfComponents(); ++index)
        if (rectForComponent(index).adjusted(-kWheelGap / 2, 0, kWheelGap / 2, 0).contains(position)) return index;
    return -1;
}

int PickerView::lastEnabledRow(const Component& component) const {
    const int enabled = component.enabledCount < 0 ? int(component.rows.size()) : component.enabledCount;
    return qMax(0, qMin(enabled, int(component.rows.size())) - 1);
}

int PickerView::clampRow(const Component& component, int row) const {
    return std::clamp(row, 0, qMax(0, int(component.rows.size()) - 1));
}

void PickerView::settle(int component, int row, bool announce) {
    Component& c = components_[size_t(component)];
    const int target = clampRow(c, row);
    c.animation->stop();
    disconnect(c.animation, &QVariantAnimation::finished, this, nullptr);
    c.animation->setStartValue(c.position);
    c.animation->setEndValue(double(target));
    c.selected = target;
    connect(c.animation, &QVariantAnimation::finished, this,
            [this, component, announce] { finishSettling(component, announce); });
    if (!isVisible()) {
        c.position = target;
        finishSettling(component, announce);
        return;
    }
    c.animation->start();
}

void PickerView::finishSettling(int component, bool announce) {
    Component& c = components_[size_t(component)];
    disconnect(c.animation, &QVariantAnimation::finished, this, nullptr);
    c.position = c.selected;
    // A greyed-out row does not hold the wheel: it rolls back.
    if (c.selected > lastEnabledRow(c)) {
        settle(component, lastEnabledRow(c), announce);
        return;
    }
    update();
    tellValue(component);
    if (announce) emit didSelectRow(c.selected, component);
}

void PickerView::tellValue(int component) {
    // A screen reader speaks the wheel's new value as it comes to rest.
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* picker = QAccessible::queryAccessibleInterface(this);
    // The wheels follow the picker's child widgets, if any.
    QAccessibleInterface* wheel =
        picker ? picker->child(picker->childCount() - numberOfComponents() + component) : nullptr;
    if (!wheel || !wheel->valueInterface()) return;
    QAccessibleValueChangeEvent event(wheel, wheel->valueInterface()->currentValue());
    QAccessible::updateAccessibility(&event);
}

double PickerView::rowOffsetAt(int y) const {
    // Inverse of the cylinder projection used for painting.
    const QRect well = wellRect();
    const double radius = well.height() / 2.0;
    const double sine = std::clamp((y - well.center().y()) / radius, -1.0, 1.0);
    return std::asin(sine) * radius / kRowHeight;
}

void PickerView::mousePressEvent(QMouseEvent* event) {
    dragComponent_ = componentAt(event->position().toPoint());
    if (dragComponent_ < 0 || event->button() != Qt::LeftButton) return;
    Component& c = components_[size_t(dragComponent_)];
    c.animation->stop();
    disconnect(c.animation, &QVariantAnimation::finished, this, nullptr);
    focusComponent_ = dragComponent_;
    pressY_ = int(event->position().y());
    pressPosition_ = c.position;
    dragged_ = false;
    velocity_ = 0;
    lastPosition_ = c.position;
    lastMoveMs_ = KitTiming::nowMs();
}

void PickerView::mouseMoveEvent(QMouseEvent* event) {
    if (dragComponent_ < 0) return;
    Component& c = components_[size_t(dragComponent_)];
    const int dy = int(event->position().y()) - pressY_;
    if (!dragged_ && qAbs(dy) <= kTapSlop) return;
    dragged_ = true;
    // Dragging down brings earlier rows to the bar.
    const double last = std::max(0.0, double(c.rows.size()) - 1);
    c.position = std::clamp(pressPosition_ - double(dy) / kRowHeight, -0.4, last + 0.4);
    const qint64 now = KitTiming::nowMs();
    if (now > lastMoveMs_) {
        velocity_ = (c.position - lastPosition_) * 1000.0 / double(now - lastMoveMs_);
        lastPosition_ = c.position;
        lastMoveMs_ = now;
    }
    update();
}

void PickerView::mouseReleaseEvent(QMouseEvent* event) {
    const int component = std::exchange(dragComponent_, -1);
    if (component < 0) return;
    const Component& c = components_[size_t(component)];
    int target;
    if (dragged_) {
        // A quick flick coasts on; a slow release stops where it is.
        const bool stillMoving = KitTiming::nowMs() - lastMoveMs_ < 100;
        target = int(std::lround(c.position + (stillMoving ? velocity_ * kCoastSeconds : 0.0)));
    } else {
        target = c.selected + int(std::lround(rowOffsetAt(int(event->position().y()))));
    }
    settle(component, target, true);
}

void PickerView::wheelEvent(QWheelEvent* event) {
    const int component = componentAt(event->position().toPoint());
    if (component < 0) return;
    // One notch of the mouse wheel turns the picker by one row.
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / 120;
    wheelRemainder_ -= steps * 120;
    if (steps == 0) return;
    focusComponent_ = component;
    settle(component, components_[size_t(component)].selected - steps, true);
    event->accept();
}

void PickerView::keyPressEvent(QKeyEvent* event) {
    if (numberOfComponents() == 0) return;
    focusComponent_ = std::clamp(focusComponent_, 0, numberOfComponents() - 1);
    if (event->modifiers() & ~Qt::KeypadModifier) {
        // Alt+Left and the like belong to the window.
        QWidget::keyPressEvent(event);
        return;
    }
    constexpr int kPageRows = 5;
    const int rows = numberOfRowsInComponent(focusComponent_);
    switch (event->key()) {
    case Qt::Key_Up: turnFocusedWheel(-1); return;
    case Qt::Key_Down: turnFocusedWheel(1); return;
    case Qt::Key_PageUp: turnFocusedWheel(-kPageRows); return;
    case Qt::Key_PageDown: turnFocusedWheel(kPageRows); return;
    case Qt::Key_Home: turnFocusedWheel(-rows); return;
    case Qt::Key_End: turnFocusedWheel(rows); return;
    case Qt::Key_Left:
        focusComponent_ = qMax(0, focusComponent_ - 1);
        update();
        return;
    case Qt::Key_Right:
        focusComponent_ = qMin(numberOfComponents() - 1, focusComponent_ + 1);
        update();
        return;
    default: QWidget::keyPressEvent(event);
    }
}

void PickerView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && isActiveWindow()) setFocus(Qt::OtherFocusReason);
}

void PickerView::turnFocusedWheel(int rows) {
    const Component& c = components_[size_t(focusComponent_)];
    const int target = clampRow(c, c.selected + rows);
    if (target != c.selected) settle(focusComponent_, target, true);
}

void PickerView::setComponentAccessibleName(int component, const QString& name) {
    if (component >= 0 && component < numberOfComponents()) components_[size_t(component)].accessibleName = name;
}

void PickerView::setComponentFirstValue(int component, int value) {
    if (component >= 0 && component < numberOfComponents()) components_[size_t(component)].firstValue = value;
}

QList<AccessibleParts::Part> PickerView::accessibleParts() const {
    QList<Part> parts;
    for (int index = 0; index < numberOfComponents(); ++index) {
        const Component& c = components_[size_t(index)];
        Part wheel;
        wheel.role = QAccessible::SpinBox;
        wheel.name = !c.accessibleName.isEmpty()   ? c.accessibleName
                     : !accessibleName().isEmpty() ? accessibleName()
                                                   : tr("Picker");
        wheel.value = c.rows.value(c.selected);
        // The row's words as well as its number ("February", not only 2),
        // for bridges that carry no value text.
        wheel.description = wheel.value;
        wheel.range =
            Range{double(c.firstValue + c.selected), double(c.firstValue), double(c.firstValue + lastEnabledRow(c)), 1};
        wheel.rect = rectForComponent(index);
        wheel.adjustable = true;
        wheel.focused = hasFocus() && index == focusComponent_;
        parts.append(wheel);
    }
    return parts;
}

void PickerView::triggerAccessiblePart(int index, const QString& action) {
    if (index < 0 || index >= numberOfComponents()) return;
    focusComponent_ = index;
    if (action == QAccessibleActionInterface::increaseAction())
        turnFocusedWheel(1);
    else if (action == QAccessibleActionInterface::decreaseAction())
        turnFocusedWheel(-1);
}

void PickerView::setAccessiblePartValue(int index, double value) {
    if (index < 0 || index >= numberOfComponents() || !std::isfinite(value)) return;
    focusComponent_ = index;
    const Component& c = components_[size_t(index)];
    const double row = std::clamp(std::round(value) - c.firstValue, 0.0, double(qMax(0, int(c.rows.size()) - 1)));
    const int target = clampRow(c, int(row));
    if (target != c.selected) settle(index, target, true);
}

void PickerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintFrame(painter);
    for (int index = 0; index < numberOfComponents(); ++index)
        paintWheel(painter, components_[size_t(index)], rectForComponent(index));
    paintSelectionBar(painter);
    paintFocusRing(painter);
}

void PickerView::paintFocusRing(QPainter& painter) const {
    if (!hasFocus() || numberOfComponents() == 0) return;
    painter.setPen(QPen(Theme::focusRingColor(), 2));
    painter.setBrush(Qt::NoBrush);
    const int component = std::clamp(focusComponent_, 0, numberOfComponents() - 1);
    painter.drawRoundedRect(QRectF(rectForComponent(component)).adjusted(1, 1, -1, -1), 4, 4);
}

void PickerView::paintFrame(QPainter& painter) const {
    QLinearGradient frame(rect().topLeft(), rect().bottomLeft());
    frame.setColorAt(0, QColor(72, 74, 86));
    frame.setColorAt(0.5, QColor(36, 38, 48));
    frame.setColorAt(1, QColor(20, 20, 28));
    painter.fillRect(rect(), frame);
    painter.fillRect(QRect(0, 0, width(), 1), QColor(120, 124, 140));
    // The dark well the wheels turn in.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(12, 12, 18));
    painter.drawRoundedRect(QRectF(wellRect()).adjusted(-2, -2, 2, 2), 6, 6);
}

void PickerView::paintWheel(QPainter& painter, const Component& component, const QRect& area) const {
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(QRectF(area), 3, 3);
    painter.setClipPath(clip);
    painter.fillRect(area, Qt::white);

    const double radius = area.height() / 2.0;
    const double centreY = area.center().y() + 0.5;
    const QFont font = rowFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    const int first = int(std::floor(component.position - radius * kHalfPi / kRowHeight));
    const int last = int(std::ceil(component.position + radius * kHalfPi / kRowHeight));
    const int enabled = lastEnabledRow(component);
    for (int row = qMax(0, first); row <= qMin(int(component.rows.size()) - 1, last); ++row) {
        // Rows lie on a cylinder: the farther from the bar, the flatter.
        const double angle = (row - component.position) * kRowHeight / radius;
        if (std::abs(angle) >= kHalfPi) continue;
        const double y = centreY + radius * std::sin(angle);
        const double squash = std::cos(angle);
        painter.save();
        painter.translate(area.left(), y);
        painter.scale(1.0, squash);
        painter.setPen(row > enabled ? Theme::disabledRowTextColor() : Theme::textColor());
        const QRectF textBox(14, -kRowHeight / 2.0, area.width() - 28, kRowHeight);
        painter.drawText(textBox, int(component.alignment | Qt::AlignVCenter),
                         metrics.elidedText(component.rows[row], Qt::ElideRight, textBox.width()));
        painter.restore();
    }
    // Shade towards the top and bottom, and a little at the sides, so the
    // wheel reads as round.
    QLinearGradient shade(area.topLeft(), area.bottomLeft());
    shade.setColorAt(0, QColor(0, 0, 0, 190));
    shade.setColorAt(0.3, QColor(0, 0, 0, 30));
    shade.setColorAt(0.5, QColor(0, 0, 0, 0));
    shade.setColorAt(0.7, QColor(0, 0, 0, 30));
    shade.setColorAt(1, QColor(0, 0, 0, 190));
    painter.fillRect(area, shade);
    QLinearGradient sides(area.topLeft(), area.topRight());
    sides.setColorAt(0, QColor(0, 0, 0, 60));
    sides.setColorAt(0.08, QColor(0, 0, 0, 0));
    sides.setColorAt(0.92, QColor(0, 0, 0, 0));
    sides.setColorAt(1, QColor(0, 0, 0, 60));
    painter.fillRect(area, sides);
    painter.restore();
}

void PickerView::paintSelectionBar(QPainter& painter) const {
    const QRectF bar = QRectF(selectionBarRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient glass(bar.topLeft(), bar.bottomLeft());
    glass.setColorAt(0, QColor(222, 228, 245, 120));
    glass.setColorAt(0.5, QColor(170, 182, 215, 100));
    glass.setColorAt(0.51, QColor(130, 146, 190, 110));
    glass.setColorAt(1, QColor(150, 166, 210, 120));
    painter.setPen(QPen(QColor(70, 78, 100, 220), 1));
    painter.setBrush(glass);
    painter.drawRoundedRect(bar, 3, 3);
    painter.setPen(QPen(QColor(255, 255, 255, 140), 1));
    painter.drawLine(QPointF(bar.left() + 3, bar.top() + 1), QPointF(bar.right() - 3, bar.top() + 1));
}
