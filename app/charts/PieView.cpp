#include "app/charts/PieView.h"

#include "app/charts/FullPieView.h"
#include "app/charts/PieAngle.h"
#include "platform/ui/KitTiming.h"

#include <QPainter>
#include <QPropertyAnimation>

PieView::PieView(double startAngle, double endAngle, const QColor& color, QObject* parent)
    : QObject(parent), sAngle_(startAngle), eAngle_(endAngle), c_(color) {
    // Qt counts arc angles counter-clockwise, the pie clockwise: both signs
    // flip. The arc runs from the start to the end angle, then back to the
    // centre.
    const QRectF circle(kCenter - kRadius, kCenter - kRadius, 2 * kRadius, 2 * kRadius);
    wedge_.arcMoveTo(circle, -sAngle_);
    wedge_.arcTo(circle, -sAngle_, -(eAngle_ - sAngle_));
    wedge_.lineTo(kCenter, kCenter);
    wedge_.closeSubpath();
}

bool PieView::pointInside(QPointF point) const {
    const PieAngle::UnitPoint unit = PieAngle::unitPointOf(point.x(), point.y());
    if (!unit.insideCircle()) return false;
    const double a = unit.angle();
    return sAngle_ <= a && a <= eAngle_;
}

void PieView::expand() {
    animateScaleTo(kExpandedScale);
    if (parentView_) parentView_->updateLabel(caption_);
}

void PieView::shrink() {
    animateScaleTo(1.0);
    if (parentView_) parentView_->updateLabel(QString());
}

void PieView::animateScaleTo(qreal target) {
    // Made on the first touch: most of a large pie's wedges never move.
    if (!animation_) {
        animation_ = new QPropertyAnimation(this, "scale", this);
        animation_->setDuration(KitTiming::length(kAnimationMs));
    }
    animation_->stop();
    animation_->setStartValue(scale_);
    animation_->setEndValue(target);
    animation_->start();
}

void PieView::setScale(qreal scale) {
    scale_ = scale;
    repaint();
}

void PieView::repaint() {
    if (parentView_) parentView_->updateWedges();
}

void PieView::paint(QPainter& painter) const {
    painter.save();
    painter.translate(kGrowMargin + kCenter, kGrowMargin + kCenter);
    painter.scale(scale_, scale_);
    painter.translate(-kCenter, -kCenter);
    painter.setPen(QPen(Qt::white, 1.0));
    painter.setBrush(c_);
    painter.drawPath(wedge_);
    painter.restore();
}
