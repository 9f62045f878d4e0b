#include "platform/ui/ButtonOverlay.h"

#include <QAccessibleActionInterface>
#include <QMouseEvent>

#include <utility>

ButtonOverlay::ButtonOverlay(QWidget* over) : ModalOverlay(over) {}

void ButtonOverlay::setButtons(const QStringList& buttons, int cancelIndex) {
    buttons_ = buttons;
    cancelIndex_ = cancelIndex;
}

void ButtonOverlay::releasePress() {
    pressed_ = -1;
    update();
}

int ButtonOverlay::buttonAt(const QPointF& position) const {
    const QList<QRectF> rects = buttonRects();
    for (int index = 0; index < rects.size(); ++index)
        if (rects[index].contains(position)) return index;
    return -1;
}

AccessibleParts::Part ButtonOverlay::buttonPart(int index, const QRectF& rect) const {
    Part button;
    button.role = QAccessible::Button;
    button.name = buttons_.value(index);
    button.rect = rect.toAlignedRect();
    button.pressable = true;
    return button;
}

int ButtonOverlay::buttonOfPart(int part) const { return part >= 0 && part < buttons_.size() ? part : -1; }

void ButtonOverlay::triggerAccessiblePart(int index, const QString& action) {
    const int button = buttonOfPart(index);
    if (action == QAccessibleActionInterface::pressAction() && button >= 0) emit buttonClicked(button);
}

void ButtonOverlay::tappedOffButtons(const QPointF&) {}

void ButtonOverlay::mousePressEvent(QMouseEvent* event) {
    event->accept();
    pressed_ = buttonAt(event->position());
    update();
}

void ButtonOverlay::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const int pressed = std::exchange(pressed_, -1);
    update();
    if (pressed >= 0) {
        if (pressed == buttonAt(event->position())) emit buttonClicked(pressed);
    } else {
        tappedOffButtons(event->position());
    }
}
