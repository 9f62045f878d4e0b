#include "daemon/QuotaAlerts.h"
#include "platform/ProgramLog.h"

#include "common/QuotaAlertSettings.h"
#include "common/CounterStore.h"
#include "daemon/QuotaAlertRule.h"
#include "daemon/QuotaAlertState.h"
#include "platform/BundleIdentifier.h"
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

#include <cstdio>

namespace {

// The server may take this long to answer before the call is given up; it
// is never waited for, so this only bounds how long the call is tracked.
constexpr int kCallTimeoutMs = 25000;

QString isoDate(std::time_t moment) {
    std::tm local{};
    ::localtime_r(&moment, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return QString::fromLatin1(text);
}

}  // namespace

QuotaAlerts::QuotaAlerts(QObject* parent, std::function<void()> openApp, std::string statePath)
    : QObject(parent), openApp_(openApp ? std::move(openApp) : std::function<void()>(&QuotaAlerts::launchApp)),
      statePath_(std::move(statePath)) {}

void QuotaAlerts::check(const BadgeEvent::Reading& reading) {
    if (!QuotaAlertSettings::enabled(reading.settings) || reading.quota <= 0) return;
    const std::string path = statePath_.empty() ? QuotaAlertState::defaultPath() : statePath_;
    const QuotaAlertState state = QuotaAlertState::load(path);
    const std::set<int> announced = state.announcedIn(reading.periodStart);
    const std::vector<int> thresholds = QuotaAlertSettings::thresholds(reading.settings);

    const long long used = usedCount(reading);
    if (used < 0) return;
    const std::optional<int> percent = QuotaAlertRule::due(used, reading.quota, thresholds, announced);
    if (!percent) return;

    // Recorded before the server has answered: an alert that could not be
    // shown now is not worth repeating at every later message.
    std::set<int> updated = announced;
    for (int reached : QuotaAlertRule::reached(used, reading.quota, thresholds)) updated.insert(reached);
    if (!QuotaAlertState(reading.periodStart, updated).save(path))
        ProgramLog::print("cannot write %s; the quota alert may be repeated\n", TerminalText::safe(path).c_str());
    notify(*percent, used, reading.quota, reading.periodStart);
}

long long QuotaAlerts::usedCount(const BadgeEvent::Reading& reading) const {
    const BadgeType measured = QuotaAlertRule::measuredBadgeType(reading.badgeType);
    // The badge of a "Total" type already is the count; no second pass.
    if (reading.badgeValue && measured == reading.badgeType) return *reading.badgeValue;
    // A count that fails announces nothing.
    return CounterStore::forCurrentPhone()
        .countBadgeFrom(reading.periodStart, reading.excluded, measured, reading.quota)
        .valueOr(-1);
}

QString QuotaAlerts::summary(int percent) {
    if (percent >= 100) return QStringLiteral("Text message quota used up");
    return QStringLiteral("%1% of the text message quota used").arg(percent);
}

QString QuotaAlerts::body(int percent, long long used, int quota, std::time_t periodStart) {
    const QString since = isoDate(periodStart);
    if (percent >= 100) return QStringLiteral("%1 of %2 messages used since %3.").arg(used).arg(quota).arg(since);
    return QStringLiteral("%1 of %2 messages used since %3; %4 left.")
        .arg(used)
        .arg(quota)
        .arg(since)
        .arg(std::max(0LL, quota - used));
}

void QuotaAlerts::notify(int percent, long long used, int quota, std::time_t periodStart) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    listenForActions();

    const QString app = QString::fromLatin1(kBundleIdentifier);
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), app},
        // Critical once the quota is used up, so it stays until seen.
        {QStringLiteral("urgency"), QVariant::fromValue<uchar>(percent >= 100 ? 2 : 1)},
    };
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    call << QStringLiteral("Brindlex") << uint(0) << app << summary(percent) << body(percent, used, quota, periodStart)
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

void QuotaAlerts::listenForActions() {
    if (listening_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Heard from any sender; onActionInvoked checks who sent it.
    listening_ = bus.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                             QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString, QDBusMessage)));
    bus.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                QStringLiteral("NotificationClosed"), this, SLOT(onNotificationClosed(uint, uint)));
}

void QuotaAlerts::onActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message) {
    if (!shown_.count(id) || actionKey != QString::fromLatin1(kOpenAction)) return;
    // Asked only for an action on one of ours, which a person does rarely:
    // the bus answers this itself, the notification server is not involved.
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus || bus->serviceOwner(QString::fromLatin1(kService)).value() != message.service()) return;
    openApp_();
}

void QuotaAlerts::onNotificationClosed(uint id, uint) { shown_.erase(id); }

void QuotaAlerts::launchApp() {
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
