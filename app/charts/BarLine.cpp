#include "app/charts/BarLine.h"

#include <QPainter>

#include <cmath>

BarLine::BarLine(double length, QObject* parent)
    : QObject(parent), length_(length), frame_(0, 0, static_cast<int>(std::ceil(length)), kHeight) {}

void BarLine::paint(QPainter& painter) const {
    painter.save();
    painter.translate(frame_.topLeft());
    // Nothing outside the whole-point frame, and only the exact length
    // within it.
    painter.setClipRect(QRect(QPoint(0, 0), frame_.size()));
    painter.setClipRect(QRectF(0, 0, length_, frame_.height()), Qt::IntersectClip);
    painter.setPen(QPen(QColor(0, 0, 255), kLineWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(0, 0), QPointF(320, 0));
    painter.restore();
}
