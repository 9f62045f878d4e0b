#include "platform/ui/SegmentedControl.h"

#include "platform/ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal kRadius = 8;

}  // namespace

SegmentedControl::SegmentedControl(const QStringList& titles, QWidget* parent) : QWidget(parent), titles_(titles) {
    setFont(Theme::boldSystemFont(13));
    resize(sizeHint());
}

void SegmentedControl::setSelectedSegmentIndex(int segment) {
    selected_ = segment >= 0 && segment < numberOfSegments() ? segment : -1;
    update();
}

QRect SegmentedControl::rectForSegment(int segment) const {
    if (segment < 0 || segment >= numberOfSegments()) return QRect();
    const int left = width() * segment / numberOfSegments();
    const int right = width() * (segment + 1) / numberOfSegments();
    return QRect(left, 0, right - left, height());
}

QSize SegmentedControl::sizeHint() const {
    int widest = 0;
    for (const QString& title : titles_) widest = qMax(widest, fontMetrics().horizontalAdvance(title));
    return QSize(qMax(1, numberOfSegments()) * (widest + 24), 30);
}

void SegmentedControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.5);
    QPainterPath shape;
    shape.addRoundedRect(outline, kRadius, kRadius);
    QLinearGradient plain(outline.topLeft(), outline.bottomLeft());
    plain.setColorAt(0, Qt::white);
    plain.setColorAt(1, QColor(232, 232, 236));
    painter.fillPath(shape, plain);
    if (selected_ >= 0) {
        painter.save();
        painter.setClipPath(shape);
        QLinearGradient chosen(outline.topLeft(), outline.bottomLeft());
        chosen.setColorAt(0, Theme::selectionTop());
        chosen.setColorAt(1, Theme::selectionBottom());
        painter.fillRect(rectForSegment(selected_), chosen);
        painter.restore();
    }
    painter.setPen(QPen(Theme::buttonBorder(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    for (int segment = 1; segment < numberOfSegments(); ++segment) {
        const qreal x = rectForSegment(segment).left() + 0.5;
        painter.drawLine(QPointF(x, outline.top()), QPointF(x, outline.bottom()));
    }
    painter.setFont(font());
    for (int segment = 0; segment < numberOfSegments(); ++segment) {
        painter.setPen(segment == selected_ ? Theme::highlightedTextColor() : Theme::buttonText());
        const QRect area = rectForSegment(segment).adjusted(4, 0, -4, -1);
        painter.drawText(area, Qt::AlignCenter,
                         fontMetrics().elidedText(titles_[segment], Qt::ElideRight, area.width()));
    }
}

void SegmentedControl::mousePressEvent(QMouseEvent* event) {
    for (int segment = 0; segment < numberOfSegments(); ++segment) {
        if (!rectForSegment(segment).contains(event->position().toPoint()) || segment == selected_) continue;
        selected_ = segment;
        update();
        emit valueChanged(segment);
        return;
    }
}
