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
    int focusedButton() const { return focused_; }

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

    QString title_;
    QStringList buttons_;
    int destructiveIndex_ = -1;
    int cancelIndex_ = -1;
    QList<QRectF> buttonRects_;  // relative to the panel's top
    qreal titleHeight_ = 0;
    qreal slide_ = 0;            // 0 hidden below, 1 fully up
    QVariantAnimation* slideAnimation_;
    int pressed_ = -1;
    int focused_ = 0;
};
