#include "platform/ui/CellPainter.h"

#include "platform/ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

constexpr qreal kRadius = Theme::groupCornerRadius;
constexpr qreal kControlRadius = 10;

bool roundsTop(CellPainter::Position position) {
    return position == CellPainter::Position::Single || position == CellPainter::Position::First;
}

bool roundsBottom(CellPainter::Position position) {
    return position == CellPainter::Position::Single || position == CellPainter::Position::Last;
}

QLinearGradient verticalGradient(const QRectF& rect, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

}  // namespace

QPainterPath CellPainter::groupedShape(const QRectF& rect, Position position) {
    const qreal topRadius = roundsTop(position) ? kRadius : 0;
    const qreal bottomRadius = roundsBottom(position) ? kRadius : 0;
    QPainterPath path;
    path.moveTo(rect.left(), rect.top() + topRadius);
    if (topRadius > 0) path.arcTo(QRectF(rect.left(), rect.top(), 2 * topRadius, 2 * topRadius), 180, -90);
    path.lineTo(rect.right() - topRadius, rect.top());
    if (topRadius > 0)
        path.arcTo(QRectF(rect.right() - 2 * topRadius, rect.top(), 2 * topRadius, 2 * topRadius), 90, -90);
    path.lineTo(rect.right(), rect.bottom() - bottomRadius);
    if (bottomRadius > 0)
        path.arcTo(QRectF(rect.right() - 2 * bottomRadius, rect.bottom() - 2 * bottomRadius, 2 * bottomRadius,
                          2 * bottomRadius),
                   0, -90);
    path.lineTo(rect.left() + bottomRadius, rect.bottom());
    if (bottomRadius > 0)
        path.arcTo(QRectF(rect.left(), rect.bottom() - 2 * bottomRadius, 2 * bottomRadius, 2 * bottomRadius), 270, -90);
    path.closeSubpath();
    return path;
}

void CellPainter::paintGroupedCell(QPainter& painter, const QRectF& rect, Position position, const QColor& fill) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Half-pixel inset puts the one-pixel border on whole pixels.
    const QRectF outline = rect.adjusted(0.5, roundsTop(position) ? 0.5 : -0.5, -0.5, -0.5);
    const QPainterPath shape = groupedShape(outline, position);
    painter.fillPath(shape, fill);
    painter.setPen(QPen(Theme::groupBorder(), 1));
    painter.drawPath(shape);
    painter.restore();
}

void CellPainter::paintPlainCell(QPainter& painter, const QRectF& rect, const QColor& fill, qreal separatorInset) {
    painter.fillRect(rect, fill);
    painter.fillRect(QRectF(rect.left() + separatorInset, rect.bottom() - 1, rect.width() - separatorInset, 1),
                     Theme::plainSeparator());
}

void CellPainter::paintSelection(QPainter& painter, const QPainterPath& shape, SelectionColor color, qreal opacity) {
    const QRectF bounds = shape.boundingRect();
    const bool blue = color == SelectionColor::Blue;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    painter.fillPath(shape, verticalGradient(bounds, blue ? Theme::selectionTop() : Theme::graySelectionTop(),
                                             blue ? Theme::selectionBottom() : Theme::graySelectionBottom()));
    painter.restore();
}

void CellPainter::paintDisclosureIndicator(QPainter& painter, const QRectF& area, const QColor& color) {
    // A chevron 7 wide and 12 high with a square-cut three-pixel stroke.
    const QPointF c = area.center();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    const QPointF points[] = {{c.x() - 3, c.y() - 5}, {c.x() + 2.5, c.y()}, {c.x() - 3, c.y() + 5}};
    painter.drawPolyline(points, 3);
    painter.restore();
}

void CellPainter::paintCheckmark(QPainter& painter, const QRectF& area, const QColor& color) {
    const QPointF c = area.center();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF points[] = {{c.x() - 6, c.y()}, {c.x() - 2, c.y() + 5}, {c.x() + 6, c.y() - 7}};
    painter.drawPolyline(points, 3);
    painter.restore();
}

namespace {

void paintRoundControl(QPainter& painter, const QPointF& centre, const QColor& top, const QColor& bottom) {
    const QRectF circle(centre.x() - kControlRadius, centre.y() - kControlRadius, 2 * kControlRadius,
                        2 * kControlRadius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawEllipse(circle.translated(0, 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(circle);
    painter.setBrush(verticalGradient(circle, top, bottom));
    painter.drawEllipse(circle.adjusted(2, 2, -2, -2));
}

}  // namespace

void CellPainter::paintDeleteControl(QPainter& painter, const QPointF& centre, bool upright) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintRoundControl(painter, centre, Theme::destructiveTop(), Theme::destructiveBottom());
    painter.setBrush(Qt::white);
    const QRectF bar =
        upright ? QRectF(centre.x() - 1.5, centre.y() - 6, 3, 12) : QRectF(centre.x() - 6, centre.y() - 1.5, 12, 3);
    painter.drawRect(bar);
    painter.restore();
}

void CellPainter::paintInsertControl(QPainter& painter, const QPointF& centre) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintRoundControl(painter, centre, Theme::insertTop(), Theme::insertBottom());
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(centre.x() - 6, centre.y() - 1.5, 12, 3));
    painter.drawRect(QRectF(centre.x() - 1.5, centre.y() - 6, 3, 12));
    painter.restore();
}

QRectF CellPainter::deleteButtonRect(const QRectF& cell) {
    const qreal height = qMin<qreal>(30, cell.height() - 6);
    const qreal width = 64;
    return QRectF(cell.right() - width - 8, cell.center().y() - height / 2, width, height);
}

void CellPainter::paintDeleteButton(QPainter& painter, const QRectF& rect, const QString& text, bool pressed) {
    painter.save();
    paintGlossyButton(painter, rect, 5, pressed ? Theme::destructiveBottom() : Theme::destructiveTop(),
                      Theme::destructiveBottom(), Theme::destructiveBorder());
    painter.setFont(Theme::boldSystemFont(14));
    painter.setPen(QColor(0, 0, 0, 90));
    painter.drawText(rect.translated(0, -1), Qt::AlignCenter, text);
    painter.setPen(Qt::white);
    painter.drawText(rect, Qt::AlignCenter, text);
    painter.restore();
}

void CellPainter::paintGlossyButton(QPainter& painter, const QRectF& rect, qreal radius, const QColor& top,
                                    const QColor& bottom, const QColor& border) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(border, 1));
    painter.setBrush(verticalGradient(outline, top, bottom));
    painter.drawRoundedRect(outline, radius, radius);
    // Gloss: the upper half brightened, fading out towards the middle.
    QPainterPath gloss;
    gloss.addRoundedRect(outline.adjusted(1, 1, -1, -outline.height() / 2), radius - 1, radius - 1);
    QLinearGradient shine(outline.topLeft(), QPointF(outline.left(), outline.center().y()));
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(1, QColor(255, 255, 255, 25));
    painter.fillPath(gloss, shine);
    painter.restore();
}
