#pragma once

#include "daemon/BadgeEvent.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <deque>

class QuotaAlerts;
class TelephonyCenter;

// The daemon on the Qt event loop: listens for the phone's message
// notifications and runs one BadgeEvent per notification, strictly one after
// the other. A notification that arrives while an event waits or works is
// queued and handled after it, as its own event. Waits are interruptible, so
// a stop request ends the daemon promptly even during a one-minute wait.
class BadgeDaemon : public QObject {
    Q_OBJECT

public:
    explicit BadgeDaemon(QObject* parent = nullptr);

    // Registers for both notifications; false without a session bus.
    bool start();
    // Handles one notification now (empty name: the run at start-up) and
    // then whatever queued up meanwhile.
    void CTSMSEvent(const QString& name);
    // Queues the event that counts a backup just imported, as a
    // notification would be queued.
    void backupImported();
    // Ends any wait at once; no further event starts.
    void stop();
    bool stopping() const { return stopping_; }

    // Shows the value on the icon of the app with that bundle identifier.
    static void updateBadgeForID(const char* bundleIdentifier, int value);

private:
    void enqueue(const QString& name);
    void drainQueue();
    bool interruptibleWait(std::chrono::milliseconds duration);

    TelephonyCenter* center_;
    QuotaAlerts* alerts_;
    BadgeEvent event_;
    std::deque<QString> pending_;
    bool busy_ = false;
    bool stopping_ = false;
};
