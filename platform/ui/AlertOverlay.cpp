#include "platform/ui/AlertOverlay.h"

#include "platform/ui/CellPainter.h"
#include "platform/ui/Theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr qreal kPanelWidth = 284;
constexpr qreal kPadding = 14;
constexpr qreal kButtonHeight = 43;
constexpr qreal kButtonGap = 8;
constexpr qreal kPanelRadius = 10;

QFont titleFont() { return Theme::boldSystemFont(18); }

QFont messageFont() { return Theme::systemFont(16); }

QFont buttonFont() { return Theme::boldSystemFont(18); }

qreal wrappedHeight(const QFont& font, qreal width, const QString& text) {
    if (text.isEmpty()) return 0;
    return QFontMetricsF(font)
        .boundingRect(QRectF(0, 0, width, 10000), Qt::TextWordWrap | Qt::AlignHCenter, text)
        .height();
}

}  // namespace

AlertOverlay::AlertOverlay(QWidget* over) : ButtonOverlay(over) { setDimming(QColor(0, 0, 0, 110)); }

void AlertOverlay::setContent(const QString& title, const QString& message, const QStringList& buttons,
                              int cancelIndex) {
    title_ = title;
    message_ = message;
    setButtons(buttons, cancelIndex);
    setAccessibleName(title.isEmpty() ? message : title);
    setAccessibleDescription(message);
    layoutOverlay();
    update();
}

QList<AccessibleParts::Part> AlertOverlay::accessibleParts() const {
    QList<Part> parts;
    if (!message_.isEmpty()) {
        Part message;
        message.name = message_;
        message.rect = messageRect_.toAlignedRect();
        parts.append(message);
    }
    for (int index : displayOrder()) parts.append(buttonPart(index, buttonRects_.value(index)));
    return parts;
}

int AlertOverlay::buttonOfPart(int part) const {
    // The message comes first, then the buttons in the order they show.
    const int slot = part - (message_.isEmpty() ? 0 : 1);
    const QList<int> order = displayOrder();
    return slot >= 0 && slot < order.size() ? order[slot] : -1;
}

QList<int> AlertOverlay::displayOrder() const {
    QList<int> order;
    for (int index = 0; index < buttons().size(); ++index) order.append(index);
    // Stacked buttons end with the cancel button; a pair keeps index order,
    // which puts a cancel button on the left.
    if (buttons().size() > 2 && cancelIndex() >= 0) {
        order.removeAll(cancelIndex());
        order.append(cancelIndex());
    }
    return order;
}

void AlertOverlay::layoutOverlay() {
    const qreal inner = kPanelWidth - 2 * kPadding;
    const qreal titleHeight = wrappedHeight(titleFont(), inner, title_);
    const qreal messageHeight = wrappedHeight(messageFont(), inner, message_);
    const bool sideBySide = buttons().size() == 2;
    const int rows = sideBySide ? 1 : int(buttons().size());
    const qreal buttonsHeight = rows * kButtonHeight + qMax(0, rows - 1) * kButtonGap;
    qreal height =
        kPadding + 4 + titleHeight + (messageHeight > 0 ? 8 + messageHeight : 0) + 16 + buttonsHeight + kPadding;
    // Slightly above the middle, where the eye expects a question.
    const qreal left = (width() - kPanelWidth) / 2;
    const qreal top = qMax<qreal>(10, (this->height() - height) / 2 - 10);
    panel_ = QRectF(left, top, kPanelWidth, height);
    qreal y = top + kPadding + 4;
    titleRect_ = QRectF(left + kPadding, y, inner, titleHeight);
    y += titleHeight + (messageHeight > 0 ? 8 : 0);
    messageRect_ = QRectF(left + kPadding, y, inner, messageHeight);
    y += messageHeight + 16;
    buttonRects_ = QList<QRectF>(buttons().size());
    const QList<int> order = displayOrder();
    const qreal halfWidth = (inner - kButtonGap) / 2;
    for (int slot = 0; slot < order.size(); ++slot) {
        if (sideBySide)
            buttonRects_[order[slot]] =
                QRectF(left + kPadding + slot * (halfWidth + kButtonGap), y, halfWidth, kButtonHeight);
        else
            buttonRects_[order[slot]] =
                QRectF(left + kPadding, y + slot * (kButtonHeight + kButtonGap), inner, kButtonHeight);
    }
}

void AlertOverlay::paintEvent(QPaintEvent* event) {
    ModalOverlay::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The panel pops in: slightly larger and transparent at first.
    const qreal shown = appearance();
    const qreal scale = 1.08 - 0.08 * shown;
    const QPointF centre = panel_.center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    painter.setOpacity(shown);
    paintPanel(painter);
    for (int index = 0; index < buttons().size(); ++index) paintButton(painter, index);
}

void AlertOverlay::paintPanel(QPainter& painter) const {
    // Soft shadow, then the translucent body with a bright rim and a gloss
    // across the top.
    for (int ring = 1; ring <= 4; ++ring) {
        painter.setPen(QPen(QColor(0, 0, 0, 28), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(panel_.adjusted(-ring, -ring + 2, ring, ring + 2), kPanelRadius + ring,
                                kPanelRadius + ring);
    }
    QLinearGradient body(panel_.topLeft(), panel_.bottomLeft());
    body.setColorAt(0, Theme::alertPanelTop());
    body.setColorAt(1, Theme::alertPanelBottom());
    painter.setPen(QPen(Theme::alertPanelBorder(), 2));
    painter.setBrush(body);
    painter.drawRoundedRect(panel_.adjusted(1, 1, -1, -1), kPanelRadius, kPanelRadius);
    QPainterPath gloss;
    const QRectF glossRect = panel_.adjusted(3, 3, -3, -panel_.height() + 34);
    gloss.addRoundedRect(glossRect, kPanelRadius - 2, kPanelRadius - 2);
    QLinearGradient shine(glossRect.topLeft(), glossRect.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 80));
    shine.setColorAt(1, QColor(255, 255, 255, 12));
    painter.fillPath(gloss, shine);

    auto shadowed = [&painter](const QRectF& rect, const QFont& font, const QString& text) {
        painter.setFont(font);
        painter.setPen(QColor(0, 0, 0, 140));
        painter.drawText(rect.translated(0, -1), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
        painter.setPen(Qt::white);
        painter.drawText(rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
    };
    shadowed(titleRect_, titleFont(), title_);
    shadowed(messageRect_, messageFont(), message_);
}

void AlertOverlay::paintButton(QPainter& painter, int index) const {
    const QRectF rect = buttonRects_.value(index);
    const bool cancel = index == cancelIndex();
    QColor top = cancel ? Theme::alertCancelButtonTop() : Theme::alertButtonTop();
    QColor bottom = cancel ? Theme::alertCancelButtonBottom() : Theme::alertButtonBottom();
    if (index == pressedButton()) {
        top = top.lighter(140);
        bottom = bottom.lighter(160);
    }
    CellPainter::paintGlossyButton(painter, rect, 6, top, bottom, QColor(0, 0, 0, 150));
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
    painter.setFont(buttonFont());
    const QString text =
        QFontMetricsF(buttonFont()).elidedText(buttons().value(index), Qt::ElideRight, rect.width() - 12);
    painter.setPen(QColor(0, 0, 0, 150));
    painter.drawText(rect.translated(0, -1), Qt::AlignCenter, text);
    painter.setPen(Qt::white);
    painter.drawText(rect, Qt::AlignCenter, text);
}

void AlertOverlay::mouseMoveEvent(QMouseEvent* event) {
    // Sliding off the pressed button lets go of it.
    if (pressedButton() >= 0 && !buttonRects_.value(pressedButton()).contains(event->position())) releasePress();
}

void AlertOverlay::keyPressEvent(QKeyEvent* event) {
    const QList<int> order = displayOrder();
    if (order.isEmpty()) return;
    if (event->key() == Qt::Key_Escape) {
        emit buttonClicked(cancelIndex() >= 0 ? cancelIndex() : order.first());
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        int chosen = order.last();
        if (chosen == cancelIndex() && order.size() > 1) chosen = order.at(order.size() - 2);
        emit buttonClicked(chosen);
    }
}
