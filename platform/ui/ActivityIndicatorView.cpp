#include "platform/ui/ActivityIndicatorView.h"

#include <QPainter>
#include <QTimer>

namespace {

constexpr int kSpokes = 12;
// A full turn a second.
constexpr int kStepMs = 1000 / kSpokes;

}  // namespace

ActivityIndicatorView::ActivityIndicatorView(Style style, QWidget* parent)
    : QWidget(parent), style_(style), timer_(new QTimer(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(sizeHint());
    timer_->setInterval(kStepMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

void ActivityIndicatorView::startAnimating() {
    timer_->start();
    show();
}

void ActivityIndicatorView::stopAnimating() {
    timer_->stop();
    hide();
}

bool ActivityIndicatorView::isAnimating() const { return timer_->isActive(); }

QSize ActivityIndicatorView::sizeHint() const { return style_ == Style::WhiteLarge ? QSize(37, 37) : QSize(20, 20); }

void ActivityIndicatorView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal size = qMin(width(), height());
    const qreal outer = size / 2;
    const qreal inner = outer * 0.45;
    const qreal thickness = size * (style_ == Style::WhiteLarge ? 0.085 : 0.1);
    const QColor base = style_ == Style::Gray ? QColor(110, 110, 110) : QColor(255, 255, 255);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        // The brightest spoke is the current step; the ones behind it fade.
        const int behind = (step_ - spoke + kSpokes) % kSpokes;
        QColor color = base;
        color.setAlphaF(1.0 - 0.75 * behind / (kSpokes - 1));
        painter.setPen(QPen(color, thickness, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(spoke * 360.0 / kSpokes - 90);
        painter.drawLine(QPointF(inner, 0), QPointF(outer - thickness / 2, 0));
        painter.restore();
    }
}
