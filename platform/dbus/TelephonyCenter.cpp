#include "platform/dbus/TelephonyCenter.h"

#include "platform/dbus/SessionBus.h"

#include <QDBusMessage>

TelephonyCenter::TelephonyCenter(QObject* parent) : QObject(parent) {}

bool TelephonyCenter::addObserver(const QString& name, Observer observer) {
    if (!subscribe()) return false;
    observers_.emplace_back(name, std::move(observer));
    return true;
}

bool TelephonyCenter::subscribe() {
    if (!subscribed_)
        subscribed_ = SessionBus::subscribe(QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterface),
                                            QString::fromLatin1(kSignal), this, SLOT(deliver(QString)));
    return subscribed_;
}

bool TelephonyCenter::post(const QString& name) {
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterface),
                                                     QString::fromLatin1(kSignal));
    signal << name;
    return SessionBus::emitSignal(signal);
}

void TelephonyCenter::deliver(const QString& name) {
    // An observer may register further observers; those hear the next
    // notification, not this one, and must not disturb the walk.
    std::vector<Observer> called;
    for (const auto& [observedName, observer] : observers_)
        if (observedName == name) called.push_back(observer);
    for (const auto& observer : called) observer(name);
}
