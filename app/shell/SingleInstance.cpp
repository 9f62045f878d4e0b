#include "app/shell/SingleInstance.h"

#include "platform/ProgramLog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kConnectAttempts = 20;
constexpr int kAttemptWaitMs = 100;
constexpr int kWriteWaitMs = 1000;
// A sender of this user's that connects and then says nothing is let go.
constexpr int kHandoverTimeoutMs = 5000;
constexpr int kLengthBytes = 4;

// The user at the other end of a connected local socket, as the kernel saw
// it when the connection was made (or the listening socket was set up).
std::optional<uid_t> peerUid(qintptr descriptor) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (descriptor < 0 || ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return std::nullopt;
    return credentials.uid;
}

bool isOurs(const QLocalSocket& socket) {
    const std::optional<uid_t> uid = peerUid(socket.socketDescriptor());
    return uid && *uid == ::geteuid();
}

// A real folder (not a link to one) of this user's that no one else may
// enter: nobody else can then put a socket or a lock file in it, nor reach ours.
QString checkPrivate(const QString& directory) {
    struct stat info {};
    if (::lstat(QFile::encodeName(directory).constData(), &info) != 0)
        return QStringLiteral("%1 cannot be read").arg(directory);
    if (!S_ISDIR(info.st_mode)) return QStringLiteral("%1 is not a folder").arg(directory);
    if (info.st_uid != ::geteuid()) return QStringLiteral("%1 belongs to another user").arg(directory);
    if ((info.st_mode & 077) != 0) return QStringLiteral("others may open %1").arg(directory);
    return QString();
}

QString describeMessage(const QString& message) { return message.left(60); }

}  // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {}

// The server's close removes the socket file; the lock goes with lock_.
SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

QString SingleInstance::keyForDeviceRoot(const QString& deviceRoot) {
    const QByteArray digest = QCryptographicHash::hash(deviceRoot.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("org.brindlex.Brindlex-%1").arg(QString::fromLatin1(digest.left(16)));
}

QString SingleInstance::privateDirectory(QString* error) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QString directory;
    if (!runtime.isEmpty()) {
        directory = QFile::decodeName(runtime);
        if (!QDir::isAbsolutePath(directory)) {
            if (error) *error = QStringLiteral("XDG_RUNTIME_DIR is not an absolute path");
            return QString();
        }
    } else {
        directory = QDir::tempPath() + QStringLiteral("/brindlex-") + QString::number(::geteuid());
        // Made private from the start; one that is there already is checked.
        ::mkdir(QFile::encodeName(directory).constData(), 0700);
    }
    const QString problem = checkPrivate(directory);
    if (!problem.isEmpty()) {
        if (error) *error = problem;
        return QString();
    }
    return directory;
}

QString SingleInstance::checkMessages(const QStringList& messages) {
    if (messages.size() > kMaxMessages)
        return QStringLiteral("%1 URLs at once; at most %2 are taken").arg(messages.size()).arg(kMaxMessages);
    for (const QString& message : messages) {
        if (message.toUtf8().size() > kMaxMessageBytes)
            return QStringLiteral("a URL longer than %1 bytes: %2...")
                .arg(kMaxMessageBytes)
                .arg(describeMessage(message));
        for (const QChar c : message)
            if (c.category() == QChar::Other_Control)
                return QStringLiteral("a URL with a control character: %1")
                    .arg(describeMessage(message).replace(QRegularExpression(QStringLiteral("\\p{Cc}")), "?"));
    }
    return QString();
}

QByteArray SingleInstance::encode(const QStringList& messages) {
    QByteArray frames;
    for (const QString& message : messages) {
        const QByteArray bytes = message.toUtf8();
        char length[kLengthBytes];
        qToBigEndian(static_cast<quint32>(bytes.size()), length);
        frames.append(length, kLengthBytes).append(bytes);
    }
    return frames;
}

bool SingleInstance::start(const QStringList& messages, QString* error) {
    QString problem;
    const QString directory = privateDirectory(&problem);
    if (directory.isEmpty()) {
        // Without a private folder there is neither a lock nor a socket to
        // trust: this start runs on its own.
        if (error) *error = QStringLiteral("cannot receive URLs from later starts: ") + problem;
        return true;
    }
    socketPath_ = directory + "/" + key_;
    lock_ = std::make_unique<QLockFile>(socketPath_ + ".lock");
    // A lock left by a crashed app is stale: QLockFile checks its process.
    if (lock_->tryLock(0)) return listen(error);
    lock_.reset();
    send(messages, error);
    return false;
}

bool SingleInstance::listen(QString* error) {
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket of that name is a dead app's leftover.
    QLocalServer::removeServer(socketPath_);
    if (!server->listen(socketPath_)) {
        // Still the app; it just cannot receive URLs.
        if (error)
            *error =
                QStringLiteral("cannot receive URLs from later starts: %1: %2").arg(socketPath_, server->errorString());
        server->deleteLater();
        return true;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

bool SingleInstance::send(const QStringList& messages, QString* error) {
    // The running app may be starting up and not listen yet.
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(kAttemptWaitMs)) {
            if (!isOurs(socket)) {
                if (error)
                    *error = QStringLiteral("%1 is another user's; the URLs are not handed over").arg(socketPath_);
                return false;
            }
            socket.write(encode(messages));
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(kWriteWaitMs)) {
            }
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(kAttemptWaitMs);
    }
    if (error) *error = QStringLiteral("another Brindlex is running but does not answer");
    return false;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (!isOurs(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // The socket reads from the kernel no more than one whole message
        // ahead, so a sender cannot make the app hold more than that.
        socket->setReadBufferSize(kLengthBytes + kMaxMessageBytes);
        auto received = std::make_shared<QStringList>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] { receive(socket, received.get()); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, received] {
            receive(socket, received.get());
            if (socket->property("refused").toBool() || socket->bytesAvailable() > 0) {
                ProgramLog::print(
                    "a handover of URLs was refused: too many, too long, with control characters or cut short\n");
            } else if (!received->isEmpty()) {
                emit messagesReceived(*received);
            }
            socket->deleteLater();
        });
        QTimer::singleShot(kHandoverTimeoutMs, socket, [socket] {
            socket->setProperty("refused", true);
            socket->abort();
        });
        // The sender may have written everything before this point.
        receive(socket, received.get());
    }
}

void SingleInstance::receive(QLocalSocket* socket, QStringList* received) {
    if (socket->property("refused").toBool()) return;
    auto refuse = [socket] {
        socket->setProperty("refused", true);
        socket->abort();
    };
    while (socket->bytesAvailable() >= kLengthBytes) {
        char header[kLengthBytes];
        socket->peek(header, kLengthBytes);
        const quint32 length = qFromBigEndian<quint32>(header);
        if (length > static_cast<quint32>(kMaxMessageBytes) || received->size() >= kMaxMessages) return refuse();
        if (socket->bytesAvailable() < kLengthBytes + static_cast<qint64>(length)) return;
        socket->skip(kLengthBytes);
        const QString message = QString::fromUtf8(socket->read(length));
        if (!checkMessages({message}).isEmpty()) return refuse();
        received->append(message);
    }
}
