#include "UiTestSupport.h"

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/ProgressHUD.h"
#include "platform/ui/ViewController.h"

#include <QPointer>
#include <QSignalSpy>

namespace {

class ProgressHUDTest : public ::testing::Test {
protected:
    ProgressHUDTest() {
        window.setRootViewController(&screen);
        window.show();
    }

    // The window's pixel in the middle of the box: dark when the box is up,
    // the white screen otherwise.
    QRgb boxCentrePixel(const ProgressHUD& hud) {
        const QPoint centre = hud.boxRect().center() + QPoint(0, hud.boxRect().height() / 4);
        return window.grab().toImage().pixel(centre.x() - 60, centre.y());
    }

    ViewController screen;
    PhoneWindow window;
};

TEST_F(ProgressHUDTest, ShowThenRunPaintsTheBoxBeforeTheWorkAndHidesItAfter) {
    auto* hud = new ProgressHUD(&screen);
    bool ran = false;
    bool boxShownDuringWork = false;
    hud->showThenRun("Generating Chart. Please wait.", [&] {
        ran = true;
        boxShownDuringWork = hud->isVisible() && uitest::isDark(boxCentrePixel(*hud));
    });
    EXPECT_FALSE(ran) << "the work waits for the event loop";
    EXPECT_TRUE(hud->isVisible());
    EXPECT_TRUE(hud->activityIndicator()->isAnimating());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, 2000));
    EXPECT_TRUE(boxShownDuringWork);
    EXPECT_FALSE(hud->isVisible());
    EXPECT_FALSE(uitest::isDark(boxCentrePixel(*hud)));
}

TEST_F(ProgressHUDTest, TheWorkMayDestroyTheBoxItself) {
    QPointer<ProgressHUD> hud = new ProgressHUD(&screen);
    bool ran = false;
    hud->showThenRun("Generating Report. Please wait.", [&] {
        ran = true;
        hud->deleteLater();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran; }, 2000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(hud.isNull());
}

TEST_F(ProgressHUDTest, TheSpinnerTurnsWhileTheEventLoopRuns) {
    ProgressHUD hud(&screen);
    hud.show("Loading...");
    const int before = hud.activityIndicator()->currentStep();
    EXPECT_TRUE(QTest::qWaitFor([&] { return hud.activityIndicator()->currentStep() != before; }, uiwait::timeoutMs));
    hud.done();
    EXPECT_TRUE(hud.isDone());
    EXPECT_FALSE(hud.activityIndicator()->isAnimating());
    hud.hide();
    EXPECT_FALSE(hud.isVisible());
}

TEST_F(ProgressHUDTest, TheBoxIsCentredOverTheWindow) {
    ProgressHUD hud(&screen);
    hud.show("Generating Chart. Please wait.");
    EXPECT_EQ(hud.parentWidget(), &window);
    EXPECT_NEAR(hud.boxRect().center().x(), window.width() / 2, 1);
    EXPECT_NEAR(hud.boxRect().center().y(), window.height() / 2, 2);
}

}  // namespace
