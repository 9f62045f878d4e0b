#include "platform/ui/NavigationController.h"

#include "platform/ui/KitTiming.h"
#include "platform/ui/ModalOverlay.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ViewController.h"

#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QShortcut>

namespace {

constexpr int kSlideMs = 250;
// A back button longer than this reads "Back" instead of the title.
constexpr int kLongestBackTitle = 100;

}  // namespace

NavigationController::NavigationController(QWidget* parent)
    : QWidget(parent), bar_(new NavigationBar(this)), content_(new QWidget(this)), inputShield_(new QWidget(this)) {
    resize(Theme::windowWidth, Theme::windowHeight);
    inputShield_->hide();
    connect(bar_, &NavigationBar::backClicked, this, [this] { popViewControllerAnimated(true); });
    auto* back = new QShortcut(QKeySequence::Back, this);
    connect(back, &QShortcut::activated, this, [this] {
        // An alert or action sheet waits for its answer; the screen below
        // stays.
        for (const ModalOverlay* overlay : window()->findChildren<ModalOverlay*>())
            if (overlay->isVisible()) return;
        popViewControllerAnimated(true);
    });
}

NavigationController::~NavigationController() {
    // Screens belong to their creators: hand them back before the content
    // widget would delete them as its children.
    if (animation_) animation_->stop();
    for (const Entry& entry : leaving_) release(entry);
    for (const Entry& entry : stack_) release(entry);
}

void NavigationController::setRootViewController(ViewController* root) {
    finishRunningAnimation();
    ViewController* previous = topViewController();
    Entry kept{root, root->parentWidget(), root->parentWidget() != nullptr};
    bool wasStacked = false;
    for (const Entry& entry : std::exchange(stack_, {})) {
        if (entry.controller == root) {
            kept = entry;
            wasStacked = true;
        } else {
            release(entry);
        }
    }
    if (!wasStacked) adopt(kept);
    stack_.append(kept);
    transition(previous == root ? nullptr : previous, root, true, false);
}

void NavigationController::pushViewController(ViewController* controller, bool animated) {
    finishRunningAnimation();
    if (!controller || viewControllers().contains(controller)) return;
    ViewController* previous = topViewController();
    Entry entry{controller, controller->parentWidget(), controller->parentWidget() != nullptr};
    adopt(entry);
    stack_.append(entry);
    transition(previous, controller, true, animated);
}

ViewController* NavigationController::popViewControllerAnimated(bool animated) {
    finishRunningAnimation();
    purgeDestroyed();
    if (stack_.size() < 2) return nullptr;
    const Entry leaving = stack_.takeLast();
    leaving_.append(leaving);
    transition(leaving.controller, topViewController(), false, animated);
    return leaving.controller;
}

void NavigationController::popToRootViewControllerAnimated(bool animated) {
    finishRunningAnimation();
    purgeDestroyed();
    if (stack_.size() < 2) return;
    // Only the top screen is seen leaving; the ones between go silently.
    const Entry leaving = stack_.takeLast();
    while (stack_.size() > 1) release(stack_.takeLast());
    leaving_.append(leaving);
    transition(leaving.controller, topViewController(), false, animated);
}

ViewController* NavigationController::topViewController() const {
    for (auto it = stack_.crbegin(); it != stack_.crend(); ++it)
        if (it->controller) return it->controller;
    return nullptr;
}

QList<ViewController*> NavigationController::viewControllers() const {
    QList<ViewController*> controllers;
    for (const Entry& entry : stack_)
        if (entry.controller) controllers.append(entry.controller);
    return controllers;
}

bool NavigationController::isAnimating() const {
    return animation_ && animation_->state() == QAbstractAnimation::Running;
}

void NavigationController::resizeEvent(QResizeEvent*) {
    bar_->setGeometry(0, 0, width(), Theme::navigationBarHeight);
    content_->setGeometry(contentRect());
    inputShield_->setGeometry(rect());
    for (ViewController* controller : viewControllers()) controller->setGeometry(content_->rect());
}

QRect NavigationController::contentRect() const {
    return QRect(0, Theme::navigationBarHeight, width(), height() - Theme::navigationBarHeight);
}

void NavigationController::adopt(Entry& entry) {
    ViewController* controller = entry.controller;
    controller->hide();
    controller->setParent(content_);
    controller->setGeometry(content_->rect());
    controller->setNavigationController(this);
    controller->loadViewIfNeeded();
    connect(controller, &ViewController::titleChanged, this, [this] { refreshBar(false); });
    connect(&controller->navigationItem(), &NavigationItem::changed, this, [this] { refreshBar(false); });
    connect(controller, &QObject::destroyed, this, &NavigationController::purgeDestroyed, Qt::QueuedConnection);
}

void NavigationController::release(const Entry& entry) {
    ViewController* controller = entry.controller;
    if (!controller) return;
    disconnect(controller, nullptr, this, nullptr);
    disconnect(&controller->navigationItem(), nullptr, this, nullptr);
    controller->setNavigationController(nullptr);
    controller->hide();
    if (entry.hadParent && !entry.formerParent) {
        controller->deleteLater();
        return;
    }
    controller->setParent(entry.formerParent);
}

void NavigationController::refreshBar(bool animated) {
    ViewController* top = topViewController();
    if (!top) {
        bar_->showItems(QString(), QString(), nullptr, nullptr, animated);
        return;
    }
    QString backTitle;
    const QList<ViewController*> controllers = viewControllers();
    if (controllers.size() > 1 && !top->navigationItem().hidesBackButton()) {
        ViewController* previous = controllers.at(controllers.size() - 2);
        backTitle = previous->navigationItem().backButtonTitle();
        if (backTitle.isEmpty()) backTitle = previous->title();
        const QFontMetrics metrics(Theme::boldSystemFont(12));
        if (backTitle.isEmpty() || metrics.horizontalAdvance(backTitle) > kLongestBackTitle) backTitle = tr("Back");
    }
    bar_->showItems(top->title(), backTitle, top->navigationItem().leftBarButtonItem(),
                    top->navigationItem().rightBarButtonItem(), animated);
}

void NavigationController::transition(ViewController* from, ViewController* to, bool forward, bool animated) {
    if (from) from->viewWillDisappear(animated);
    if (to) to->viewWillAppear(animated);
    refreshBar(animated);
    if (animated && from && to && isVisible()) {
        slide(from, to, forward);
        return;
    }
    if (to) {
        to->move(0, 0);
        to->show();
    }
    finishTransition(from, to, animated);
}

void NavigationController::slide(ViewController* from, ViewController* to, bool forward) {
    const int width = content_->width();
    to->move(forward ? width : -width, 0);
    to->show();
    // The screen that comes in from the right is on top in both directions.
    (forward ? to : from)->raise();
    auto* group = new QParallelAnimationGroup(this);
    auto addMove = [group](QWidget* widget, QPoint end) {
        auto* animation = new QPropertyAnimation(widget, "pos", group);
        animation->setDuration(KitTiming::length(kSlideMs));
        animation->setEasingCurve(QEasingCurve::OutCubic);
        animation->setEndValue(end);
        group->addAnimation(animation);
    };
    addMove(to, QPoint(0, 0));
    addMove(from, QPoint(forward ? -width : width, 0));
    inputShield_->raise();
    inputShield_->show();
    connect(group, &QAbstractAnimation::finished, this,
            [this, from = QPointer<ViewController>(from), to = QPointer<ViewController>(to)] {
                inputShield_->hide();
                finishTransition(from, to, true);
            });
    animation_ = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void NavigationController::finishTransition(ViewController* from, ViewController* to, bool animated) {
    if (from) {
        from->hide();
        from->move(0, 0);
    }
    for (const Entry& entry : std::exchange(leaving_, {})) release(entry);
    if (from) from->viewDidDisappear(animated);
    if (to) {
        to->viewDidAppear(animated);
        focusFirstControl(to);
        emit didShowViewController(to);
    }
}

void NavigationController::focusFirstControl(ViewController* screen) {
    // The keyboard goes on where the eye goes: into the screen that came,
    // unless the screen has put it somewhere itself or an alert holds it.
    const QWidget* focused = window()->focusWidget();
    if (focused && focused->isVisible() &&
        (screen->isAncestorOf(focused) || qobject_cast<const ModalOverlay*>(focused)))
        return;
    const auto widgets = screen->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(screen) && widget->isEnabled()) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void NavigationController::finishRunningAnimation() {
    if (!isAnimating()) return;
    // Jumping to the end runs the finishing step before the next change.
    animation_->setCurrentTime(animation_->totalDuration());
}

void NavigationController::purgeDestroyed() {
    const bool topGone = !stack_.isEmpty() && !stack_.last().controller;
    stack_.removeIf([](const Entry& entry) { return !entry.controller; });
    if (topGone) {
        refreshBar(false);
        if (ViewController* top = topViewController()) top->show();
    }
}
