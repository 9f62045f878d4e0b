#include "platform/dbus/BadgeWatcher.h"

#include "platform/dbus/IconBadge.h"
#include "platform/dbus/SessionBus.h"

#include <utility>

BadgeWatcher::BadgeWatcher(Observer observer, QObject* parent) : QObject(parent), observer_(std::move(observer)) {}

bool BadgeWatcher::start() {
    // Any path: each app emits from a path of its own choosing.
    return SessionBus::subscribe(QString(), QString::fromLatin1(IconBadge::kInterface),
                                 QString::fromLatin1(IconBadge::kSignal), this, SLOT(apply(QString, QVariantMap)));
}

void BadgeWatcher::apply(const QString& appUri, const QVariantMap& properties) {
    const QString countKey = QString::fromLatin1(IconBadge::kCountProperty);
    const QString visibleKey = QString::fromLatin1(IconBadge::kVisibleProperty);
    // Updates of the progress bar or the urgency flag leave the badge alone.
    if (!properties.contains(countKey) && !properties.contains(visibleKey)) return;
    Badge& badge = badges_[appUri];
    if (properties.contains(countKey)) badge.count = properties.value(countKey).toLongLong();
    if (properties.contains(visibleKey)) badge.visible = properties.value(visibleKey).toBool();
    observer_(appUri, badge.count, badge.visible);
}
