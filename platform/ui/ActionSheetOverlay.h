#pragma once

#include "platform/ui/AccessibleParts.h"
#include "platform/ui/ModalOverlay.h"

#include <QList>
#include <QRectF>
#include <QStringList>

class QVariantAnimation;

// The visible action sheet: a translucent dark panel that slides up from the
// bottom of the dimmed window, an optional small title, then large buttons:
// the destructive one red, the cancel one dark and set apart at the bottom.
// A tap on the dimmed part counts as the cancel button. Up, Down and Tab
// move the keyboard's ring between the buttons, Return or Space picks the
// ringed one (the first button at first), Escape the cancel button.
class ActionSheetOverlay : public ModalOverlay, public AccessibleParts {
    Q_OBJECT
public:
    explicit ActionSheetOverlay(QWidget* over);

    void setContent(const QString& title, const QStringList& buttons, int destructiveIndex, int cancelIndex);
    // Slides the panel in; slideOut() slides it away and then deletes the
    // overlay.
    void slideIn();
    void slideOut();
    QList<QRectF> buttonRects() const;
    QRectF panelRect() const;
    // The button the keyboard's ring is on.
    int focusedButton() const { return m_focused; }

    QAccessible::Role accessibleRole() const override { return QAccessible::Dialog; }
    QList<Part> accessibleParts() const override;
    void triggerAccessiblePart(int index, const QString& action) override;

signals:
    void buttonClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void layoutOverlay() override;

private:
    qreal panelHeight() const;
    int buttonAt(const QPointF& position) const;
    void paintButton(QPainter& painter, int index) const;

    QString m_title;
    QStringList m_buttons;
    int m_destructiveIndex = -1;
    int m_cancelIndex = -1;
    QList<QRectF> m_buttonRects;  // relative to the panel's top
    qreal m_titleHeight = 0;
    qreal m_slide = 0;            // 0 hidden below, 1 fully up
    QVariantAnimation* m_slideAnimation;
    int m_pressed = -1;
    int m_focused = 0;
};
