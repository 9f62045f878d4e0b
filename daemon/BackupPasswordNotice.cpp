#include "daemon/BackupPasswordNotice.h"

#include "daemon/DesktopNotifier.h"

BackupPasswordNotice::BackupPasswordNotice(QObject* parent) : QObject(parent), notifier_(new DesktopNotifier(this)) {}

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
    notifier_->post(summary(), body(deviceName), DesktopNotifier::Urgency::Normal);
}
