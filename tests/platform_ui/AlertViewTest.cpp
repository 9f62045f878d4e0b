#include "UiTestSupport.h"

#include "platform/ui/ActionSheet.h"
#include "platform/ui/ActionSheetDelegate.h"
#include "platform/ui/ActionSheetOverlay.h"
#include "platform/ui/AlertOverlay.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/ViewController.h"

#include <QAccessibleActionInterface>
#include <QSignalSpy>

#include <utility>
#include <vector>

namespace {

class RecordingDelegate : public AlertViewDelegate, public ActionSheetDelegate {
public:
    std::vector<std::pair<int, int>> alertAnswers;  // tag, button
    std::vector<int> sheetAnswers;
    // Run inside the answer, like a screen showing its next alert.
    std::function<void(AlertView&)> onAlertAnswer;

    void alertViewClickedButtonAtIndex(AlertView& alert, int buttonIndex) override {
        alertAnswers.emplace_back(alert.tag(), buttonIndex);
        if (onAlertAnswer) onAlertAnswer(alert);
    }
    void actionSheetClickedButtonAtIndex(ActionSheet&, int buttonIndex) override {
        sheetAnswers.push_back(buttonIndex);
    }
};

class OverlayTest : public ::testing::Test {
protected:
    OverlayTest() {
        AlertView::setPresetAnswerForTesting(std::nullopt);
        ActionSheet::setPresetAnswerForTesting(std::nullopt);
        AlertView::resetShownForTesting();
        ActionSheet::resetShownForTesting();
        window.setRootViewController(&screen);
        window.show();
    }
    ~OverlayTest() override {
        AlertView::setPresetAnswerForTesting(std::nullopt);
        ActionSheet::setPresetAnswerForTesting(std::nullopt);
    }

    template <typename Overlay>
    Overlay* visibleOverlay() {
        for (Overlay* overlay : window.findChildren<Overlay*>())
            if (overlay->isVisible()) return overlay;
        return nullptr;
    }

    RecordingDelegate delegate;
    ViewController screen;
    PhoneWindow window;
};

TEST_F(OverlayTest, AlertButtonsAreNumberedCancelFirst) {
    AlertView alert("Confirm Action", "Do you want to delete this SMS", &delegate, "Cancel", {"OK"});
    EXPECT_EQ(alert.numberOfButtons(), 2);
    EXPECT_EQ(alert.cancelButtonIndex(), 0);
    EXPECT_EQ(alert.buttonTitleAtIndex(1), "OK");
    AlertView single("Delete SMS", "Delete SMS failed", nullptr, QString(), {"OK"});
    EXPECT_EQ(single.cancelButtonIndex(), -1);
    EXPECT_EQ(single.buttonTitleAtIndex(0), "OK");
}

TEST_F(OverlayTest, APresetAnswerReachesTheDelegateAtOnceWithoutShowingAnything) {
    AlertView::setPresetAnswerForTesting(1);
    AlertView alert("Confirm Action", "Do you want to clear the database?", &delegate, "Cancel", {"OK"});
    alert.setTag(42);
    QSignalSpy clicked(&alert, &AlertView::clickedButtonAtIndex);
    alert.show();
    ASSERT_EQ(delegate.alertAnswers.size(), 1u);
    EXPECT_EQ(delegate.alertAnswers[0], std::make_pair(42, 1));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(alert.isVisible());
    EXPECT_EQ(visibleOverlay<AlertOverlay>(), nullptr);
    EXPECT_EQ(AlertView::lastShownTitle(), "Confirm Action");
    EXPECT_EQ(AlertView::lastShownMessage(), "Do you want to clear the database?");
}

TEST_F(OverlayTest, AnAlertShownFromItsOwnAnswerIsRecordedEachTime) {
    AlertView::setPresetAnswerForTesting(0);
    AlertView box("Clear DB", "Database cleared", &delegate, QString(), {"OK"});
    int rounds = 0;
    delegate.onAlertAnswer = [&rounds](AlertView& alert) {
        if (++rounds < 3) {
            alert.setMessage(QString("Round %1").arg(rounds));
            alert.show();
        }
    };
    box.show();
    EXPECT_EQ(AlertView::shownCountForTesting(), 3);
    EXPECT_EQ(AlertView::lastShownMessage(), "Round 2");
}

TEST_F(OverlayTest, AShownAlertReturnsAtOnceAndATapAnswersWithThatButton) {
    AlertView alert("Confirm Action", "Do you want to delete this SMS", &delegate, "Cancel", {"OK"});
    alert.show();
    EXPECT_TRUE(alert.isVisible()) << "show() returned without waiting for an answer";
    EXPECT_TRUE(delegate.alertAnswers.empty());
    AlertOverlay* overlay = visibleOverlay<AlertOverlay>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->geometry(), window.rect()) << "over the whole window";
    const QList<QRectF> buttons = overlay->buttonRects();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_LT(buttons[0].left(), buttons[1].left()) << "Cancel on the left";

    uitest::tap(overlay, buttons[1].center().toPoint());
    ASSERT_EQ(delegate.alertAnswers.size(), 1u);
    EXPECT_EQ(delegate.alertAnswers[0].second, 1);
    EXPECT_FALSE(alert.isVisible());
}

TEST_F(OverlayTest, TheAlertTakesTapsAwayFromTheScreenBelow) {
    AlertView alert("Ledger", "Text", &delegate, QString(), {"OK"});
    alert.show();
    AlertOverlay* overlay = visibleOverlay<AlertOverlay>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(window.childAt(QPoint(20, 460)), overlay);
    uitest::tap(overlay, QPoint(20, 460));
    EXPECT_TRUE(delegate.alertAnswers.empty()) << "a tap beside the panel answers nothing";
    EXPECT_TRUE(alert.isVisible());
}

TEST_F(OverlayTest, EscapeAnswersCancelAndReturnTheOtherButton) {
    AlertView alert("Confirm Action", "Sure?", &delegate, "Cancel", {"OK"});
    alert.show();
    QTest::keyClick(visibleOverlay<AlertOverlay>(), Qt::Key_Escape);
    alert.show();
    QTest::keyClick(visibleOverlay<AlertOverlay>(), Qt::Key_Return);
    ASSERT_EQ(delegate.alertAnswers.size(), 2u);
    EXPECT_EQ(delegate.alertAnswers[0].second, 0);
    EXPECT_EQ(delegate.alertAnswers[1].second, 1);
}

TEST_F(OverlayTest, ThreeButtonsStackWithCancelAtTheBottom) {
    AlertView alert("Choose", "", &delegate, "Cancel", {"One", "Two"});
    alert.show();
    const QList<QRectF> buttons = visibleOverlay<AlertOverlay>()->buttonRects();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_GT(buttons[0].top(), buttons[2].top());
    EXPECT_GT(buttons[2].top(), buttons[1].top());
}

TEST_F(OverlayTest, ShowingAVisibleAlertAgainRefreshesItsTexts) {
    AlertView alert("Clear DB", "Clear DB is successful", &delegate, QString(), {"OK"});
    alert.show();
    alert.setTitle("Ledger");
    alert.setMessage("Resyncing with default SMS database");
    alert.show();
    EXPECT_EQ(window.findChildren<AlertOverlay*>().size(), 1);
    EXPECT_EQ(AlertView::lastShownMessage(), "Resyncing with default SMS database");
}

TEST_F(OverlayTest, ActionSheetNumbersDestructiveFirstAndCancelLast) {
    ActionSheet sheet("Message Type", &delegate, "Cancel", "Clear", {"Both", "Received", "Sent"});
    EXPECT_EQ(sheet.destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet.buttonTitleAtIndex(1), "Both");
    EXPECT_EQ(sheet.cancelButtonIndex(), 4);
    ActionSheet plain("Message Type", &delegate, "Cancel", QString(), {"Both", "Received", "Sent"});
    EXPECT_EQ(plain.buttonTitleAtIndex(0), "Both");
    EXPECT_EQ(plain.cancelButtonIndex(), 3);
}

TEST_F(OverlayTest, ActionSheetPresetAnswersAtOnce) {
    ActionSheet::setPresetAnswerForTesting(2);
    ActionSheet sheet("Message Type", &delegate, "Cancel", QString(), {"Both", "Received", "Sent"});
    sheet.showInView(&screen);
    EXPECT_EQ(delegate.sheetAnswers, std::vector<int>{2});
    EXPECT_EQ(ActionSheet::lastShownTitle(), "Message Type");
    EXPECT_EQ(visibleOverlay<ActionSheetOverlay>(), nullptr);
}

TEST_F(OverlayTest, ActionSheetSlidesUpAndAnswersTheTappedButton) {
    ActionSheet sheet("Message Type", &delegate, "Cancel", QString(), {"Both", "Received", "Sent"});
    sheet.showInView(&screen);
    uitest::letAnimationsFinish();
    ActionSheetOverlay* overlay = visibleOverlay<ActionSheetOverlay>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->panelRect().bottom(), window.height()) << "fully slid up";
    uitest::tap(overlay, overlay->buttonRects()[1].center().toPoint());
    EXPECT_EQ(delegate.sheetAnswers, std::vector<int>{1});
    uitest::letAnimationsFinish();
    EXPECT_FALSE(sheet.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.findChildren<ActionSheetOverlay*>().isEmpty()) << "slid away and gone";
}

TEST_F(OverlayTest, ATapOnTheDimmedScreenCancelsTheActionSheet) {
    ActionSheet sheet("Message Type", &delegate, "Cancel", QString(), {"Both", "Received", "Sent"});
    sheet.showInView(&screen);
    uitest::letAnimationsFinish();
    uitest::tap(visibleOverlay<ActionSheetOverlay>(), QPoint(160, 40));
    EXPECT_EQ(delegate.sheetAnswers, std::vector<int>{3});
}

// A finger that lands on a button and lifts elsewhere takes the press back:
// neither that button nor, for the sheet, the dimmed part answers.
TEST_F(OverlayTest, APressLiftedOffItsButtonAnswersNothing) {
    AlertView alert("Confirm Action", "Sure?", &delegate, "Cancel", {"OK"});
    alert.show();
    AlertOverlay* alertOverlay = visibleOverlay<AlertOverlay>();
    ASSERT_NE(alertOverlay, nullptr);
    uitest::drag(alertOverlay, alertOverlay->buttonRects()[1].center().toPoint(), QPoint(20, 460));
    EXPECT_TRUE(delegate.alertAnswers.empty());
    EXPECT_TRUE(alert.isVisible());
    alert.dismissWithClickedButtonIndex(0, false);

    ActionSheet sheet("Message Type", &delegate, "Cancel", QString(), {"Both", "Received", "Sent"});
    sheet.showInView(&screen);
    uitest::letAnimationsFinish();
    ActionSheetOverlay* sheetOverlay = visibleOverlay<ActionSheetOverlay>();
    ASSERT_NE(sheetOverlay, nullptr);
    uitest::drag(sheetOverlay, sheetOverlay->buttonRects()[1].center().toPoint(), QPoint(160, 40));
    EXPECT_TRUE(delegate.sheetAnswers.empty()) << "lifted over the dimmed part, yet not a cancel";
    EXPECT_TRUE(sheet.isVisible());
}

TEST_F(OverlayTest, AScreenReaderPressesTheButtonsOfAnAlertInTheOrderTheyShow) {
    AlertView alert("Delete", "Which?", &delegate, "Cancel", {"One", "Two"});
    alert.show();
    AlertOverlay* overlay = visibleOverlay<AlertOverlay>();
    ASSERT_NE(overlay, nullptr);
    const QList<AccessibleParts::Part> parts = overlay->accessibleParts();
    ASSERT_EQ(parts.size(), 4) << "the message, then three buttons";
    EXPECT_EQ(parts[3].name, "Cancel") << "stacked, the cancel button shows last";
    overlay->triggerAccessiblePart(0, QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(delegate.alertAnswers.empty()) << "the message is no button";
    overlay->triggerAccessiblePart(3, QAccessibleActionInterface::pressAction());
    ASSERT_EQ(delegate.alertAnswers.size(), 1u);
    EXPECT_EQ(delegate.alertAnswers[0].second, 0) << "the cancel button is number 0";
}

}  // namespace
