#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <set>

class QDBusMessage;

// Posts the daemon's desktop notifications to the freedesktop notification
// server on the session bus, with the app's icon and desktop entry and an
// action that opens the app.
//
// Nothing here waits for the server: the call is sent and its answer arrives
// later on the event loop, so a server that is missing, slow or hung never
// holds up the badge or the next message. The action is taken only from the
// current owner of the server's name, since any program on the bus may send
// the signal.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kInterface = "org.freedesktop.Notifications";
    static constexpr const char* kOpenAction = "default";

    enum class Urgency : uchar { Normal = 1, Critical = 2 };

    // `openApp` runs when the user picks the action of one of this
    // notifier's notifications; by default it starts the app.
    explicit DesktopNotifier(QObject* parent = nullptr, std::function<void()> openApp = {});

    void post(const QString& summary, const QString& body, Urgency urgency);

    // Starts the app: Brindlex beside this program, or the one on the PATH.
    // Run as a service, the daemon has the user's service manager start it
    // as a unit of its own, so the app does not inherit the daemon's sandbox.
    static void launchApp();

private slots:
    void onActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message);
    void onNotificationClosed(uint id, uint reason);

private:
    void listenForActions();

    std::function<void()> openApp_;
    std::set<uint> shown_;
    bool listening_ = false;
};
