#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

// The phone's telephony notification center on the session bus. The phone
// (here the simulator) stores a message in sms.db and then emits the signal
// Notification(s) of org.brindlex.Telephony on /org/brindlex/Telephony,
// carrying the notification name. A center hands each such signal, from
// whichever sender, to the observers registered for its name, on the thread
// that runs the center's event loop, one call per signal.
class TelephonyCenter : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kMessageReceivedNotification = "kCTMessageReceivedNotification";
    static constexpr const char* kMessageSentNotification = "kCTMessageSentNotification";

    static constexpr const char* kObjectPath = "/org/brindlex/Telephony";
    static constexpr const char* kInterface = "org.brindlex.Telephony";
    static constexpr const char* kSignal = "Notification";

    using Observer = std::function<void(const QString& name)>;

    explicit TelephonyCenter(QObject* parent = nullptr);

    // Calls `observer` with the name for every notification of that name,
    // after the observers registered before it. The first observer
    // subscribes the center to the bus; false when that fails (no session
    // bus), in which case the observer is not kept.
    bool addObserver(const QString& name, Observer observer);

    // Emits the notification, as the phone does after storing a message, and
    // returns once the bus has routed it. False without a session bus.
    static bool post(const QString& name);

private slots:
    void deliver(const QString& name);

private:
    bool subscribe();

    std::vector<std::pair<QString, Observer>> observers_;
    bool subscribed_ = false;
};
