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

constexpr int slideMs = 250;
// A back button longer than this reads "Back" instead of the title.
constexpr int longestBackTitle = 100;

} // namespace

NavigationController::NavigationController(QWidget* parent)
    : QWidget(parent), m_bar(new NavigationBar(this)), m_content(new QWidget(this)), m_inputShield(new QWidget(this)) {
    resize(Theme::windowWidth, Theme::windowHeight);
    m_inputShield->hide();
    connect(m_bar, &NavigationBar::backClicked, this, [this] { popViewControllerAnimated(true); });
    auto* back = new QShortcut(QKeySequence::Back, this);
    connect(back, &QShortcut::activated, this, [this] {
        // An alert or action sheet waits for its answer; the screen below
        // stays.
        for (const ModalOverlay* overlay : window()->findChildren<ModalOverlay*>())
            if (overlay->isVisible())
                return;
        popViewControllerAnimated(true);
    });
}

NavigationController::~NavigationController() {
    // Screens belong to their creators: hand them back before the content
    // widget would delete them as its children.
    if (m_animation)
        m_animation->stop();
    for (const Entry& entry : m_leaving)
        release(entry);
    for (const Entry& entry : m_stack)
        release(entry);
}

void NavigationController::setRootViewController(ViewController* root) {
    finishRunningAnimation();
    ViewController* previous = topViewController();
    Entry kept{root, root->parentWidget(), root->parentWidget() != nullptr};
    bool wasStacked = false;
    for (const Entry& entry : std::exchange(m_stack, {})) {
        if (entry.controller == root) {
            kept = entry;
            wasStacked = true;
        } else {
            release(entry);
        }
    }
    if (!wasStacked)
        adopt(kept);
    m_stack.append(kept);
    transition(previous == root ? nullptr : previous, root, true, false);
}

void NavigationController::pushViewController(ViewController* controller, bool animated) {
    finishRunningAnimation();
    if (!controller || viewControllers().contains(controller))
        return;
    ViewController* previous = topViewController();
    Entry entry{controller, controller->parentWidget(), controller->parentWidget() != nullptr};
    adopt(entry);
    m_stack.append(entry);
    transition(previous, controller, true, animated);
}

ViewController* NavigationController::popViewControllerAnimated(bool animated) {
    finishRunningAnimation();
    purgeDestroyed();
    if (m_stack.size() < 2)
        return nullptr;
    const Entry leaving = m_stack.takeLast();
    m_leaving.append(leaving);
    transition(leaving.controller, topViewController(), false, animated);
    return leaving.controller;
}

void NavigationController::popToRootViewControllerAnimated(bool animated) {
    finishRunningAnimation();
    purgeDestroyed();
    if (m_stack.size() < 2)
        return;
    // Only the top screen is seen leaving; the ones between go silently.
    const Entry leaving = m_stack.takeLast();
    while (m_stack.size() > 1)
        release(m_stack.takeLast());
    m_leaving.append(leaving);
    transition(leaving.controller, topViewController(), false, animated);
}

ViewController* NavigationController::topViewController() const {
    for (auto it = m_stack.crbegin(); it != m_stack.crend(); ++it)
        if (it->controller)
            return it->controller;
    return nullptr;
}

QList<ViewController*> NavigationController::viewControllers() const {
    QList<ViewController*> controllers;
    for (const Entry& entry : m_stack)
        if (entry.controller)
            controllers.append(entry.controller);
    return controllers;
}

bool NavigationController::isAnimating() const {
    return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

void NavigationController::resizeEvent(QResizeEvent*) {
    m_bar->setGeometry(0, 0, width(), Theme::navigationBarHeight);
    m_content->setGeometry(contentRect());
    m_inputShield->setGeometry(rect());
    for (ViewController* controller : viewControllers())
        controller->setGeometry(m_content->rect());
}

QRect NavigationController::contentRect() const {
    return QRect(0, Theme::navigationBarHeight, width(), height() - Theme::navigationBarHeight);
}

void NavigationController::adopt(Entry& entry) {
    ViewController* controller = entry.controller;
    controller->hide();
    controller->setParent(m_content);
    controller->setGeometry(m_content->rect());
    controller->setNavigationController(this);
    controller->loadViewIfNeeded();
    connect(controller, &ViewController::titleChanged, this, [this] { refreshBar(false); });
    connect(&controller->navigationItem(), &NavigationItem::changed, this, [this] { refreshBar(false); });
    connect(controller, &QObject::destroyed, this, &NavigationController::purgeDestroyed, Qt::QueuedConnection);
}

void NavigationController::release(const Entry& entry) {
    ViewController* controller = entry.controller;
    if (!controller)
        return;
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
        m_bar->showItems(QString(), QString(), nullptr, nullptr, animated);
        return;
    }
    QString backTitle;
    const QList<ViewController*> controllers = viewControllers();
    if (controllers.size() > 1 && !top->navigationItem().hidesBackButton()) {
        ViewController* previous = controllers.at(controllers.size() - 2);
        backTitle = previous->navigationItem().backButtonTitle();
        if (backTitle.isEmpty())
            backTitle = previous->title();
        const QFontMetrics metrics(Theme::boldSystemFont(12));
        if (backTitle.isEmpty() || metrics.horizontalAdvance(backTitle) > longestBackTitle)
            backTitle = tr("Back");
    }
    m_bar->showItems(top->title(), backTitle, top->navigationItem().leftBarButtonItem(),
                     top->navigationItem().rightBarButtonItem(), animated);
}

void NavigationController::transition(ViewController* from, ViewController* to, bool forward, bool animated) {
    if (from)
        from->viewWillDisappear(animated);
    if (to)
        to->viewWillAppear(animated);
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
    const int width = m_content->width();
    to->move(forward ? width : -width, 0);
    to->show();
    // The screen that comes in from the right is on top in both directions.
    (forward ? to : from)->raise();
    auto* group = new QParallelAnimationGroup(this);
    auto addMove = [group](QWidget* widget, QPoint end) {
        auto* animation = new QPropertyAnimation(widget, "pos", group);
        animation->setDuration(KitTiming::length(slideMs));
        animation->setEasingCurve(QEasingCurve::OutCubic);
        animation->setEndValue(end);
        group->addAnimation(animation);
    };
    addMove(to, QPoint(0, 0));
    addMove(from, QPoint(forward ? -width : width, 0));
    m_inputShield->raise();
    m_inputShield->show();
    connect(group, &QAbstractAnimation::finished, this, [this, from = QPointer<ViewController>(from),
                                                        to = QPointer<ViewController>(to)] {
        m_inputShield->hide();
        finishTransition(from, to, true);
    });
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void NavigationController::finishTransition(ViewController* from, ViewController* to, bool animated) {
    if (from) {
        from->hide();
        from->move(0, 0);
    }
    for (const Entry& entry : std::exchange(m_leaving, {}))
        release(entry);
    if (from)
        from->viewDidDisappear(animated);
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
    if (!isAnimating())
        return;
    // Jumping to the end runs the finishing step before the next change.
    m_animation->setCurrentTime(m_animation->totalDuration());
}

void NavigationController::purgeDestroyed() {
    const bool topGone = !m_stack.isEmpty() && !m_stack.last().controller;
    m_stack.removeIf([](const Entry& entry) { return !entry.controller; });
    if (topGone) {
        refreshBar(false);
        if (ViewController* top = topViewController())
            top->show();
    }
}
