#include "app/shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {

constexpr int kConnectAttempts = 20;
constexpr int kAttemptWaitMs = 100;

QString runtimeDirectory() {
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return directory.isEmpty() ? QDir::tempPath() : directory;
}

}  // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyForDeviceRoot(const QString& deviceRoot) {
    const QByteArray digest = QCryptographicHash::hash(deviceRoot.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("org.brindlex.Brindlex-%1").arg(QString::fromLatin1(digest.left(16)));
}

bool SingleInstance::start(const QStringList& messages, QString* error) {
    lock_ = std::make_unique<QLockFile>(runtimeDirectory() + "/" + key_ + ".lock");
    // A lock left by a crashed app is stale: QLockFile checks its process.
    if (lock_->tryLock(0)) return listen();
    lock_.reset();
    if (send(messages)) return false;
    if (error) *error = QStringLiteral("another Brindlex is running but does not answer");
    return false;
}

bool SingleInstance::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket of that name is a dead app's leftover.
    QLocalServer::removeServer(key_);
    if (!server_->listen(key_)) return true;  // still the app; it just cannot receive URLs
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::readConnection);
    return true;
}

bool SingleInstance::send(const QStringList& messages) {
    // The running app may be starting up and not listen yet.
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(key_);
        if (socket.waitForConnected(kAttemptWaitMs)) {
            for (const QString& message : messages) socket.write(message.toUtf8() + '\n');
            socket.flush();
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(kAttemptWaitMs);
    }
    return false;
}

void SingleInstance::readConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto drain = [this, socket] {
            while (socket->canReadLine()) {
                const QString line = QString::fromUtf8(socket->readLine()).trimmed();
                if (!line.isEmpty()) emit messageReceived(line);
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, drain);
        connect(socket, &QLocalSocket::disconnected, this, [socket, drain] {
            drain();
            socket->deleteLater();
        });
        // The sender may have written everything before this point.
        drain();
    }
}
