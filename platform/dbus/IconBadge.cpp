#include "platform/dbus/IconBadge.h"

#include "platform/dbus/SessionBus.h"

#include <QDBusMessage>
#include <QVariantMap>

QString IconBadge::appUri(const QString& bundleIdentifier) {
    return QStringLiteral("application://") + bundleIdentifier + QStringLiteral(".desktop");
}

bool IconBadge::setBadge(const QString& bundleIdentifier, qint64 value) {
    // The count travels as int64 whatever its size; docks read the type the
    // protocol names and ignore a count of another type.
    const QVariantMap properties{
        {QString::fromLatin1(kCountProperty), QVariant::fromValue<qint64>(value)},
        {QString::fromLatin1(kVisibleProperty), QVariant(value != 0)},
    };
    QDBusMessage update = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterface),
                                                     QString::fromLatin1(kSignal));
    update << appUri(bundleIdentifier) << properties;
    return SessionBus::emitSignal(update);
}
