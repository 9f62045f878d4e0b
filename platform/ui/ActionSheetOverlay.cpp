#include "platform/ui/ActionSheetOverlay.h"

#include "platform/ui/CellPainter.h"
#include "platform/ui/KitTiming.h"
#include "platform/ui/Theme.h"

#include <QAccessibleActionInterface>
#include <QKeyEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace {

constexpr qreal sideMargin = 20;
constexpr qreal buttonHeight = 44;
constexpr qreal buttonGap = 8;
constexpr qreal cancelGap = 14;
constexpr qreal padding = 16;
constexpr int slideMs = 250;

QFont titleFont() {
    return Theme::systemFont(14);
}

QFont buttonFont() {
    return Theme::boldSystemFont(19);
}

} // namespace

ActionSheetOverlay::ActionSheetOverlay(QWidget* over)
    : ModalOverlay(over), m_slideAnimation(new QVariantAnimation(this)) {
    setDimming(QColor(0, 0, 0, 90));
    m_slideAnimation->setDuration(KitTiming::length(slideMs));
    m_slideAnimation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_slideAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_slide = value.toReal();
        update();
    });
}

void ActionSheetOverlay::setContent(const QString& title, const QStringList& buttons, int destructiveIndex,
                                    int cancelIndex) {
    m_title = title;
    m_buttons = buttons;
    m_destructiveIndex = destructiveIndex;
    m_cancelIndex = cancelIndex;
    m_focused = (cancelIndex == 0 && buttons.size() > 1) ? 1 : 0;
    setAccessibleName(title.isEmpty() ? tr("Choices") : title);
    layoutOverlay();
    update();
}

QList<AccessibleParts::Part> ActionSheetOverlay::accessibleParts() const {
    QList<Part> parts;
    const QList<QRectF> rects = buttonRects();
    for (int index = 0; index < m_buttons.size(); ++index) {
        Part button;
        button.role = QAccessible::Button;
        button.name = m_buttons[index];
        button.rect = rects.value(index).toAlignedRect();
        button.pressable = true;
        button.focused = hasFocus() && index == m_focused;
        parts.append(button);
    }
    return parts;
}

void ActionSheetOverlay::triggerAccessiblePart(int index, const QString& action) {
    if (action == QAccessibleActionInterface::pressAction() && index >= 0 && index < m_buttons.size())
        emit buttonClicked(index);
}

void ActionSheetOverlay::layoutOverlay() {
    const qreal inner = width() - 2 * sideMargin;
    m_titleHeight = m_title.isEmpty() ? 0
                                      : QFontMetricsF(titleFont())
                                                .boundingRect(QRectF(0, 0, inner, 1000),
                                                              Qt::TextWordWrap | Qt::AlignHCenter, m_title)
                                                .height() +
                                            10;
    qreal y = padding + m_titleHeight;
    m_buttonRects = QList<QRectF>(m_buttons.size());
    for (int index = 0; index < m_buttons.size(); ++index) {
        if (index == m_cancelIndex && index > 0)
            y += cancelGap - buttonGap;
        m_buttonRects[index] = QRectF(sideMargin, y, inner, buttonHeight);
        y += buttonHeight + buttonGap;
    }
}

qreal ActionSheetOverlay::panelHeight() const {
    const qreal buttons = m_buttonRects.isEmpty() ? 0 : m_buttonRects.last().bottom();
    return qMax(buttons, padding + m_titleHeight) + padding + 4;
}

QRectF ActionSheetOverlay::panelRect() const {
    const qreal height = panelHeight();
    return QRectF(0, this->height() - height * m_slide, width(), height);
}

QList<QRectF> ActionSheetOverlay::buttonRects() const {
    QList<QRectF> rects;
    const qreal top = panelRect().top();
    for (const QRectF& rect : m_buttonRects)
        rects.append(rect.translated(0, top));
    return rects;
}

void ActionSheetOverlay::slideIn() {
    m_slide = 0;
    present();
    m_slideAnimation->stop();
    m_slideAnimation->setStartValue(0.0);
    m_slideAnimation->setEndValue(1.0);
    m_slideAnimation->start();
}

void ActionSheetOverlay::slideOut() {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_slideAnimation->stop();
    m_slideAnimation->setStartValue(m_slide);
    m_slideAnimation->setEndValue(0.0);
    connect(m_slideAnimation, &QVariantAnimation::finished, this, &QObject::deleteLater);
    m_slideAnimation->start();
}

int ActionSheetOverlay::buttonAt(const QPointF& position) const {
    const QList<QRectF> rects = buttonRects();
    for (int index = 0; index < rects.size(); ++index)
        if (rects[index].contains(position))
            return index;
    return -1;
}

void ActionSheetOverlay::paintEvent(QPaintEvent* event) {
    ModalOverlay::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel = panelRect();
    QLinearGradient body(panel.topLeft(), panel.bottomLeft());
    body.setColorAt(0, Theme::sheetTop());
    body.setColorAt(1, Theme::sheetBottom());
    painter.fillRect(panel, body);
    painter.fillRect(QRectF(panel.left(), panel.top(), panel.width(), 1), QColor(255, 255, 255, 110));
    painter.fillRect(QRectF(panel.left(), panel.top() + 1, panel.width(), 1), QColor(0, 0, 0, 60));
    if (!m_title.isEmpty()) {
        const QRectF titleRect(sideMargin, panel.top() + padding - 4, panel.width() - 2 * sideMargin, m_titleHeight);
        painter.setFont(titleFont());
        painter.setPen(QColor(0, 0, 0, 140));
        painter.drawText(titleRect.translated(0, -1), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_title);
        painter.setPen(QColor(235, 238, 245));
        painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_title);
    }
    for (int index = 0; index < m_buttons.size(); ++index)
        paintButton(painter, index);
}

void ActionSheetOverlay::paintButton(QPainter& painter, int index) const {
    const QRectF rect = buttonRects().value(index);
    const bool destructive = index == m_destructiveIndex;
    const bool cancel = index == m_cancelIndex;
    const bool pressed = index == m_pressed;
    QColor top = destructive ? Theme::destructiveTop() : cancel ? QColor(100, 104, 112) : QColor(255, 255, 255);
    QColor bottom = destructive ? Theme::destructiveBottom() : cancel ? QColor(44, 48, 56) : QColor(222, 224, 228);
    if (pressed) {
        top = Theme::selectionTop();
        bottom = Theme::selectionBottom();
    }
    CellPainter::paintGlossyButton(painter, rect, 9, top, bottom, QColor(0, 0, 0, 170));
    const bool lightText = destructive || cancel || pressed;
    painter.setFont(buttonFont());
    const QString text =
        QFontMetricsF(buttonFont()).elidedText(m_buttons.value(index), Qt::ElideRight, rect.width() - 16);
    if (lightText) {
        painter.setPen(QColor(0, 0, 0, 130));
        painter.drawText(rect.translated(0, -1), Qt::AlignCenter, text);
    } else {
        painter.setPen(QColor(255, 255, 255, 200));
        painter.drawText(rect.translated(0, 1), Qt::AlignCenter, text);
    }
    painter.setPen(lightText ? QColor(Qt::white) : QColor(Qt::black));
    painter.drawText(rect, Qt::AlignCenter, text);
    if (index == m_focused && hasFocus()) {
        painter.setPen(QPen(Theme::focusRingColor(), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 8, 8);
    }
}

void ActionSheetOverlay::mousePressEvent(QMouseEvent* event) {
    event->accept();
    m_pressed = buttonAt(event->position());
    update();
}

void ActionSheetOverlay::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const int pressed = std::exchange(m_pressed, -1);
    update();
    const int released = buttonAt(event->position());
    if (pressed >= 0 && pressed == released)
        emit buttonClicked(pressed);
    else if (pressed < 0 && !panelRect().contains(event->position()) && m_cancelIndex >= 0)
        emit buttonClicked(m_cancelIndex);
}

void ActionSheetOverlay::keyPressEvent(QKeyEvent* event) {
    // Every key stays with the sheet; the screen below waits for the answer.
    if (m_buttons.isEmpty())
        return;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_cancelIndex >= 0)
            emit buttonClicked(m_cancelIndex);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        emit buttonClicked(qBound(0, m_focused, int(m_buttons.size()) - 1));
        return;
    case Qt::Key_Up:
    case Qt::Key_Backtab:
        m_focused = (m_focused + int(m_buttons.size()) - 1) % int(m_buttons.size());
        break;
    case Qt::Key_Down:
    case Qt::Key_Tab:
        m_focused = (m_focused + 1) % int(m_buttons.size());
        break;
    default:
        return;
    }
    update();
}

bool ActionSheetOverlay::focusNextPrevChild(bool) {
    // Tab turns the ring round the buttons instead of leaving the sheet.
    return false;
}
