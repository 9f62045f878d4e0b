#pragma once

#include <QRectF>

class QPainter;

// The app's own artwork, drawn rather than shipped as images so it stays
// crisp at any scale.
class Artwork {
public:
    // The gear pair of the preferences button ("gears.png"), white on the
    // navigation bar, glowing while pressed.
    static void drawGears(QPainter& painter, const QRectF& rect, bool highlighted);
};
