#include "platform/ui/ActionSheetOverlay.h"

#include "platform/ui/CellPainter.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ValueAnimation.h"

#include <QKeyEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace {

constexpr qreal kSideMargin = 20;
constexpr qreal kButtonHeight = 44;
constexpr qreal kButtonGap = 8;
constexpr qreal kCancelGap = 14;
constexpr qreal kPadding = 16;
constexpr int kSlideMs = 250;

QFont titleFont() { return Theme::systemFont(14); }

QFont buttonFont() { return Theme::boldSystemFont(19); }

}  // namespace

ActionSheetOverlay::ActionSheetOverlay(QWidget* over)
    : ButtonOverlay(over), slideAnimation_(new ValueAnimation(this, kSlideMs, [this](qreal value) {
          slide_ = value;
          update();
      })) {
    setDimming(QColor(0, 0, 0, 90));
    slideAnimation_->setEasingCurve(QEasingCurve::OutCubic);
}

void ActionSheetOverlay::setContent(const QString& title, const QStringList& buttons, int destructiveIndex,
                                    int cancelIndex) {
    title_ = title;
    setButtons(buttons, cancelIndex);
    destructiveIndex_ = destructiveIndex;
    focused_ = (cancelIndex == 0 && buttons.size() > 1) ? 1 : 0;
    setAccessibleName(title.isEmpty() ? tr("Choices") : title);
    layoutOverlay();
    update();
}

QList<AccessibleParts::Part> ActionSheetOverlay::accessibleParts() const {
    QList<Part> parts;
    const QList<QRectF> rects = buttonRects();
    for (int index = 0; index < buttons().size(); ++index) {
        Part button = buttonPart(index, rects.value(index));
        button.focused = hasFocus() && index == focused_;
        parts.append(button);
    }
    return parts;
}

void ActionSheetOverlay::layoutOverlay() {
    const qreal inner = width() - 2 * kSideMargin;
    titleHeight_ = title_.isEmpty()
                       ? 0
                       : QFontMetricsF(titleFont())
                                 .boundingRect(QRectF(0, 0, inner, 1000), Qt::TextWordWrap | Qt::AlignHCenter, title_)
                                 .height() +
                             10;
    qreal y = kPadding + titleHeight_;
    buttonRects_ = QList<QRectF>(buttons().size());
    for (int index = 0; index < buttons().size(); ++index) {
        if (index == cancelIndex() && index > 0) y += kCancelGap - kButtonGap;
        buttonRects_[index] = QRectF(kSideMargin, y, inner, kButtonHeight);
        y += kButtonHeight + kButtonGap;
    }
}

qreal ActionSheetOverlay::panelHeight() const {
    const qreal buttons = buttonRects_.isEmpty() ? 0 : buttonRects_.last().bottom();
    return qMax(buttons, kPadding + titleHeight_) + kPadding + 4;
}

QRectF ActionSheetOverlay::panelRect() const {
    const qreal height = panelHeight();
    return QRectF(0, this->height() - height * slide_, width(), height);
}

QList<QRectF> ActionSheetOverlay::buttonRects() const {
    QList<QRectF> rects;
    const qreal top = panelRect().top();
    for (const QRectF& rect : buttonRects_) rects.append(rect.translated(0, top));
    return rects;
}

void ActionSheetOverlay::slideIn() {
    slide_ = 0;
    present();
    slideAnimation_->stop();
    slideAnimation_->setStartValue(0.0);
    slideAnimation_->setEndValue(1.0);
    slideAnimation_->start();
}

void ActionSheetOverlay::slideOut() {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    slideAnimation_->stop();
    slideAnimation_->setStartValue(slide_);
    slideAnimation_->setEndValue(0.0);
    connect(slideAnimation_, &QVariantAnimation::finished, this, &QObject::deleteLater);
    slideAnimation_->start();
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
    if (!title_.isEmpty()) {
        const QRectF titleRect(kSideMargin, panel.top() + kPadding - 4, panel.width() - 2 * kSideMargin, titleHeight_);
        painter.setFont(titleFont());
        painter.setPen(QColor(0, 0, 0, 140));
        painter.drawText(titleRect.translated(0, -1), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, title_);
        painter.setPen(QColor(235, 238, 245));
        painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, title_);
    }
    for (int index = 0; index < buttons().size(); ++index) paintButton(painter, index);
}

void ActionSheetOverlay::paintButton(QPainter& painter, int index) const {
    const QRectF rect = buttonRects().value(index);
    const bool destructive = index == destructiveIndex_;
    const bool cancel = index == cancelIndex();
    const bool pressed = index == pressedButton();
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
        QFontMetricsF(buttonFont()).elidedText(buttons().value(index), Qt::ElideRight, rect.width() - 16);
    if (lightText) {
        painter.setPen(QColor(0, 0, 0, 130));
        painter.drawText(rect.translated(0, -1), Qt::AlignCenter, text);
    } else {
        painter.setPen(QColor(255, 255, 255, 200));
        painter.drawText(rect.translated(0, 1), Qt::AlignCenter, text);
    }
    painter.setPen(lightText ? QColor(Qt::white) : QColor(Qt::black));
    painter.drawText(rect, Qt::AlignCenter, text);
    if (index == focused_ && hasFocus()) {
        painter.setPen(QPen(Theme::focusRingColor(), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 8, 8);
    }
}

void ActionSheetOverlay::tappedOffButtons(const QPointF& position) {
    if (!panelRect().contains(position) && cancelIndex() >= 0) emit buttonClicked(cancelIndex());
}

void ActionSheetOverlay::keyPressEvent(QKeyEvent* event) {
    // Every key stays with the sheet; the screen below waits for the answer.
    if (buttons().isEmpty()) return;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (cancelIndex() >= 0) emit buttonClicked(cancelIndex());
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: emit buttonClicked(qBound(0, focused_, int(buttons().size()) - 1)); return;
    case Qt::Key_Up:
    case Qt::Key_Backtab: focused_ = (focused_ + int(buttons().size()) - 1) % int(buttons().size()); break;
    case Qt::Key_Down:
    case Qt::Key_Tab: focused_ = (focused_ + 1) % int(buttons().size()); break;
    default: return;
    }
    update();
}

bool ActionSheetOverlay::focusNextPrevChild(bool) {
    // Tab turns the ring round the buttons instead of leaving the sheet.
    return false;
}
