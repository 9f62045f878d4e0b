#pragma once

#include "platform/ui/ButtonOverlay.h"

#include <QList>
#include <QRectF>
#include <QStringList>

// The visible alert: a rounded, translucent dark-blue panel centred over the
// dimmed window, with a white title, message and buttons. Two buttons sit
// side by side; more are stacked with the cancel button last. Escape picks
// the cancel button, Return the last other one.
class AlertOverlay : public ButtonOverlay {
    Q_OBJECT
public:
    explicit AlertOverlay(QWidget* over);

    // Buttons by index; cancelIndex is -1 when there is no cancel button.
    void setContent(const QString& title, const QString& message, const QStringList& buttons, int cancelIndex);
    QList<QRectF> buttonRects() const override { return buttonRects_; }
    QRectF panelRect() const { return panel_; }

    // A dialog named by its title, its message as text, then its buttons
    // in the order they show.
    QList<Part> accessibleParts() const override;

protected:
    int buttonOfPart(int part) const override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void layoutOverlay() override;

private:
    QList<int> displayOrder() const;
    void paintPanel(QPainter& painter) const;
    void paintButton(QPainter& painter, int index) const;

    QString title_;
    QString message_;
    QRectF panel_;
    QRectF titleRect_;
    QRectF messageRect_;
    QList<QRectF> buttonRects_;
};
