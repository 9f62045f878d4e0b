#include "app/shell/Artwork.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

QPainterPath gearPath(QPointF centre, qreal outer, qreal inner, qreal hole, int teeth) {
    QPainterPath gear;
    const qreal step = 2 * M_PI / teeth;
    for (int i = 0; i < teeth; ++i) {
        const qreal a = i * step;
        // Each tooth: rise, flat top, fall, flat root.
        const qreal angles[4] = {a, a + step * 0.18, a + step * 0.5, a + step * 0.68};
        const qreal radii[4] = {inner, outer, outer, inner};
        for (int k = 0; k < 4; ++k) {
            const QPointF point(centre.x() + radii[k] * std::cos(angles[k]),
                                centre.y() + radii[k] * std::sin(angles[k]));
            if (i == 0 && k == 0)
                gear.moveTo(point);
            else
                gear.lineTo(point);
        }
    }
    gear.closeSubpath();
    gear.addEllipse(centre, hole, hole);
    gear.setFillRule(Qt::OddEvenFill);
    return gear;
}

}  // namespace

void Artwork::drawGears(QPainter& painter, const QRectF& rect, bool highlighted) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = std::min(rect.width(), rect.height());
    const QPointF origin = rect.center() - QPointF(s / 2, s / 2);
    const QPainterPath big = gearPath(origin + QPointF(s * 0.40, s * 0.58), s * 0.34, s * 0.25, s * 0.10, 9);
    const QPainterPath small = gearPath(origin + QPointF(s * 0.74, s * 0.28), s * 0.22, s * 0.15, s * 0.06, 7);
    if (highlighted) {
        // The glow of a touched custom button.
        painter.setPen(QPen(QColor(255, 255, 255, 120), 4));
        painter.drawPath(big);
        painter.drawPath(small);
    }
    painter.setPen(QPen(QColor(40, 55, 80, 160), 1));
    painter.setBrush(QColor(250, 250, 252));
    painter.drawPath(big);
    painter.drawPath(small);
    painter.restore();
}
