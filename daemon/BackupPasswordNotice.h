#pragma once

#include <QObject>
#include <QString>

#include <set>

// The desktop notification that a new encrypted backup waits for its
// password: posted to the freedesktop notification server the way the quota
// alerts are, with the app's icon and desktop entry, and without waiting for
// the server's answer.
class BackupPasswordNotice : public QObject {
    Q_OBJECT

public:
    explicit BackupPasswordNotice(QObject* parent = nullptr);

    // `deviceName`: the phone the backup is of, as its Info.plist names it.
    void post(const QString& deviceName);

    static QString summary();
    static QString body(const QString& deviceName);

private slots:
    void onActionInvoked(uint id, const QString& actionKey);

private:
    void listenForActions();

    std::set<uint> shown_;
    bool listening_ = false;
};
