#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

// Listens to icon-badge updates the way a dock does: every launcher-entry
// Update signal, from any sender and object path. Like a dock it keeps each
// app's badge and applies only the properties an update carries, so an
// update that changes only the count keeps the visibility set before. Used
// by the phone simulator to show the badge and by tests.
class BadgeWatcher : public QObject {
    Q_OBJECT

public:
    // The app's URI and its badge after an update.
    using Observer = std::function<void(const QString& appUri, qint64 count, bool visible)>;

    explicit BadgeWatcher(Observer observer, QObject* parent = nullptr);

    // Subscribes to the updates; when it returns true, every update emitted
    // afterwards reaches the observer. False without a session bus.
    bool start();

private slots:
    void apply(const QString& appUri, const QVariantMap& properties);

private:
    struct Badge {
        qint64 count = 0;
        bool visible = false;
    };

    Observer observer_;
    QHash<QString, Badge> badges_;
};
