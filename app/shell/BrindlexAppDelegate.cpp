#include "app/shell/BrindlexAppDelegate.h"

#include "app/shell/RootViewController.h"
#include "common/Seeding.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/DeviceRootJournal.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PhoneWindow.h"

#include <QApplication>
#include <QRegularExpression>

BrindlexAppDelegate::BrindlexAppDelegate(std::function<std::time_t()> clock, std::function<void(int)> setBadge)
    : clock_(std::move(clock)), setBadge_(std::move(setBadge)) {}

BrindlexAppDelegate::~BrindlexAppDelegate() = default;

NavigationController* BrindlexAppDelegate::navigationController() const {
    return window_ ? &window_->navigationController() : nullptr;
}

void BrindlexAppDelegate::copyFileIfNeeded() { Seeding::copyIfNeeded(); }

void BrindlexAppDelegate::applicationDidFinishLaunching(const QStringList& launchURLs) {
    // An import cut short is finished or undone before seeding reads the root.
    DeviceRootJournal::recoverAtStart();
    copyFileIfNeeded();
    window_ = std::make_unique<PhoneWindow>();
    rv_ = new RootViewController(window_.get(), clock_, setBadge_);
    rv_->setUpComponents();
    rv_->loadUpContent();
    window_->setRootViewController(rv_);
    connect(window_.get(), &PhoneWindow::activated, this, &BrindlexAppDelegate::applicationDidBecomeActive);
    connect(window_.get(), &PhoneWindow::deactivated, this, &BrindlexAppDelegate::applicationDidEnterBackground);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &BrindlexAppDelegate::applicationWillTerminate);
    window_->show();
    window_->activateWindow();
    // After seeding, which a first start needs for the settings file the
    // commands write; the activation that follows the launch brings them
    // onto the screen.
    handleOpenURLs(launchURLs);
}

void BrindlexAppDelegate::applicationDidBecomeActive() {
    if (rv_) rv_->loadUpContent();
}

void BrindlexAppDelegate::applicationDidEnterBackground() {
    if (rv_) rv_->saveLastDate();
}

void BrindlexAppDelegate::applicationWillTerminate() {
    if (rv_) rv_->saveLastDate();
}

QString BrindlexAppDelegate::commandOf(const QString& url) {
    static const QString prefix = QStringLiteral("brindlex://");
    static const QRegularExpression control(QStringLiteral("\\p{Cc}"));
    if (!url.startsWith(prefix, Qt::CaseInsensitive) || url.contains(control)) return QString();
    QString host = url.mid(prefix.size());
    const qsizetype end = host.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    return end < 0 ? host : host.left(end);
}

bool BrindlexAppDelegate::handleOpenURL(const QString& url) {
    handleOpenURLs({url});
    return true;
}

void BrindlexAppDelegate::handleOpenURLs(const QStringList& urls) {
    QStringList commands;
    for (const QString& url : urls) {
        const QString command = commandOf(url);
        if (command == QLatin1String("hideSMS") || command == QLatin1String("showSMS")) commands.append(command);
    }
    if (commands.isEmpty()) return;
    // The last command decides; the file is written once.
    const bool hide = commands.last() == QLatin1String("hideSMS");
    SettingsStore::update([hide](PropertyList& settings) {
        if (hide)
            settings.setString(SettingsKeys::kHideSMS, "Y");
        else
            settings.remove(SettingsKeys::kHideSMS);
    });
}

void BrindlexAppDelegate::openURL(const QString& url) { openURLs({url}); }

void BrindlexAppDelegate::openURLs(const QStringList& urls) {
    handleOpenURLs(urls);
    if (!window_) return;
    // Coming to the front is the activation that brings the command onto
    // the screen. An app that already has the focus gets no activation, so
    // it reloads as one would.
    const bool alreadyActive = QGuiApplication::applicationState() == Qt::ApplicationActive;
    window_->raise();
    window_->activateWindow();
    if (alreadyActive) applicationDidBecomeActive();
}
