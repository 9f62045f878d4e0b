#include "platform/ui/PhoneWindow.h"

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/KitAccessibility.h"
#include "platform/ui/ModalOverlay.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PhoneStyle.h"
#include "platform/ui/Theme.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>

namespace {

QList<QPointer<PhoneWindow>>& openWindows() {
    static QList<QPointer<PhoneWindow>> windows;
    return windows;
}

}  // namespace

PhoneWindow::PhoneWindow(QWidget* parent) : QWidget(parent) {
    PhoneStyle::install();
    KitAccessibility::install();
    navigation_ = new NavigationController(this);
    setWindowTitle(QStringLiteral("Brindlex"));
    setFixedSize(Theme::windowWidth, Theme::windowHeight);
    openWindows().append(this);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &PhoneWindow::onApplicationStateChanged);
}

PhoneWindow::~PhoneWindow() { openWindows().removeAll(this); }

void PhoneWindow::setRootViewController(ViewController* root) { navigation_->setRootViewController(root); }

PhoneWindow* PhoneWindow::current() {
    auto& windows = openWindows();
    windows.removeAll(nullptr);
    return windows.isEmpty() ? nullptr : windows.last().data();
}

PhoneWindow* PhoneWindow::containing(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (auto* window = qobject_cast<PhoneWindow*>(const_cast<QWidget*>(w))) return window;
    return current();
}

void PhoneWindow::resizeEvent(QResizeEvent*) { navigation_->setGeometry(rect()); }

void PhoneWindow::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool back = (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) ||
                      (event->key() == Qt::Key_Left && modifiers == Qt::AltModifier);
    if (back && goBack()) return;
    // Return presses a focused button that does not take it itself (a push
    // button outside a dialog only answers Space).
    auto* button = qobject_cast<QAbstractButton*>(focusWidget());
    if (button && modifiers == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool PhoneWindow::goBack() {
    // An alert or action sheet answers its own keys; none reach the screen
    // below it.
    for (const ModalOverlay* overlay : findChildren<ModalOverlay*>(Qt::FindDirectChildrenOnly))
        if (overlay->isVisible()) return true;
    NavigationBar& bar = navigation_->navigationBar();
    if (bar.backButton()->isVisible()) {
        bar.backButton()->click();
        return true;
    }
    const NavigationBarButton* left = bar.leftButton();
    if (left->isVisible() && left->item() && left->item()->isSystemItem() &&
        left->item()->systemItem() == BarButtonItem::SystemItem::Cancel) {
        left->item()->trigger();
        return true;
    }
    return false;
}

void PhoneWindow::onApplicationStateChanged(Qt::ApplicationState state) {
    const bool active = state == Qt::ApplicationActive;
    if (active == active_) return;
    active_ = active;
    if (active)
        emit activated();
    else
        emit deactivated();
}
