#pragma once

#include "DaemonHarness.h"
#include "daemon/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace daemon_e2e {

// org.freedesktop.Notifications as a desktop offers it, recording every
// notification it is asked to show. With `answers` false it never replies,
// like a hung server.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        uint id = 0;
        qint64 atMs = 0;
    };

    explicit NotificationServer(bool answers = true) : answers_(answers) {}
    ~NotificationServer() override {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(QString::fromLatin1(DesktopNotifier::kService));
        bus.unregisterObject(QString::fromLatin1(DesktopNotifier::kPath));
    }

    bool start() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.registerObject(QString::fromLatin1(DesktopNotifier::kPath), this,
                                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
               bus.registerService(QString::fromLatin1(DesktopNotifier::kService));
    }
    const std::vector<Shown>& shown() const { return shown_; }

public slots:
    uint Notify(const QString& appName, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int, const QDBusMessage& message) {
        shown_.push_back({appName, icon, summary, body, actions, hints, ++lastId_, nowMs()});
        if (!answers_) message.setDelayedReply(true);
        return lastId_;
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    void CloseNotification(uint) {}

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    bool answers_;
    uint lastId_ = 0;
    std::vector<Shown> shown_;
};

}  // namespace daemon_e2e
