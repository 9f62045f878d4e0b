#pragma once

#include <QString>

class QDBusMessage;
class QObject;

// The session-bus plumbing the telephony and badge layers share. QtDBus
// hands messages and match rules to its own thread and returns before the
// bus has seen them; a short-lived sender could exit with its signal still
// queued, and a new listener could miss the first signal after it
// subscribed. Both calls here therefore end with a round trip to the bus:
// the bus handles one connection's messages in order, so once its answer
// arrives everything sent before it has been routed.
class SessionBus {
public:
    // Emits the signal and waits until the bus has routed it. False when
    // there is no session bus or the bus does not answer.
    static bool emitSignal(const QDBusMessage& signal);

    // Connects `slot` of `receiver` to a signal from any sender, and waits
    // until the bus applies the match rule. An empty path matches every
    // object path. False when there is no session bus or QtDBus refuses
    // the slot's signature.
    static bool subscribe(const QString& path, const QString& interface, const QString& name, QObject* receiver,
                          const char* slot);

    // QtDBus holds back what arrives on a connection opened in the main
    // thread until the application's event loop first runs, and may then
    // hand the held signals over behind newer ones. A program that
    // subscribes before it starts its loop and cares about the order calls
    // this once after subscribing: delivery starts at once. It runs the
    // events already queued.
    static bool startDelivery();

private:
    static bool roundTrip();
};
