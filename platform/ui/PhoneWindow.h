#pragma once

#include <QWidget>

class NavigationController;
class ViewController;

// The phone's screen: a fixed 320 x 480 window titled "Brindlex" holding the
// one navigation stack. Alerts, action sheets and the progress overlay are
// laid over it. The app's activation and background events are the
// application gaining and losing the focus: activated() and deactivated().
class PhoneWindow : public QWidget {
    Q_OBJECT
public:
    explicit PhoneWindow(QWidget* parent = nullptr);
    ~PhoneWindow() override;

    NavigationController& navigationController() const { return *navigation_; }
    void setRootViewController(ViewController* root);

    // The window overlays attach to: the latest phone window still open.
    static PhoneWindow* current();
    // The phone window holding the widget, else current().
    static PhoneWindow* containing(const QWidget* widget);

signals:
    void activated();
    void deactivated();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Escape and Alt+Left go back a screen, as the bar's back button (or its
    // Cancel button) does, and Return presses the focused button; keys
    // nobody else took arrive here.
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool goBack();
    void onApplicationStateChanged(Qt::ApplicationState state);

    NavigationController* navigation_;
    bool active_ = false;
};
