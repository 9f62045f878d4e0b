#include "app/shell/PeriodButton.h"

#include "platform/ui/Theme.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

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
    if (hasFocus()) {
        painter.setPen(QPen(Theme::focusRingColor(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }
    nameAfterShownPeriod();
}

void PeriodButton::nameAfterShownPeriod() {
    // The period's texts are labels lying over the box, not the button's
    // own: a screen reader hears them as the button's name.
    if (!parentWidget()) return;
    QStringList texts;
    for (const QLabel* label : parentWidget()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QString shown = label->text();
        if (label->isVisible() && geometry().contains(label->geometry().center()) &&
            std::any_of(shown.begin(), shown.end(), [](QChar c) { return c.isLetterOrNumber(); }))
            texts << shown;
    }
    const QString name = texts.join(QLatin1Char(' '));
    if (name != text()) setText(name);
}
