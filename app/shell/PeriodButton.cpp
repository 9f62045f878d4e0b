#include "app/shell/PeriodButton.h"

#include "platform/ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

PeriodButton::PeriodButton(QWidget* parent) : QAbstractButton(parent) { setCursor(Qt::PointingHandCursor); }

void PeriodButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.5);
    QPainterPath shape;
    shape.addRoundedRect(box, Theme::groupCornerRadius, Theme::groupCornerRadius);
    // The light line under the box that grouped rows have.
    painter.setPen(QPen(Theme::groupShadow(), 1));
    painter.drawPath(shape.translated(0, 1));
    if (isDown()) {
        QLinearGradient blue(box.topLeft(), box.bottomLeft());
        blue.setColorAt(0, Theme::selectionTop());
        blue.setColorAt(1, Theme::selectionBottom());
        painter.setBrush(blue);
    } else {
        painter.setBrush(Theme::cellBackground());
    }
    painter.setPen(QPen(Theme::groupBorder(), 1));
    painter.drawPath(shape);
}
