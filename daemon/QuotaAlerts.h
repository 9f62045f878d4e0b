#pragma once

#include "daemon/BadgeEvent.h"

#include <QObject>
#include <QString>

#include <ctime>
#include <functional>
#include <string>

class DesktopNotifier;

// Desktop notifications when the count the badge type measures reaches the
// alert thresholds (80 and 100 percent of the quota unless the settings say
// otherwise): one per threshold and period, remembered in the data directory
// across restarts. They go to the freedesktop notification server on the
// session bus through DesktopNotifier, with an action that opens the app.
class QuotaAlerts : public QObject {
    Q_OBJECT

public:
    // `openApp` runs when the user picks the notification's action; by
    // default it starts the app installed beside the daemon.
    explicit QuotaAlerts(QObject* parent = nullptr, std::function<void()> openApp = {}, std::string statePath = {});

    // After the badge of an event is set: announces a threshold that the
    // period's count has newly reached, and records it.
    void check(const BadgeEvent::Reading& reading);

    // The texts of the notification for `percent` of the quota.
    static QString summary(int percent);
    static QString body(int percent, long long used, int quota, std::time_t periodStart);

private:
    long long usedCount(const BadgeEvent::Reading& reading) const;
    std::string statePath_;
    DesktopNotifier* notifier_;
};
