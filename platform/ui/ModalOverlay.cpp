#include "platform/ui/ModalOverlay.h"

#include "platform/ui/KitTiming.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace {

constexpr int fadeInMs = 200;

QWidget* hostFor(QWidget* over) {
    if (over)
        return over->window();
    return PhoneWindow::current();
}

} // namespace

ModalOverlay::ModalOverlay(QWidget* over)
    : QWidget(hostFor(over)), m_dimming(Theme::dimming()), m_fadeIn(new QVariantAnimation(this)) {
    setFocusPolicy(Qt::StrongFocus);
    if (parentWidget()) {
        setGeometry(parentWidget()->rect());
        parentWidget()->installEventFilter(this);
    } else {
        resize(Theme::windowWidth, Theme::windowHeight);
    }
    m_fadeIn->setDuration(KitTiming::length(fadeInMs));
    m_fadeIn->setStartValue(0.0);
    m_fadeIn->setEndValue(1.0);
    connect(m_fadeIn, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_appearance = value.toReal();
        update();
    });
    hide();
}

void ModalOverlay::setDimming(const QColor& color) {
    m_dimming = color;
    update();
}

void ModalOverlay::present() {
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    layoutOverlay();
    raise();
    show();
    setFocus(Qt::OtherFocusReason);
    m_appearance = 0;
    m_fadeIn->start();
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
    QColor dim = m_dimming;
    dim.setAlphaF(dim.alphaF() * m_appearance);
    painter.fillRect(rect(), dim);
}

void ModalOverlay::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void ModalOverlay::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
