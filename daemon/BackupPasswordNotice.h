#pragma once

#include <QObject>
#include <QString>

class DesktopNotifier;

// The desktop notification that a new encrypted backup waits for its
// password, posted through DesktopNotifier as the quota alerts are; its
// action opens the app.
class BackupPasswordNotice : public QObject {
    Q_OBJECT

public:
    explicit BackupPasswordNotice(QObject* parent = nullptr);

    // `deviceName`: the phone the backup is of, as its Info.plist names it.
    void post(const QString& deviceName);

    static QString summary();
    static QString body(const QString& deviceName);

private:
    DesktopNotifier* notifier_;
};
