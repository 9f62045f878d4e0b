#pragma once

#include "platform/ui/ButtonOverlay.h"

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
class ActionSheetOverlay : public ButtonOverlay {
    Q_OBJECT
public:
    explicit ActionSheetOverlay(QWidget* over);

    void setContent(const QString& title, const QStringList& buttons, int destructiveIndex, int cancelIndex);
    // Slides the panel in; slideOut() slides it away and then deletes the
    // overlay.
    void slideIn();
    void slideOut();
    QList<QRectF> buttonRects() const override;
    QRectF panelRect() const;
    // The button the keyboard's ring is on.
    int focusedButton() const { return focused_; }

    QList<Part> accessibleParts() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // A tap on the dimmed part answers with the cancel button.
    void tappedOffButtons(const QPointF& position) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void layoutOverlay() override;

private:
    qreal panelHeight() const;
    void paintButton(QPainter& painter, int index) const;

    QString title_;
    int destructiveIndex_ = -1;
    QList<QRectF> buttonRects_;  // relative to the panel's top
    qreal titleHeight_ = 0;
    qreal slide_ = 0;  // 0 hidden below, 1 fully up
    QVariantAnimation* slideAnimation_;
    int focused_ = 0;
};
