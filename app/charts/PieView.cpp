#include "app/charts/PieView.h"

#include "app/charts/FullPieView.h"
#include "app/charts/PieAngle.h"
#include "platform/ui/KitTiming.h"

#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

PieView::PieView(double startAngle, double endAngle, const QColor& color, QWidget* parent)
    : QWidget(parent), sAngle_(startAngle), eAngle_(endAngle), c_(color),
      animation_(new QPropertyAnimation(this, "scale", this)) {
    animation_->setDuration(KitTiming::length(kAnimationMs));
    setAttribute(Qt::WA_TranslucentBackground);
    // Touches belong to the pie view, which picks the wedge by angle.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(kFrame.size() + QSize(2 * kGrowMargin, 2 * kGrowMargin));
}

void PieView::setC(const QColor& color) {
    c_ = color;
    update();
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
    animation_->stop();
    animation_->setStartValue(scale_);
    animation_->setEndValue(target);
    animation_->start();
}

void PieView::setScale(qreal scale) {
    scale_ = scale;
    update();
}

void PieView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(kGrowMargin + kCenter, kGrowMargin + kCenter);
    painter.scale(scale_, scale_);
    painter.translate(-kCenter, -kCenter);

    // Qt counts arc angles counter-clockwise, the pie clockwise: both signs
    // flip. The arc runs from the start to the end angle, then back to the
    // centre.
    const QRectF circle(kCenter - kRadius, kCenter - kRadius, 2 * kRadius, 2 * kRadius);
    QPainterPath wedge;
    wedge.arcMoveTo(circle, -sAngle_);
    wedge.arcTo(circle, -sAngle_, -(eAngle_ - sAngle_));
    wedge.lineTo(kCenter, kCenter);
    wedge.closeSubpath();
    painter.setPen(QPen(Qt::white, 1.0));
    painter.setBrush(c_);
    painter.drawPath(wedge);
}
