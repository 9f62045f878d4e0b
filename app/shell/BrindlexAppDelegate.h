#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <ctime>
#include <functional>
#include <memory>

class PhoneWindow;
class NavigationController;
class RootViewController;

// The app's delegate: seeds the data directory, builds the window with the
// main screen at the root of its one navigation stack, and forwards the
// app's activation (the window gaining the focus) and its going to the
// background (losing it) or quitting to the main screen, so the settings are
// read and written at the right moments. It also takes the brindlex: URL
// commands.
class BrindlexAppDelegate : public QObject {
    Q_OBJECT

public:
    // `clock` and `setBadge` are handed to the main screen; empty for the
    // time of day and the desktop's dock.
    explicit BrindlexAppDelegate(std::function<std::time_t()> clock = {}, std::function<void(int)> setBadge = {});
    ~BrindlexAppDelegate() override;

    // `launchURLs`: the brindlex: URLs the app was started with.
    void applicationDidFinishLaunching(const QStringList& launchURLs = {});
    // "brindlex://hideSMS" sets the hidden flag in the settings file,
    // "brindlex://showSMS" removes it; the host is compared exactly. The main
    // screen follows at its next activation. Always true.
    bool handleOpenURL(const QString& url);
    // The commands of several URLs in their order, with one write of the
    // settings file for all of them (none when no URL is a command).
    void handleOpenURLs(const QStringList& urls);
    // A URL a later start of the app handed over: the command, then the
    // window comes to the front.
    void openURL(const QString& url);
    // The URLs of one handover: their commands, then the window comes to the front.
    void openURLs(const QStringList& urls);
    void applicationDidBecomeActive();
    void applicationDidEnterBackground();
    void applicationWillTerminate();
    void copyFileIfNeeded();

    PhoneWindow* window() const { return window_.get(); }
    NavigationController* navigationController() const;
    RootViewController* rootViewController() const { return rv_; }

    // The host of a URL of the app's scheme as written (hosts are not case
    // folded here, unlike QUrl does), or "" for any other URL and for one
    // with a control character (a newline) anywhere in it.
    static QString commandOf(const QString& url);

private:
    std::function<std::time_t()> clock_;
    std::function<void(int)> setBadge_;
    std::unique_ptr<PhoneWindow> window_;
    RootViewController* rv_ = nullptr;
};
