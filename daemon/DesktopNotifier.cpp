#include "daemon/DesktopNotifier.h"

#include "platform/BundleIdentifier.h"
#include "platform/ProgramLog.h"
#include "platform/TerminalText.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QVariantMap>

namespace {

// The server may take this long to answer before the call is given up; it
// is never waited for, so this only bounds how long the call is tracked.
constexpr int kCallTimeoutMs = 25000;

}  // namespace

DesktopNotifier::DesktopNotifier(QObject* parent, std::function<void()> openApp)
    : QObject(parent), openApp_(openApp ? std::move(openApp) : std::function<void()>(&DesktopNotifier::launchApp)) {}

void DesktopNotifier::post(const QString& summary, const QString& body, Urgency urgency) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    listenForActions();

    const QString app = QString::fromLatin1(kBundleIdentifier);
    const QVariantMap hints{{QStringLiteral("desktop-entry"), app},
                            {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency))}};
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    call << QStringLiteral("Brindlex") << uint(0) << app << summary << body
         << QStringList{QString::fromLatin1(kOpenAction), QStringLiteral("Open Brindlex")} << hints << int(-1);

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

void DesktopNotifier::listenForActions() {
    if (listening_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Heard from any sender; onActionInvoked checks who sent it.
    listening_ = bus.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                             QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString, QDBusMessage)));
    bus.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                QStringLiteral("NotificationClosed"), this, SLOT(onNotificationClosed(uint, uint)));
}

void DesktopNotifier::onActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message) {
    if (!shown_.count(id) || actionKey != QString::fromLatin1(kOpenAction)) return;
    // Asked only for an action on one of ours, which a person does rarely:
    // the bus answers this itself, the notification server is not involved.
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus || bus->serviceOwner(QString::fromLatin1(kService)).value() != message.service()) return;
    openApp_();
}

void DesktopNotifier::onNotificationClosed(uint id, uint) { shown_.erase(id); }

void DesktopNotifier::launchApp() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Brindlex"));
    const QString program = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("Brindlex");
    // INVOCATION_ID: started by the service manager, in the unit's sandbox.
    const QString manager = QStandardPaths::findExecutable(QStringLiteral("systemd-run"));
    const bool asService = !qEnvironmentVariableIsEmpty("INVOCATION_ID") && !manager.isEmpty();
    const bool started =
        asService ? QProcess::startDetached(manager, {QStringLiteral("--user"), QStringLiteral("--collect"),
                                                      QStringLiteral("--quiet"), QStringLiteral("--"), program})
                  : QProcess::startDetached(program, {});
    if (!started) ProgramLog::print("cannot start %s\n", TerminalText::safe(program.toStdString()).c_str());
}
