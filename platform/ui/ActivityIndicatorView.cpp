#include "platform/ui/ActivityIndicatorView.h"

#include <QPainter>
#include <QTimer>

namespace {

constexpr int spokes = 12;
// A full turn a second.
constexpr int stepMs = 1000 / spokes;

} // namespace

ActivityIndicatorView::ActivityIndicatorView(Style style, QWidget* parent)
    : QWidget(parent), m_style(style), m_timer(new QTimer(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(sizeHint());
    m_timer->setInterval(stepMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spokes;
        update();
    });
}

void ActivityIndicatorView::startAnimating() {
    m_timer->start();
    show();
}

void ActivityIndicatorView::stopAnimating() {
    m_timer->stop();
    hide();
}

bool ActivityIndicatorView::isAnimating() const {
    return m_timer->isActive();
}

QSize ActivityIndicatorView::sizeHint() const {
    return m_style == Style::WhiteLarge ? QSize(37, 37) : QSize(20, 20);
}

void ActivityIndicatorView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal size = qMin(width(), height());
    const qreal outer = size / 2;
    const qreal inner = outer * 0.45;
    const qreal thickness = size * (m_style == Style::WhiteLarge ? 0.085 : 0.1);
    const QColor base = m_style == Style::Gray ? QColor(110, 110, 110) : QColor(255, 255, 255);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int spoke = 0; spoke < spokes; ++spoke) {
        // The brightest spoke is the current step; the ones behind it fade.
        const int behind = (m_step - spoke + spokes) % spokes;
        QColor color = base;
        color.setAlphaF(1.0 - 0.75 * behind / (spokes - 1));
        painter.setPen(QPen(color, thickness, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(spoke * 360.0 / spokes - 90);
        painter.drawLine(QPointF(inner, 0), QPointF(outer - thickness / 2, 0));
        painter.restore();
    }
}
