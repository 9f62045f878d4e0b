#pragma once

#include "daemon/BadgeEvent.h"

#include <QObject>
#include <QString>

#include <ctime>
#include <functional>
#include <set>
#include <string>

class QDBusMessage;

// Desktop notifications when the count the badge type measures reaches the
// alert thresholds (80 and 100 percent of the quota unless the settings say
// otherwise): one per threshold and period, remembered in the data directory
// across restarts. They go to the freedesktop notification server on the
// session bus with the app's icon and desktop entry, and an action that
// opens the app.
//
// Nothing here waits for the notification server: the call is sent and its
// answer arrives later on the event loop, so a server that is missing, slow
// or hung never holds up the badge or the next message.
class QuotaAlerts : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kInterface = "org.freedesktop.Notifications";
    static constexpr const char* kOpenAction = "default";

    // `openApp` runs when the user picks the notification's action; by
    // default it starts the app installed beside the daemon.
    explicit QuotaAlerts(QObject* parent = nullptr, std::function<void()> openApp = {}, std::string statePath = {});

    // After the badge of an event is set: announces a threshold that the
    // period's count has newly reached, and records it.
    void check(const BadgeEvent::Reading& reading);

    // The texts of the notification for `percent` of the quota.
    static QString summary(int percent);
    static QString body(int percent, long long used, int quota, std::time_t periodStart);

    // Starts the app: Brindlex beside this program, or the one on the PATH.
    // Run as a service, the daemon has the user's service manager start it
    // as a unit of its own, so the app does not inherit the daemon's sandbox.
    static void launchApp();

private slots:
    // Taken only from the current owner of the server's name: any program
    // on the bus may send the signal.
    void onActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message);
    void onNotificationClosed(uint id, uint reason);

private:
    long long usedCount(const BadgeEvent::Reading& reading) const;
    void notify(int percent, long long used, int quota, std::time_t periodStart);
    void listenForActions();

    std::function<void()> openApp_;
    std::string statePath_;
    std::set<uint> shown_;
    bool listening_ = false;
};
