#include "platform/ui/ModalOverlay.h"

#include "platform/ui/PhoneWindow.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ValueAnimation.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kFadeInMs = 200;

QWidget* hostFor(QWidget* over) {
    if (over) return over->window();
    return PhoneWindow::current();
}

}  // namespace

ModalOverlay::ModalOverlay(QWidget* over)
    : QWidget(hostFor(over)), dimming_(Theme::dimming()),
      fadeIn_(new ValueAnimation(this, kFadeInMs, 0.0, 1.0, [this](qreal value) {
          appearance_ = value;
          update();
      })) {
    setFocusPolicy(Qt::StrongFocus);
    if (parentWidget()) {
        setGeometry(parentWidget()->rect());
        parentWidget()->installEventFilter(this);
    } else {
        resize(Theme::windowWidth, Theme::windowHeight);
    }
    hide();
}

void ModalOverlay::setDimming(const QColor& color) {
    dimming_ = color;
    update();
}

void ModalOverlay::present() {
    if (parentWidget()) setGeometry(parentWidget()->rect());
    layoutOverlay();
    raise();
    show();
    setFocus(Qt::OtherFocusReason);
    appearance_ = 0;
    fadeIn_->start();
}

void ModalOverlay::layoutOverlay() {}

bool ModalOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        layoutOverlay();
    }
    return QWidget::eventFilter(watched, event);
}

void ModalOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor dim = dimming_;
    dim.setAlphaF(dim.alphaF() * appearance_);
    painter.fillRect(rect(), dim);
}

void ModalOverlay::mousePressEvent(QMouseEvent* event) { event->accept(); }

void ModalOverlay::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
