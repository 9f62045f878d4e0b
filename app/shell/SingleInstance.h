#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;

// One running app per device root. The first start takes a lock file and
// listens on a local socket; a later start finds the lock taken, hands its
// URL arguments to the running app over the socket and exits. This is how
// "xdg-open brindlex://hideSMS" reaches an app that is already open.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `key` names the instance; the app uses one per device root, so a test
    // or demo device never talks to the user's own app.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the running app (and now listens); false
    // when another one runs, after handing it `messages`. When the other one
    // holds the lock but cannot be reached, false as well, with `error` set.
    bool start(const QStringList& messages, QString* error = nullptr);

    static QString keyForDeviceRoot(const QString& deviceRoot);

signals:
    void messageReceived(const QString& message);

private:
    bool listen();
    bool send(const QStringList& messages);
    void readConnection();

    QString key_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};
