#include "app/charts/BarLine.h"

#include <QPainter>

#include <cmath>

BarLine::BarLine(double length, QWidget* parent) : QWidget(parent), length_(length) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(static_cast<int>(std::ceil(length)), 10);
}

void BarLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Only the exact length shows, whatever the whole-point frame adds.
    painter.setClipRect(QRectF(0, 0, length_, height()));
    painter.setPen(QPen(QColor(0, 0, 255), kLineWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(0, 0), QPointF(320, 0));
}
