#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

// Drawing shared by the widget cells of TableView and the rows a TableView
// draws for a long list, so that both kinds of row look the same: cell shapes in a
// grouped table, the blue selection, accessories, the editing controls and
// glossy buttons.
class CellPainter {
public:
    // Where a cell sits: alone in a plain table, or within a group of a
    // grouped table (which decides its rounded corners).
    enum class Position { Plain, Single, First, Middle, Last };

    enum class SelectionColor { Blue, Gray };

    // The outline of a cell of a grouped table, its outer corners rounded.
    static QPainterPath groupedShape(const QRectF& rect, Position position);

    // White cell with the group border (top edge only for the first row; the
    // bottom edge doubles as the separator to the next row).
    static void paintGroupedCell(QPainter& painter, const QRectF& rect, Position position,
                                 const QColor& fill = Qt::white);
    // White row of a plain table with its separator at the bottom, starting
    // at separatorInset.
    static void paintPlainCell(QPainter& painter, const QRectF& rect, const QColor& fill = Qt::white,
                               qreal separatorInset = 0);
    static void paintSelection(QPainter& painter, const QPainterPath& shape, SelectionColor color, qreal opacity = 1.0);

    // Accessories, drawn centred in the given area.
    static void paintDisclosureIndicator(QPainter& painter, const QRectF& area, const QColor& color);
    static void paintCheckmark(QPainter& painter, const QRectF& area, const QColor& color);

    // Editing controls: the red round minus (upright while its row offers the
    // Delete button) and the green round plus.
    static void paintDeleteControl(QPainter& painter, const QPointF& centre, bool upright);
    static void paintInsertControl(QPainter& painter, const QPointF& centre);
    // The red "Delete" button of a row.
    static void paintDeleteButton(QPainter& painter, const QRectF& rect, const QString& text, bool pressed);
    static QRectF deleteButtonRect(const QRectF& cell);

    // A rounded button with a vertical gradient, a glossy upper half and a
    // one-pixel border.
    static void paintGlossyButton(QPainter& painter, const QRectF& rect, qreal radius, const QColor& top,
                                  const QColor& bottom, const QColor& border);
};
