#pragma once

#include <QBrush>
#include <QWidget>

class NavigationController;
class NavigationItem;

// The base of every screen: a widget that fills the area under the
// navigation bar (320 x 436 points), with a title, the navigation item of
// its bar buttons, and the hooks the navigation controller calls as the
// screen comes and goes. Screens place their parts by frames in points.
class ViewController : public QWidget {
    Q_OBJECT
public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

    QString title() const { return title_; }
    void setTitle(const QString& title);
    NavigationItem& navigationItem() { return *navigationItem_; }
    // The controller whose stack holds this screen, or none.
    NavigationController* navigationController() const { return navigationController_; }

    // The background painted under the screen's parts: white unless set,
    // Theme::groupTableBackground() for the grouped look.
    void setBackgroundBrush(const QBrush& brush);
    QBrush backgroundBrush() const { return background_; }

    // Runs viewDidLoad() once, before the first appearance at the latest;
    // screens whose set-up the caller needs earlier call it themselves.
    void loadViewIfNeeded();
    bool isViewLoaded() const { return viewLoaded_; }

    // Called by the navigation controller around every push and pop.
    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);

signals:
    void titleChanged(const QString& title);

protected:
    // Builds what the screen shows once; the default does nothing.
    virtual void viewDidLoad();
    void paintEvent(QPaintEvent* event) override;

private:
    friend class NavigationController;
    void setNavigationController(NavigationController* controller);

    QString title_;
    NavigationItem* navigationItem_;
    // Cleared by the navigation controller when the screen leaves its stack
    // and when the controller goes.
    NavigationController* navigationController_ = nullptr;
    QBrush background_;
    bool viewLoaded_ = false;
};
