#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class NavigationBar;
class QParallelAnimationGroup;
class ViewController;

// The one navigation stack of the window: the navigation bar over the top
// screen. Pushing slides the new screen in from the right, popping slides
// back; animated = false switches at once. The stack does not own its
// screens: their creators keep them, and a screen leaving the stack goes
// back, hidden, to the parent it had before it was pushed (a screen whose
// parent has gone meanwhile has no owner left and is deleted).
class NavigationController : public QWidget {
    Q_OBJECT
public:
    explicit NavigationController(QWidget* parent = nullptr);
    ~NavigationController() override;

    // Empties the stack and shows the screen as its only one.
    void setRootViewController(ViewController* root);
    void pushViewController(ViewController* controller, bool animated);
    // Returns the screen taken off, or none when only the root is left.
    ViewController* popViewControllerAnimated(bool animated);
    void popToRootViewControllerAnimated(bool animated);

    ViewController* topViewController() const;
    QList<ViewController*> viewControllers() const;
    NavigationBar& navigationBar() const { return *bar_; }
    // True while a push or pop slides.
    bool isAnimating() const;

signals:
    // The screen is on top and its slide has ended.
    void didShowViewController(ViewController* controller);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Entry {
        QPointer<ViewController> controller;
        QPointer<QWidget> formerParent;
        bool hadParent = false;
    };

    void adopt(Entry& entry);
    void release(const Entry& entry);
    void refreshBar(bool animated);
    void transition(ViewController* from, ViewController* to, bool forward, bool animated);
    void slide(ViewController* from, ViewController* to, bool forward);
    void finishTransition(ViewController* from, ViewController* to, bool animated);
    void focusFirstControl(ViewController* screen);
    void finishRunningAnimation();
    void purgeDestroyed();
    QRect contentRect() const;

    NavigationBar* bar_;
    QWidget* content_;
    QWidget* inputShield_;
    QList<Entry> stack_;
    QList<Entry> leaving_;
    QPointer<QParallelAnimationGroup> animation_;
};
