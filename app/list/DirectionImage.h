#pragma once

#include <QPixmap>

// The direction marks at the left of a message row ("incoming.png" and
// "outgoing.png"): a green disc with an arrow pointing in for a received
// message, a blue one with an arrow pointing out for a sent one. Drawn once
// per direction and screen scale, then taken from the pixmap cache.
class DirectionImage {
public:
    // The image's size in points: the row's height, and the strip left of
    // the name and text labels.
    static constexpr int kWidth = 30;
    static constexpr int kHeight = 35;

    static QPixmap incoming();
    static QPixmap outgoing();

private:
    static QPixmap image(bool incoming);
    static QPixmap draw(bool incoming, qreal scale);
};
