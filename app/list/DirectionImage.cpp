#include "app/list/DirectionImage.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

#include <cmath>

namespace {

constexpr qreal kDiscDiameter = 22;
constexpr qreal kArrowHalfLength = 5.5;
constexpr qreal kHeadSize = 5.5;

struct Palette {
    QColor light;
    QColor dark;
    QColor rim;
};

Palette paletteFor(bool incoming) {
    if (incoming) return {QColor(110, 200, 90), QColor(38, 140, 40), QColor(25, 95, 28)};
    return {QColor(100, 160, 240), QColor(25, 90, 200), QColor(18, 60, 140)};
}

void drawDisc(QPainter& painter, const QRectF& disc, const Palette& colours) {
    QLinearGradient shade(disc.topLeft(), disc.bottomLeft());
    shade.setColorAt(0, colours.light);
    shade.setColorAt(1, colours.dark);
    painter.setPen(QPen(colours.rim, 1));
    painter.setBrush(shade);
    painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
    // A soft gloss over the upper half, as on the phone's own badges.
    QPainterPath gloss;
    gloss.addEllipse(QRectF(disc.left() + 3, disc.top() + 1.5, disc.width() - 6, disc.height() * 0.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.drawPath(gloss);
}

// A diagonal arrow through the centre: towards the lower left for a message
// coming in, towards the upper right for one going out.
void drawArrow(QPainter& painter, const QPointF& centre, bool incoming) {
    const QPointF along = incoming ? QPointF(-1, 1) / std::sqrt(2.0) : QPointF(1, -1) / std::sqrt(2.0);
    const QPointF across(-along.y(), along.x());
    const QPointF tip = centre + along * kArrowHalfLength;
    const QPointF tail = centre - along * kArrowHalfLength;
    painter.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(tail, tip - along * 2);
    QPainterPath head;
    head.moveTo(tip + along * 1.2);
    head.lineTo(tip - along * kHeadSize + across * kHeadSize * 0.75);
    head.lineTo(tip - along * kHeadSize - across * kHeadSize * 0.75);
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(head);
}

}  // namespace

QPixmap DirectionImage::incoming() { return image(true); }

QPixmap DirectionImage::outgoing() { return image(false); }

QPixmap DirectionImage::image(bool incoming) {
    const qreal scale = qApp ? qApp->devicePixelRatio() : 1.0;
    const QString key = QStringLiteral("brindlex-direction-%1-%2").arg(incoming).arg(scale);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) return pixmap;
    pixmap = draw(incoming, scale);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap DirectionImage::draw(bool incoming, qreal scale) {
    QPixmap pixmap(QSize(kWidth, kHeight) * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kWidth / 2.0, kHeight / 2.0);
    const QRectF disc(centre.x() - kDiscDiameter / 2, centre.y() - kDiscDiameter / 2, kDiscDiameter, kDiscDiameter);
    drawDisc(painter, disc, paletteFor(incoming));
    drawArrow(painter, centre, incoming);
    return pixmap;
}
