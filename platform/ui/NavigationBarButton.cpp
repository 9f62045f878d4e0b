#include "platform/ui/NavigationBarButton.h"

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/CellPainter.h"
#include "platform/ui/Theme.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kButtonHeight = 30;
constexpr int kPadding = 9;
constexpr int kArrowDepth = 10;
constexpr int kWidestButton = 110;

QFont buttonFont() { return Theme::boldSystemFont(12); }

QPainterPath backShape(const QRectF& r) {
    // The left side comes to a point; the right corners are rounded.
    const qreal radius = 5;
    QPainterPath path;
    path.moveTo(r.left(), r.center().y());
    path.lineTo(r.left() + kArrowDepth, r.top() + 0.5);
    path.lineTo(r.right() - radius, r.top());
    path.arcTo(QRectF(r.right() - 2 * radius, r.top(), 2 * radius, 2 * radius), 90, -90);
    path.lineTo(r.right(), r.bottom() - radius);
    path.arcTo(QRectF(r.right() - 2 * radius, r.bottom() - 2 * radius, 2 * radius, 2 * radius), 0, -90);
    path.lineTo(r.left() + kArrowDepth, r.bottom() - 0.5);
    path.closeSubpath();
    return path;
}

}  // namespace

NavigationBarButton::NavigationBarButton(QWidget* parent) : QAbstractButton(parent) {
    setFont(buttonFont());
    // Reached with Tab, not taken by a click, like the phone's bar buttons
    // that never hold a focus of their own.
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, &NavigationBarButton::onClicked);
    hide();
}

void NavigationBarButton::setItem(BarButtonItem* item) {
    if (item_) disconnect(item_, nullptr, this, nullptr);
    item_ = item;
    if (item) connect(item, &BarButtonItem::changed, this, &NavigationBarButton::refresh);
    refresh();
}

void NavigationBarButton::setBackTitle(const QString& title) {
    setItem(nullptr);
    kind_ = Kind::Back;
    setText(title);
    // The title names the screen it leads to; the button is the way back.
    setAccessibleName(tr("Back"));
    setAccessibleDescription(title);
    setEnabled(true);
    resize(sizeHint());
    setVisible(true);
    emit changed();
}

void NavigationBarButton::refresh() {
    if (!item_) {
        if (kind_ != Kind::Back) hide();
        emit changed();
        return;
    }
    kind_ = item_->isCustom()                              ? Kind::Custom
            : item_->style() == BarButtonItem::Style::Done ? Kind::Done
                                                           : Kind::Bordered;
    setText(item_->title());
    setAccessibleName(item_->accessibleName());
    setAccessibleDescription(QString());
    setEnabled(item_->isEnabled());
    resize(sizeHint());
    show();
    update();
    emit changed();
}

void NavigationBarButton::onClicked() {
    if (item_) item_->trigger();
}

QSize NavigationBarButton::sizeHint() const {
    if (kind_ == Kind::Custom && item_) return item_->customSize();
    const int textWidth = QFontMetrics(font()).horizontalAdvance(text());
    const int extra = 2 * kPadding + (kind_ == Kind::Back ? kArrowDepth - 3 : 0);
    return QSize(qBound(kind_ == Kind::Back ? 50 : 48, textWidth + extra, kWidestButton), kButtonHeight);
}

void NavigationBarButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.5);
    const QRectF area = rect();
    if (kind_ == Kind::Custom) {
        if (item_ && item_->customPainter()) item_->customPainter()(painter, area, isDown());
    } else {
        paintBordered(painter, area);
        paintTitle(painter, kind_ == Kind::Back ? area.adjusted(kArrowDepth - 3, 0, 0, 0) : area);
    }
    paintFocusRing(painter, area);
}

void NavigationBarButton::paintFocusRing(QPainter& painter, const QRectF& rect) {
    if (!hasFocus()) return;
    painter.setOpacity(1);
    painter.setPen(QPen(Theme::focusRingColor(), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -2), 5, 5);
}

void NavigationBarButton::keyPressEvent(QKeyEvent* event) {
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void NavigationBarButton::paintBordered(QPainter& painter, const QRectF& rect) {
    const bool done = kind_ == Kind::Done;
    QColor top = done ? Theme::doneButtonTop() : Theme::barButtonTop();
    QColor bottom = done ? Theme::doneButtonBottom() : Theme::barButtonBottom();
    const QColor border = done ? Theme::doneButtonBorder() : Theme::barButtonBorder();
    if (isDown()) {
        top = top.darker(130);
        bottom = bottom.darker(130);
    }
    const QRectF body = rect.adjusted(0, 0, 0, -1);
    if (kind_ != Kind::Back) {
        // A faint light edge under the button, as if pressed into the bar.
        painter.setPen(QPen(QColor(255, 255, 255, 70), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(body.adjusted(0.5, 1.5, -0.5, 0.5), 5, 5);
        CellPainter::paintGlossyButton(painter, body, 5, top, bottom, border);
        return;
    }
    const QPainterPath shape = backShape(body.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1));
    painter.drawPath(shape.translated(0, 1));
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setPen(QPen(border, 1));
    painter.setBrush(fill);
    painter.drawPath(shape);
    QLinearGradient shine(body.topLeft(), QPointF(body.left(), body.center().y()));
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(1, QColor(255, 255, 255, 25));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.setClipRect(QRectF(body.left(), body.top(), body.width(), body.height() / 2));
    painter.drawPath(shape);
    painter.setClipping(false);
}

void NavigationBarButton::paintTitle(QPainter& painter, const QRectF& rect) {
    const QRectF textRect = rect.adjusted(kPadding - 2, 0, -(kPadding - 2), -1);
    const QString shown = QFontMetrics(font()).elidedText(text(), Qt::ElideRight, int(textRect.width()));
    painter.setFont(font());
    painter.setPen(QColor(0, 0, 0, 120));
    painter.drawText(textRect.translated(0, -1), Qt::AlignCenter, shown);
    painter.setPen(Qt::white);
    painter.drawText(textRect, Qt::AlignCenter, shown);
}
