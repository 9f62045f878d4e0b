#pragma once

#include "platform/ui/AccessibleParts.h"
#include "platform/ui/ModalOverlay.h"

#include <QList>
#include <QRectF>
#include <QStringList>

// What the alert and the action sheet have in common: a dialog of buttons
// numbered from 0, one of which may be the cancel button. A press lights
// the button under it; releasing over the same button picks it. A screen
// reader sees a dialog whose buttons it can press.
class ButtonOverlay : public ModalOverlay, public AccessibleParts {
    Q_OBJECT
public:
    explicit ButtonOverlay(QWidget* over);

    // Button rectangles by index, in the overlay's coordinates.
    virtual QList<QRectF> buttonRects() const = 0;

    QAccessible::Role accessibleRole() const override { return QAccessible::Dialog; }
    void triggerAccessiblePart(int index, const QString& action) override;

signals:
    void buttonClicked(int index);

protected:
    void setButtons(const QStringList& buttons, int cancelIndex);
    const QStringList& buttons() const { return buttons_; }
    // -1 when there is no cancel button.
    int cancelIndex() const { return cancelIndex_; }
    // The button being pressed, or -1.
    int pressedButton() const { return pressed_; }
    void releasePress();

    int buttonAt(const QPointF& position) const;
    // The accessible part of a button, at its place on the screen.
    Part buttonPart(int index, const QRectF& rect) const;
    // The button behind an accessible part, or -1; by default the buttons
    // are the parts in index order.
    virtual int buttonOfPart(int part) const;
    // A tap that began and ended off every button; the default ignores it.
    virtual void tappedOffButtons(const QPointF& position);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QStringList buttons_;
    int cancelIndex_ = -1;
    int pressed_ = -1;
};
