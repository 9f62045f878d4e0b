#include "platform/ui/AlertOverlay.h"

#include "platform/ui/CellPainter.h"
#include "platform/ui/Theme.h"

#include <QAccessibleActionInterface>
#include <QKeyEvent>
#include <QPainter>

namespace {

constexpr qreal panelWidth = 284;
constexpr qreal padding = 14;
constexpr qreal buttonHeight = 43;
constexpr qreal buttonGap = 8;
constexpr qreal panelRadius = 10;

QFont titleFont() {
    return Theme::boldSystemFont(18);
}

QFont messageFont() {
    return Theme::systemFont(16);
}

QFont buttonFont() {
    return Theme::boldSystemFont(18);
}

qreal wrappedHeight(const QFont& font, qreal width, const QString& text) {
    if (text.isEmpty())
        return 0;
    return QFontMetricsF(font).boundingRect(QRectF(0, 0, width, 10000), Qt::TextWordWrap | Qt::AlignHCenter, text)
        .height();
}

} // namespace

AlertOverlay::AlertOverlay(QWidget* over) : ModalOverlay(over) {
    setDimming(QColor(0, 0, 0, 110));
}

void AlertOverlay::setContent(const QString& title, const QString& message, const QStringList& buttons,
                              int cancelIndex) {
    m_title = title;
    m_message = message;
    m_buttons = buttons;
    m_cancelIndex = cancelIndex;
    setAccessibleName(title.isEmpty() ? message : title);
    setAccessibleDescription(message);
    layoutOverlay();
    update();
}

QList<AccessibleParts::Part> AlertOverlay::accessibleParts() const {
    QList<Part> parts;
    if (!m_message.isEmpty()) {
        Part message;
        message.name = m_message;
        message.rect = m_messageRect.toAlignedRect();
        parts.append(message);
    }
    for (int index : displayOrder()) {
        Part button;
        button.role = QAccessible::Button;
        button.name = m_buttons.value(index);
        button.rect = m_buttonRects.value(index).toAlignedRect();
        button.pressable = true;
        parts.append(button);
    }
    return parts;
}

void AlertOverlay::triggerAccessiblePart(int index, const QString& action) {
    const int button = index - (m_message.isEmpty() ? 0 : 1);
    const QList<int> order = displayOrder();
    if (action == QAccessibleActionInterface::pressAction() && button >= 0 && button < order.size())
        emit buttonClicked(order[button]);
}

QList<int> AlertOverlay::displayOrder() const {
    QList<int> order;
    for (int index = 0; index < m_buttons.size(); ++index)
        order.append(index);
    // Stacked buttons end with the cancel button; a pair keeps index order,
    // which puts a cancel button on the left.
    if (m_buttons.size() > 2 && m_cancelIndex >= 0) {
        order.removeAll(m_cancelIndex);
        order.append(m_cancelIndex);
    }
    return order;
}

void AlertOverlay::layoutOverlay() {
    const qreal inner = panelWidth - 2 * padding;
    const qreal titleHeight = wrappedHeight(titleFont(), inner, m_title);
    const qreal messageHeight = wrappedHeight(messageFont(), inner, m_message);
    const bool sideBySide = m_buttons.size() == 2;
    const int rows = sideBySide ? 1 : int(m_buttons.size());
    const qreal buttonsHeight = rows * buttonHeight + qMax(0, rows - 1) * buttonGap;
    qreal height = padding + 4 + titleHeight + (messageHeight > 0 ? 8 + messageHeight : 0) + 16 + buttonsHeight +
                   padding;
    // Slightly above the middle, where the eye expects a question.
    const qreal left = (width() - panelWidth) / 2;
    const qreal top = qMax<qreal>(10, (this->height() - height) / 2 - 10);
    m_panel = QRectF(left, top, panelWidth, height);
    qreal y = top + padding + 4;
    m_titleRect = QRectF(left + padding, y, inner, titleHeight);
    y += titleHeight + (messageHeight > 0 ? 8 : 0);
    m_messageRect = QRectF(left + padding, y, inner, messageHeight);
    y += messageHeight + 16;
    m_buttonRects = QList<QRectF>(m_buttons.size());
    const QList<int> order = displayOrder();
    const qreal halfWidth = (inner - buttonGap) / 2;
    for (int slot = 0; slot < order.size(); ++slot) {
        if (sideBySide)
            m_buttonRects[order[slot]] = QRectF(left + padding + slot * (halfWidth + buttonGap), y, halfWidth,
                                                buttonHeight);
        else
            m_buttonRects[order[slot]] = QRectF(left + padding, y + slot * (buttonHeight + buttonGap), inner,
                                                buttonHeight);
    }
}

int AlertOverlay::buttonAt(const QPointF& position) const {
    for (int index = 0; index < m_buttonRects.size(); ++index)
        if (m_buttonRects[index].contains(position))
            return index;
    return -1;
}

void AlertOverlay::paintEvent(QPaintEvent* event) {
    ModalOverlay::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The panel pops in: slightly larger and transparent at first.
    const qreal shown = appearance();
    const qreal scale = 1.08 - 0.08 * shown;
    const QPointF centre = m_panel.center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    painter.setOpacity(shown);
    paintPanel(painter);
    for (int index = 0; index < m_buttons.size(); ++index)
        paintButton(painter, index);
}

void AlertOverlay::paintPanel(QPainter& painter) const {
    // Soft shadow, then the translucent body with a bright rim and a gloss
    // across the top.
    for (int ring = 1; ring <= 4; ++ring) {
        painter.setPen(QPen(QColor(0, 0, 0, 28), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(m_panel.adjusted(-ring, -ring + 2, ring, ring + 2), panelRadius + ring,
                                panelRadius + ring);
    }
    QLinearGradient body(m_panel.topLeft(), m_panel.bottomLeft());
    body.setColorAt(0, Theme::alertPanelTop());
    body.setColorAt(1, Theme::alertPanelBottom());
    painter.setPen(QPen(Theme::alertPanelBorder(), 2));
    painter.setBrush(body);
    painter.drawRoundedRect(m_panel.adjusted(1, 1, -1, -1), panelRadius, panelRadius);
    QPainterPath gloss;
    const QRectF glossRect = m_panel.adjusted(3, 3, -3, -m_panel.height() + 34);
    gloss.addRoundedRect(glossRect, panelRadius - 2, panelRadius - 2);
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
    shadowed(m_titleRect, titleFont(), m_title);
    shadowed(m_messageRect, messageFont(), m_message);
}

void AlertOverlay::paintButton(QPainter& painter, int index) const {
    const QRectF rect = m_buttonRects.value(index);
    const bool cancel = index == m_cancelIndex;
    QColor top = cancel ? Theme::alertCancelButtonTop() : Theme::alertButtonTop();
    QColor bottom = cancel ? Theme::alertCancelButtonBottom() : Theme::alertButtonBottom();
    if (index == m_pressed) {
        top = top.lighter(140);
        bottom = bottom.lighter(160);
    }
    CellPainter::paintGlossyButton(painter, rect, 6, top, bottom, QColor(0, 0, 0, 150));
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
    painter.setFont(buttonFont());
    const QString text =
        QFontMetricsF(buttonFont()).elidedText(m_buttons.value(index), Qt::ElideRight, rect.width() - 12);
    painter.setPen(QColor(0, 0, 0, 150));
    painter.drawText(rect.translated(0, -1), Qt::AlignCenter, text);
    painter.setPen(Qt::white);
    painter.drawText(rect, Qt::AlignCenter, text);
}

void AlertOverlay::mousePressEvent(QMouseEvent* event) {
    m_pressed = buttonAt(event->position());
    update();
    event->accept();
}

void AlertOverlay::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressed < 0)
        return;
    if (!m_buttonRects.value(m_pressed).contains(event->position())) {
        m_pressed = -1;
        update();
    }
}

void AlertOverlay::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const int pressed = std::exchange(m_pressed, -1);
    update();
    if (pressed >= 0 && pressed == buttonAt(event->position()))
        emit buttonClicked(pressed);
}

void AlertOverlay::keyPressEvent(QKeyEvent* event) {
    const QList<int> order = displayOrder();
    if (order.isEmpty())
        return;
    if (event->key() == Qt::Key_Escape) {
        emit buttonClicked(m_cancelIndex >= 0 ? m_cancelIndex : order.first());
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        int chosen = order.last();
        if (chosen == m_cancelIndex && order.size() > 1)
            chosen = order.at(order.size() - 2);
        emit buttonClicked(chosen);
    }
}
