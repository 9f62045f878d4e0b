#pragma once

#include "platform/ui/AccessibleParts.h"
#include "platform/ui/ModalOverlay.h"

#include <QList>
#include <QRectF>
#include <QStringList>

// The visible alert: a rounded, translucent dark-blue panel centred over the
// dimmed window, with a white title, message and buttons. Two buttons sit
// side by side; more are stacked with the cancel button last. Escape picks
// the cancel button, Return the last other one.
class AlertOverlay : public ModalOverlay, public AccessibleParts {
    Q_OBJECT
public:
    explicit AlertOverlay(QWidget* over);

    // Buttons by index; cancelIndex is -1 when there is no cancel button.
    void setContent(const QString& title, const QString& message, const QStringList& buttons, int cancelIndex);
    // Button rectangles by index, in the overlay's coordinates.
    QList<QRectF> buttonRects() const { return buttonRects_; }
    QRectF panelRect() const { return panel_; }

    // A dialog named by its title, its message as text, then its buttons
    // in the order they show.
    QAccessible::Role accessibleRole() const override { return QAccessible::Dialog; }
    QList<Part> accessibleParts() const override;
    void triggerAccessiblePart(int index, const QString& action) override;

signals:
    void buttonClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void layoutOverlay() override;

private:
    QList<int> displayOrder() const;
    int buttonAt(const QPointF& position) const;
    void paintPanel(QPainter& painter) const;
    void paintButton(QPainter& painter, int index) const;

    QString title_;
    QString message_;
    QStringList buttons_;
    int cancelIndex_ = -1;
    QRectF panel_;
    QRectF titleRect_;
    QRectF messageRect_;
    QList<QRectF> buttonRects_;
    int pressed_ = -1;
};
