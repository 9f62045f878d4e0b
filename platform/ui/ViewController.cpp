#include "platform/ui/ViewController.h"

#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Theme.h"

#include <QPainter>

ViewController::ViewController(QWidget* parent)
    : QWidget(parent), m_navigationItem(new NavigationItem(this)), m_background(Theme::cellBackground()) {
    resize(Theme::windowWidth, Theme::contentHeight);
}

ViewController::~ViewController() = default;

void ViewController::setTitle(const QString& title) {
    if (m_title == title)
        return;
    m_title = title;
    // A screen reader names the screen as the bar does.
    setAccessibleName(title);
    emit titleChanged(title);
}

void ViewController::setBackgroundBrush(const QBrush& brush) {
    m_background = brush;
    update();
}

void ViewController::loadViewIfNeeded() {
    if (m_viewLoaded)
        return;
    m_viewLoaded = true;
    viewDidLoad();
}

void ViewController::viewDidLoad() {}
void ViewController::viewWillAppear(bool) {}
void ViewController::viewDidAppear(bool) {}
void ViewController::viewWillDisappear(bool) {}
void ViewController::viewDidDisappear(bool) {}

void ViewController::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
}

void ViewController::setNavigationController(NavigationController* controller) {
    m_navigationController = controller;
}
