#include "platform/ui/Theme.h"

#include <QPainter>
#include <QPixmap>

namespace {

QFont sansFont(qreal points, QFont::Weight weight) {
    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qMax(1, qRound(points)));
    font.setWeight(weight);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

}  // namespace

QFont Theme::systemFont(qreal points) { return sansFont(points, QFont::Normal); }

QFont Theme::boldSystemFont(qreal points) { return sansFont(points, QFont::Bold); }

QFont Theme::fontNamed(const QString& name, qreal points) {
    const bool bold = name.contains(QLatin1String("Bold"), Qt::CaseInsensitive);
    return sansFont(points, bold ? QFont::Bold : QFont::Normal);
}

QBrush Theme::groupTableBackground() {
    // One tile of the pinstripes: a wide band and a slightly lighter thin one.
    static const QPixmap tile = [] {
        QPixmap pixmap(7, 1);
        QPainter painter(&pixmap);
        painter.fillRect(0, 0, 5, 1, QColor(197, 204, 212));
        painter.fillRect(5, 0, 2, 1, QColor(204, 211, 217));
        return pixmap;
    }();
    return QBrush(tile);
}
