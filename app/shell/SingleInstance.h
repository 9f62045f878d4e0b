#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;

// One running app per device root. The first start takes a lock file and
// listens on a local socket; a later start finds the lock taken, hands its
// URL arguments to the running app over the socket and exits. This is how
// "xdg-open brindlex://hideSMS" reaches an app that is already open.
//
// Both files live in a folder only this user can enter: $XDG_RUNTIME_DIR, or
// <temp>/brindlex-<uid> when it is unset, which is refused unless it is a
// real folder of this user's that no one else can open. Each end of the
// socket asks the kernel who is at the other end and talks only to this
// user. A handover is at most kMaxMessages messages of at most
// kMaxMessageBytes each, every one framed by its length.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxMessages = 16;
    static constexpr int kMaxMessageBytes = 4096;

    // `key` names the instance; the app uses one per device root, so a test
    // or demo device never talks to the user's own app.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the running app; false when another one
    // runs, after handing it `messages`. When the other one holds the lock
    // but cannot be reached (or is not this user's), false as well, with
    // `error` set. True with `error` set: this is the app, but it cannot
    // receive URLs from later starts, for the reason given.
    bool start(const QStringList& messages, QString* error = nullptr);

    // Whether later starts can reach this one.
    bool receiving() const { return server_ != nullptr; }
    // The socket's full path (empty before start or without a folder).
    QString socketPath() const { return socketPath_; }

    static QString keyForDeviceRoot(const QString& deviceRoot);

    // Why the arguments cannot be handed over or opened ("" when they can):
    // too many, too long, or a control character (a newline included) in one.
    // The first start checks its arguments the same way.
    static QString checkMessages(const QStringList& messages);
    // Each message as its length (4 bytes, big endian) and its UTF-8 bytes.
    static QByteArray encode(const QStringList& messages);

    // The folder for the lock and the socket, or "" with `error` set.
    static QString privateDirectory(QString* error);

signals:
    // The messages of one handover, in their order, once its sender is done.
    void messagesReceived(const QStringList& messages);

private:
    bool listen(QString* error);
    bool send(const QStringList& messages, QString* error);
    void acceptConnections();
    void receive(QLocalSocket* socket, QStringList* received);

    QString key_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};
