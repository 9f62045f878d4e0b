#pragma once

#include "daemon/BadgeEvent.h"
#include "daemon/SyncSchedule.h"

#include <QObject>
#include <QString>

#include <chrono>

class QuotaAlerts;
class TelephonyCenter;

// The daemon on the Qt event loop: listens for the phone's message
// notifications and runs BadgeEvents, strictly one after the other. The
// notifications are not queued one by one: each asks for a sync, and those
// that arrive while a sync waits fold into it (SyncSchedule), so any number
// of them costs one pending sync. One that arrives while a sync works gets
// exactly one more sync after it. Waits are interruptible, so a stop request
// ends the daemon promptly even during a one-minute wait.
class BadgeDaemon : public QObject {
    Q_OBJECT

public:
    explicit BadgeDaemon(QObject* parent = nullptr);

    // Registers for both notifications; false without a session bus.
    bool start();
    // Handles one notification now (empty name: the run at start-up) and
    // then whatever asked for a sync meanwhile.
    void CTSMSEvent(const QString& name);
    // Queues the event that counts a backup just imported, as a
    // notification would be queued.
    void backupImported();
    // Asks for a sync after the wait `reason` needs (a notification's name;
    // anything else waits as for a received message). Returns at once when a
    // sync is already waiting or working; the request is then served by it
    // or by the one after it.
    void requestSync(const QString& reason);
    // Ends any wait at once; no further event starts.
    void stop();
    bool stopping() const { return stopping_; }
    // Syncs scheduled (0 to 2, however many requests) and run so far.
    int scheduledSyncs() const { return schedule_.scheduled(); }
    int syncsStarted() const { return syncsStarted_; }

    // Shows the value on the icon of the app with that bundle identifier.
    static void updateBadgeForID(const char* bundleIdentifier, int value);

private:
    void runScheduledSyncs();
    bool waitUntilDue();
    bool interruptibleWait(std::chrono::milliseconds duration);

    TelephonyCenter* center_;
    QuotaAlerts* alerts_;
    BadgeEvent event_;
    SyncSchedule schedule_{BadgeEvent::kSentWait};
    bool busy_ = false;
    bool started_ = false;  // whether the running event's sync has begun
    int syncsStarted_ = 0;
    bool stopping_ = false;
};
