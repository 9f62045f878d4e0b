#pragma once

// A launched app on a temporary device root, for UI tests on the offscreen
// platform. Alerts and action sheets answer at once with a preset button
// (none by default: they only record what they showed), so no test ever
// waits on a modal box.
#include "app/shell/BrindlexAppDelegate.h"
#include "app/shell/RootViewController.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "platform/DevicePaths.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/Label.h"
#include "platform/ui/ProgressHUD.h"
#include "platform/ui/TableContentView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "support/UiWait.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class AppHarness {
public:
    // A device of `systemVersion` with a seeded data directory; the test
    // adds messages, contacts and settings before launch().
    explicit AppHarness(const std::string& systemVersion = "6.1.3") {
        EXPECT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), systemVersion));
        Seeding::copyIfNeeded();
        AlertView::resetShownForTesting();
        ActionSheet::resetShownForTesting();
    }
    // A user's first start: the device root is not there at all, as in a
    // fresh home before any backup was imported.
    struct FreshHome {};
    explicit AppHarness(FreshHome) : freshHome_(std::in_place, "BRINDLEX_DEVICE_ROOT", root_.path() + "/device") {
        AlertView::resetShownForTesting();
        ActionSheet::resetShownForTesting();
    }
    ~AppHarness() {
        AlertView::setPresetAnswerForTesting(std::nullopt);
        ActionSheet::setPresetAnswerForTesting(std::nullopt);
    }

    SmsDatabaseFixture sms() const { return SmsDatabaseFixture(DevicePaths::smsDatabase()); }
    AddressBookFixture addressBook() const {
        AddressBookFixture book(DevicePaths::addressBook());
        book.create();
        return book;
    }
    void store(const std::string& address, std::time_t date, bool sent, const std::string& text = "hello") {
        EXPECT_GE(sms().storeMessage(FixtureMessage{address, text, date, sent, "SMS"}), 0);
    }
    void settings(const std::function<void(PropertyList&)>& change) { EXPECT_TRUE(SettingsStore::update(change)); }

    // Launches as the program does: seeding, main screen, first content,
    // then the URLs the program was started with.
    void launch(const QStringList& urls = {}) {
        launchWithoutWaitingForCounts(urls);
        waitForCounts();
    }
    // The same, but returns as soon as the window is up: what the first
    // paints show, before the background count has answered.
    void launchWithoutWaitingForCounts(const QStringList& urls = {}) {
        delegate_ = std::make_unique<BrindlexAppDelegate>([this] { return now(); },
                                                          [this](int value) {
                                                              if (badges_) badges_(value);
                                                          });
        delegate_->applicationDidFinishLaunching(urls);
        // The activation that follows the launch, and what it fills in.
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window(), uiwait::timeoutMs)) << "the window never came to the front";
        EXPECT_TRUE(uiwait::settle());
    }

    // The main screen counts on a background thread; this waits until the
    // answer to its latest count is on the screen.
    void waitForCounts() {
        RootViewController* screen = delegate_ ? delegate_->rootViewController() : nullptr;
        if (!screen) return;
        EXPECT_TRUE(QTest::qWaitFor([screen] { return !screen->isCounting(); }, 10000)) << "a count never ended";
    }

    // The window loses the focus, as when the user switches away: the app
    // saves its settings and counts the badge in the background; this waits
    // for that count.
    void goToBackground() {
        emit window().deactivated();
        waitForCounts();
    }

    // Where the app's icon badge goes from here on; empty: nowhere.
    void setBadgeSink(std::function<void(int)> sink) { badges_ = std::move(sink); }

    // The texts of the main screen's filter table row captioned `caption`
    // as its cell shows them, left to right: caption, value (possibly
    // empty), the arrow when there is one. Empty when no cell shows it.
    // Once the latest count is shown, or at once.
    enum class Counts { Shown, AsTheyAre };
    QStringList shownRow(const QString& caption, Counts counts = Counts::Shown) {
        if (counts == Counts::Shown) waitForCounts();
        // The table fills its cells at its next layout.
        uiwait::runQueuedWork();
        TableView& table = *delegate_->rootViewController()->filterTableView();
        for (TableViewCell* cell : table.contentView()->findChildren<TableViewCell*>()) {
            if (cell->isHidden()) continue;
            QList<Label*> labels = cell->contentView()->findChildren<Label*>();
            // The cell's own text labels stay empty on this screen; its
            // rows are labels of their own.
            labels.removeIf([cell](Label* label) {
                return label->isHidden() || label == cell->textLabel() || label == cell->detailTextLabel();
            });
            std::sort(labels.begin(), labels.end(), [](Label* a, Label* b) { return a->x() < b->x(); });
            if (labels.isEmpty() || labels.front()->text() != caption) continue;
            QStringList texts;
            for (Label* label : labels) texts << label->text();
            return texts;
        }
        return {};
    }
    // The value beside `caption` on the main screen.
    QString shownValue(const QString& caption, Counts counts = Counts::Shown) {
        const QStringList texts = shownRow(caption, counts);
        return texts.size() > 1 ? texts[1] : QString();
    }

    // The app's clock: fixed from here on, or the time of day when never set.
    void setNow(std::time_t now) { now_ = now; }
    std::time_t now() const { return now_ ? *now_ : std::time(nullptr); }

    BrindlexAppDelegate& delegate() { return *delegate_; }
    // The main screen, once its latest count is shown: whatever a test reads
    // from it or changes in it starts from the count it sees.
    RootViewController& root() {
        waitForCounts();
        return *delegate_->rootViewController();
    }
    PhoneWindow& window() { return *delegate_->window(); }
    NavigationController& navigation() { return window().navigationController(); }

    // Saves a picture of the window under the suite's screenshot folder.
    QString screenshot(const QString& name) {
        EXPECT_TRUE(uiwait::settle()) << "an animation never ended";
        const QString directory = QStringLiteral(BRINDLEX_SCREENSHOT_DIR);
        QDir().mkpath(directory);
        const QString path = directory + "/" + name + ".png";
        window().grab().save(path);
        return path;
    }

    // Until the progress overlay on the window (the chart's or the report's)
    // has gone, which it does once the work is done, and the screen it
    // brought has slid in.
    void waitForProgressOverlay() {
        QPointer<ProgressHUD> shown;
        for (ProgressHUD* hud : window().findChildren<ProgressHUD*>())
            if (hud->isVisible()) shown = hud;
        EXPECT_TRUE(QTest::qWaitFor([&shown] { return !shown || !shown->isVisible(); }, uiwait::timeoutMs))
            << "the progress overlay stayed";
        EXPECT_TRUE(uiwait::settle());
    }

    const std::string& rootPath() const { return root_.path(); }

private:
    ScopedEnvironment tz_{"TZ", std::string("UTC")};
    TempDeviceRoot root_;
    std::optional<ScopedEnvironment> freshHome_;
    std::optional<std::time_t> now_;
    std::function<void(int)> badges_;
    std::unique_ptr<BrindlexAppDelegate> delegate_;
};
