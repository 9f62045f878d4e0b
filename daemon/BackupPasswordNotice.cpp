#include "daemon/BackupPasswordNotice.h"

#include "daemon/QuotaAlerts.h"
#include "platform/BundleIdentifier.h"
#include "platform/ProgramLog.h"
#include "platform/TerminalText.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

constexpr int kCallTimeoutMs = 25000;

}  // namespace

BackupPasswordNotice::BackupPasswordNotice(QObject* parent) : QObject(parent) {}

QString BackupPasswordNotice::summary() { return QStringLiteral("A new iPhone backup waits for its password"); }

QString BackupPasswordNotice::body(const QString& deviceName) {
    const QString phone = deviceName.isEmpty() ? QStringLiteral("the iPhone") : deviceName;
    return QStringLiteral(
               "The new backup of %1 is encrypted and no password for it is in the keyring, so its messages "
               "are not counted yet. Open Brindlex, Preferences, \u201cImport iPhone Backup\u201d, choose the "
               "backup folder and give the password (tick \u201cRemember the password in the keyring\u201d to "
               "have the next backups counted by themselves).")
        .arg(phone);
}

void BackupPasswordNotice::post(const QString& deviceName) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    const QString app = QString::fromLatin1(kBundleIdentifier);
    const QVariantMap hints{{QStringLiteral("desktop-entry"), app},
                            {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)}};
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(QuotaAlerts::kService), QString::fromLatin1(QuotaAlerts::kPath),
        QString::fromLatin1(QuotaAlerts::kInterface), QStringLiteral("Notify"));
    call << QStringLiteral("Brindlex") << uint(0) << app << summary() << body(deviceName)
         << QStringList{QString::fromLatin1(QuotaAlerts::kOpenAction), QStringLiteral("Open Brindlex")} << hints
         << int(-1);
    listenForActions();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError())
            ProgramLog::print("no desktop notification: %s\n",
                              TerminalText::safe(reply.error().message().toStdString()).c_str());
        else
            shown_.insert(reply.value());
        finished->deleteLater();
    });
}

void BackupPasswordNotice::listenForActions() {
    if (listening_) return;
    listening_ = QDBusConnection::sessionBus().connect(
        QString(), QString::fromLatin1(QuotaAlerts::kPath), QString::fromLatin1(QuotaAlerts::kInterface),
        QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
}

void BackupPasswordNotice::onActionInvoked(uint id, const QString& actionKey) {
    if (!shown_.count(id) || actionKey != QString::fromLatin1(QuotaAlerts::kOpenAction)) return;
    shown_.erase(id);
    QuotaAlerts::launchApp();
}
