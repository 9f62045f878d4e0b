#include "app/shell/BrindlexAppDelegate.h"

#include "app/shell/RootViewController.h"
#include "common/Seeding.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PhoneWindow.h"

#include <QApplication>
#include <QRegularExpression>

BrindlexAppDelegate::BrindlexAppDelegate() = default;

BrindlexAppDelegate::~BrindlexAppDelegate() = default;

NavigationController* BrindlexAppDelegate::navigationController() const {
    return window_ ? &window_->navigationController() : nullptr;
}

void BrindlexAppDelegate::copyFileIfNeeded() { Seeding::copyIfNeeded(); }

void BrindlexAppDelegate::applicationDidFinishLaunching() {
    copyFileIfNeeded();
    window_ = std::make_unique<PhoneWindow>();
    rv_ = new RootViewController(window_.get());
    rv_->setUpComponents();
    rv_->loadUpContent();
    window_->setRootViewController(rv_);
    connect(window_.get(), &PhoneWindow::activated, this, &BrindlexAppDelegate::applicationDidBecomeActive);
    connect(window_.get(), &PhoneWindow::deactivated, this, &BrindlexAppDelegate::applicationDidEnterBackground);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &BrindlexAppDelegate::applicationWillTerminate);
    window_->show();
    window_->activateWindow();
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
    if (!url.startsWith(prefix, Qt::CaseInsensitive)) return QString();
    QString host = url.mid(prefix.size());
    const qsizetype end = host.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    return end < 0 ? host : host.left(end);
}

bool BrindlexAppDelegate::handleOpenURL(const QString& url) {
    const QString command = commandOf(url);
    if (command == QLatin1String("hideSMS"))
        SettingsStore::update([](PropertyList& settings) { settings.setString(SettingsKeys::kHideSms, "Y"); });
    else if (command == QLatin1String("showSMS"))
        SettingsStore::update([](PropertyList& settings) { settings.remove(SettingsKeys::kHideSms); });
    return true;
}
