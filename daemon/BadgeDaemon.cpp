#include "daemon/BadgeDaemon.h"
#include "platform/ProgramLog.h"

#include "daemon/QuotaAlerts.h"
#include "platform/BundleIdentifier.h"
#include "platform/TerminalText.h"
#include "platform/dbus/IconBadge.h"
#include "platform/dbus/TelephonyCenter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <ctime>

BadgeDaemon::BadgeDaemon(QObject* parent)
    : QObject(parent), center_(new TelephonyCenter(this)), alerts_(new QuotaAlerts(this)),
      event_(BadgeEvent::Hooks{
          // The schedule knows each request's wait; the event's own is in it.
          [this](std::chrono::milliseconds) { return waitUntilDue(); },
          [](int value) { updateBadgeForID(kBundleIdentifier, value); }, [] { return std::time(nullptr); },
          [](const std::string& problem) { ProgramLog::print("%s\n", TerminalText::safe(problem).c_str()); },
          [this](const BadgeEvent::Reading& reading) { alerts_->check(reading); }}) {}

bool BadgeDaemon::start() {
    auto request = [this](const QString& name) { requestSync(name); };
    return center_->addObserver(TelephonyCenter::kMessageReceivedNotification, request) &&
           center_->addObserver(TelephonyCenter::kMessageSentNotification, request);
}

void BadgeDaemon::CTSMSEvent(const QString& name) { requestSync(name); }

void BadgeDaemon::requestSync(const QString& reason) {
    schedule_.notify(SyncSchedule::Clock::now(), BadgeEvent::waitFor(reason.toStdString()));
    // Delivered during an event's wait (its nested loop) or work: the
    // running loop below serves it.
    if (!busy_) runScheduledSyncs();
}

void BadgeDaemon::backupImported() { requestSync(QString::fromLatin1(BadgeEvent::kBackupImportedEvent)); }

void BadgeDaemon::runScheduledSyncs() {
    busy_ = true;
    while (schedule_.pending() && !stopping_) {
        started_ = false;
        // The wait's length comes from the schedule; the name only chose it.
        event_.CTSMSEvent(std::string());
        // An event without a counter database ends before its wait; what it
        // was asked for is done all the same.
        if (!started_ && !stopping_) schedule_.start(SyncSchedule::Clock::now());
    }
    busy_ = false;
}

bool BadgeDaemon::waitUntilDue() {
    // Requests folded in during the wait may move the due time later.
    while (schedule_.pending() && SyncSchedule::Clock::now() < schedule_.due()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(schedule_.due() - SyncSchedule::Clock::now());
        if (!interruptibleWait(left)) return false;
    }
    if (stopping_) return false;
    schedule_.start(SyncSchedule::Clock::now());
    started_ = true;
    ++syncsStarted_;
    return true;
}

void BadgeDaemon::stop() {
    stopping_ = true;
    // Leaves every running event loop, the wait's nested one included.
    QCoreApplication::exit(0);
}

bool BadgeDaemon::interruptibleWait(std::chrono::milliseconds duration) {
    if (stopping_) return false;
    QEventLoop loop;
    // A coarse timer may fire up to 5% early; the phone is promised the
    // whole wait to finish writing its message.
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return !stopping_;
}

void BadgeDaemon::updateBadgeForID(const char* bundleIdentifier, int value) {
    IconBadge::setBadge(QString::fromUtf8(bundleIdentifier), value);
}
