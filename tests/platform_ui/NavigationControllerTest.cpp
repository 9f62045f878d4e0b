#include "UiTestSupport.h"

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/ViewController.h"

#include <QPointer>
#include <QSignalSpy>

#include <memory>

namespace {

// Records the order in which the navigation controller calls its hooks.
class RecordingController : public ViewController {
public:
    RecordingController(const QString& title, QStringList& log, QWidget* parent = nullptr)
        : ViewController(parent), log_(log) {
        setTitle(title);
    }

    void viewWillAppear(bool) override { log_ << title() + " willAppear"; }
    void viewDidAppear(bool) override { log_ << title() + " didAppear"; }
    void viewWillDisappear(bool) override { log_ << title() + " willDisappear"; }
    void viewDidDisappear(bool) override { log_ << title() + " didDisappear"; }

protected:
    void viewDidLoad() override { log_ << title() + " didLoad"; }

private:
    QStringList& log_;
};

class NavigationControllerTest : public ::testing::Test {
protected:
    NavigationControllerTest()
        : root(std::make_unique<RecordingController>("Root", log)),
          details(std::make_unique<RecordingController>("Details", log)),
          more(std::make_unique<RecordingController>("More", log)) {
        window.setRootViewController(root.get());
        window.show();
        log.clear();
    }

    NavigationController& navigation() { return window.navigationController(); }
    NavigationBar& bar() { return navigation().navigationBar(); }

    QStringList log;
    // The screens belong to the test, as the app's screens belong to the app.
    std::unique_ptr<RecordingController> root;
    std::unique_ptr<RecordingController> details;
    std::unique_ptr<RecordingController> more;
    PhoneWindow window;
};

TEST_F(NavigationControllerTest, PushAndPopUpdateTitleAndBackButton) {
    EXPECT_EQ(bar().title(), "Root");
    EXPECT_EQ(bar().backButtonTitle(), "");

    navigation().pushViewController(details.get(), false);
    EXPECT_EQ(navigation().topViewController(), details.get());
    EXPECT_EQ(bar().title(), "Details");
    EXPECT_EQ(bar().backButtonTitle(), "Root");

    navigation().pushViewController(more.get(), false);
    EXPECT_EQ(bar().backButtonTitle(), "Details");

    EXPECT_EQ(navigation().popViewControllerAnimated(false), more.get());
    EXPECT_EQ(bar().title(), "Details");
    EXPECT_EQ(bar().backButtonTitle(), "Root");

    navigation().popToRootViewControllerAnimated(false);
    EXPECT_EQ(navigation().viewControllers(), QList<ViewController*>{root.get()});
    EXPECT_EQ(bar().backButtonTitle(), "");
    EXPECT_EQ(navigation().popViewControllerAnimated(false), nullptr) << "the root stays";
}

TEST_F(NavigationControllerTest, BackButtonTitleFollowsThePreviousScreensChoice) {
    root->navigationItem().setBackButtonTitle("Home");
    navigation().pushViewController(details.get(), false);
    EXPECT_EQ(bar().backButtonTitle(), "Home");

    root->navigationItem().setBackButtonTitle(QString());
    root->setTitle("A title far too long to fit into a back button");
    navigation().popViewControllerAnimated(false);
    navigation().pushViewController(details.get(), false);
    EXPECT_EQ(bar().backButtonTitle(), "Back");
}

TEST_F(NavigationControllerTest, TappingTheBackButtonPops) {
    navigation().pushViewController(details.get(), false);
    uitest::tap(bar().backButton());
    uitest::letAnimationsFinish();
    EXPECT_EQ(navigation().topViewController(), root.get());
    EXPECT_TRUE(root->isVisible());
    EXPECT_FALSE(details->isVisible());
}

TEST_F(NavigationControllerTest, HooksRunInOrderAroundPushAndPop) {
    navigation().pushViewController(details.get(), false);
    EXPECT_EQ(log, (QStringList{"Details didLoad", "Root willDisappear", "Details willAppear", "Root didDisappear",
                                "Details didAppear"}));
    log.clear();
    navigation().popViewControllerAnimated(false);
    EXPECT_EQ(log, (QStringList{"Details willDisappear", "Root willAppear", "Details didDisappear", "Root didAppear"}));
    log.clear();
    navigation().pushViewController(details.get(), false);
    EXPECT_FALSE(log.contains("Details didLoad")) << "a screen loads once";
}

TEST_F(NavigationControllerTest, AnimatedPushSlidesAndEndsWithOnlyTheNewScreenShown) {
    navigation().pushViewController(details.get(), true);
    EXPECT_TRUE(navigation().isAnimating());
    EXPECT_FALSE(log.contains("Details didAppear")) << "didAppear waits for the slide";
    uitest::letAnimationsFinish();
    EXPECT_FALSE(navigation().isAnimating());
    EXPECT_TRUE(log.contains("Details didAppear"));
    EXPECT_EQ(details->pos(), QPoint(0, 0));
    EXPECT_FALSE(root->isVisible());
}

TEST_F(NavigationControllerTest, APushDuringASlideFinishesTheSlideFirst) {
    navigation().pushViewController(details.get(), true);
    navigation().pushViewController(more.get(), false);
    EXPECT_EQ(navigation().viewControllers(), (QList<ViewController*>{root.get(), details.get(), more.get()}));
    EXPECT_TRUE(more->isVisible());
    EXPECT_FALSE(details->isVisible());
    EXPECT_EQ(more->pos(), QPoint(0, 0));
}

TEST_F(NavigationControllerTest, PoppedScreensLiveOnWithTheirFormerParent) {
    QWidget keeper;
    auto* kept = new RecordingController("Kept", log, &keeper);
    navigation().pushViewController(kept, false);
    EXPECT_EQ(kept->navigationController(), &navigation());
    navigation().popViewControllerAnimated(false);
    EXPECT_EQ(kept->parentWidget(), &keeper);
    EXPECT_EQ(kept->navigationController(), nullptr);
    EXPECT_FALSE(kept->isVisible());
    // Pushing the same screen again works as the first time.
    navigation().pushViewController(kept, false);
    EXPECT_EQ(bar().title(), "Kept");
}

TEST_F(NavigationControllerTest, AScreenWhoseOwnerWentAwayGoesWithTheStack) {
    QPointer<RecordingController> orphan;
    {
        QWidget owner;
        orphan = new RecordingController("Orphan", log, &owner);
        navigation().pushViewController(orphan, false);
    }
    ASSERT_FALSE(orphan.isNull()) << "on the stack, it outlives its owner";
    navigation().popViewControllerAnimated(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(orphan.isNull()) << "nobody is left to delete it";
}

TEST_F(NavigationControllerTest, DestroyingTheWindowLeavesStackedScreensToTheirOwners) {
    auto window2 = std::make_unique<PhoneWindow>();
    RecordingController first("First", log);
    RecordingController second("Second", log);
    window2->setRootViewController(&first);
    window2->navigationController().pushViewController(&second, false);
    window2.reset();
    // Both are stack objects: a delete by the window would crash here.
    EXPECT_EQ(first.parentWidget(), nullptr);
    EXPECT_EQ(second.navigationController(), nullptr);
}

TEST_F(NavigationControllerTest, AScreenDestroyedOnTopIsTakenOffTheStack) {
    auto temporary = std::make_unique<RecordingController>("Temporary", log);
    navigation().pushViewController(temporary.get(), false);
    temporary.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(navigation().topViewController(), root.get());
    EXPECT_EQ(bar().title(), "Root");
    EXPECT_TRUE(root->isVisible());
}

TEST_F(NavigationControllerTest, BarButtonsFollowTheTopScreensNavigationItem) {
    auto* edit = new BarButtonItem(BarButtonItem::SystemItem::Edit);
    details->navigationItem().setRightBarButtonItem(edit);
    EXPECT_EQ(edit->parent(), &details->navigationItem()) << "an item without parent is adopted";
    navigation().pushViewController(details.get(), false);
    EXPECT_TRUE(bar().rightButton()->isVisible());
    EXPECT_EQ(bar().rightButton()->text(), "Edit");

    QSignalSpy clicked(edit, &BarButtonItem::clicked);
    uitest::tap(bar().rightButton());
    EXPECT_EQ(clicked.count(), 1);

    // The screen swaps Edit for Done while shown.
    BarButtonItem done(BarButtonItem::SystemItem::Done);
    details->navigationItem().setRightBarButtonItem(&done);
    EXPECT_EQ(bar().rightButton()->text(), "Done");
    EXPECT_EQ(bar().rightButton()->kind(), NavigationBarButton::Kind::Done);
    details->navigationItem().setRightBarButtonItem(nullptr);
    EXPECT_FALSE(bar().rightButton()->isVisible());
}

TEST_F(NavigationControllerTest, ALeftItemTakesTheBackButtonsPlace) {
    BarButtonItem cancel(BarButtonItem::SystemItem::Cancel);
    details->navigationItem().setLeftBarButtonItem(&cancel);
    navigation().pushViewController(details.get(), false);
    EXPECT_FALSE(bar().backButton()->isVisible());
    EXPECT_TRUE(bar().leftButton()->isVisible());
    EXPECT_EQ(bar().leftButton()->text(), "Cancel");
}

TEST_F(NavigationControllerTest, TitleChangesOfTheTopScreenReachTheBar) {
    navigation().pushViewController(details.get(), false);
    details->setTitle("Incoming");
    EXPECT_EQ(bar().title(), "Incoming");
}

TEST(PhoneWindowTest, IsAFixedPhoneSizedWindowTitledBrindlex) {
    PhoneWindow window;
    EXPECT_EQ(window.windowTitle(), "Brindlex");
    EXPECT_EQ(window.minimumSize(), QSize(320, 480));
    EXPECT_EQ(window.maximumSize(), QSize(320, 480));
    EXPECT_EQ(PhoneWindow::current(), &window);
}

TEST(PhoneWindowTest, ReportsActivationAndDeactivationOnce) {
    PhoneWindow window;
    QSignalSpy activated(&window, &PhoneWindow::activated);
    QSignalSpy deactivated(&window, &PhoneWindow::deactivated);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationHidden);
    EXPECT_EQ(activated.count(), 1);
    EXPECT_EQ(deactivated.count(), 1);
}

}  // namespace
