#include "platform/dbus/SessionBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

namespace {

// Long enough for a loaded bus, short enough that a hung one does not hang
// the phone simulator.
constexpr int kBusAnswerTimeoutMs = 5000;

}  // namespace

bool SessionBus::emitSignal(const QDBusMessage& signal) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.send(signal) && roundTrip();
}

bool SessionBus::subscribe(const QString& path, const QString& interface, const QString& name, QObject* receiver,
                           const char* slot) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.connect(QString(), path, interface, name, receiver, slot) && roundTrip();
}

bool SessionBus::startDelivery() {
    if (!QDBusConnection::sessionBus().isConnected()) return false;
    // The queued step that resumes delivery runs here and passes the work on
    // to the connection's thread; the round trip queues behind it there.
    QCoreApplication::processEvents();
    return roundTrip();
}

bool SessionBus::roundTrip() {
    const QDBusMessage ping =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    const QDBusMessage answer = QDBusConnection::sessionBus().call(ping, QDBus::Block, kBusAnswerTimeoutMs);
    return answer.type() == QDBusMessage::ReplyMessage;
}
