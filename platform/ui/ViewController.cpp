#include "platform/ui/ViewController.h"

#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Theme.h"

#include <QPainter>

ViewController::ViewController(QWidget* parent)
    : QWidget(parent), navigationItem_(new NavigationItem(this)), background_(Theme::cellBackground()) {
    resize(Theme::windowWidth, Theme::contentHeight);
}

ViewController::~ViewController() = default;

void ViewController::setTitle(const QString& title) {
    if (title_ == title) return;
    title_ = title;
    // A screen reader names the screen as the bar does.
    setAccessibleName(title);
    emit titleChanged(title);
}

void ViewController::setBackgroundBrush(const QBrush& brush) {
    background_ = brush;
    update();
}

void ViewController::loadViewIfNeeded() {
    if (viewLoaded_) return;
    viewLoaded_ = true;
    viewDidLoad();
}

void ViewController::viewDidLoad() {}
void ViewController::viewWillAppear(bool) {}
void ViewController::viewDidAppear(bool) {}
void ViewController::viewWillDisappear(bool) {}
void ViewController::viewDidDisappear(bool) {}

void ViewController::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
}

void ViewController::setNavigationController(NavigationController* controller) { navigationController_ = controller; }
