#include "platform/ui/PhoneWindow.h"

#include "platform/ui/NavigationController.h"
#include "platform/ui/PhoneStyle.h"
#include "platform/ui/Theme.h"

#include <QGuiApplication>
#include <QPointer>

namespace {

QList<QPointer<PhoneWindow>>& openWindows() {
    static QList<QPointer<PhoneWindow>> windows;
    return windows;
}

} // namespace

PhoneWindow::PhoneWindow(QWidget* parent) : QWidget(parent) {
    PhoneStyle::install();
    m_navigation = new NavigationController(this);
    setWindowTitle(QStringLiteral("Brindlex"));
    setFixedSize(Theme::windowWidth, Theme::windowHeight);
    openWindows().append(this);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &PhoneWindow::onApplicationStateChanged);
}

PhoneWindow::~PhoneWindow() {
    openWindows().removeAll(this);
}

void PhoneWindow::setRootViewController(ViewController* root) {
    m_navigation->setRootViewController(root);
}

PhoneWindow* PhoneWindow::current() {
    auto& windows = openWindows();
    windows.removeAll(nullptr);
    return windows.isEmpty() ? nullptr : windows.last().data();
}

PhoneWindow* PhoneWindow::containing(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (auto* window = qobject_cast<PhoneWindow*>(const_cast<QWidget*>(w)))
            return window;
    return current();
}

void PhoneWindow::resizeEvent(QResizeEvent*) {
    m_navigation->setGeometry(rect());
}

void PhoneWindow::onApplicationStateChanged(Qt::ApplicationState state) {
    const bool active = state == Qt::ApplicationActive;
    if (active == m_active)
        return;
    m_active = active;
    if (active)
        emit activated();
    else
        emit deactivated();
}
