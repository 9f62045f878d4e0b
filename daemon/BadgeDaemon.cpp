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
          [this](std::chrono::milliseconds duration) { return interruptibleWait(duration); },
          [](int value) { updateBadgeForID(kBundleIdentifier, value); }, [] { return std::time(nullptr); },
          [](const std::string& problem) { ProgramLog::print("%s\n", TerminalText::safe(problem).c_str()); },
          [this](const BadgeEvent::Reading& reading) { alerts_->check(reading); }}) {}

bool BadgeDaemon::start() {
    auto queue = [this](const QString& name) { enqueue(name); };
    return center_->addObserver(TelephonyCenter::kMessageReceivedNotification, queue) &&
           center_->addObserver(TelephonyCenter::kMessageSentNotification, queue);
}

void BadgeDaemon::CTSMSEvent(const QString& name) {
    pending_.push_front(name);
    drainQueue();
}

void BadgeDaemon::backupImported() { enqueue(QString::fromLatin1(BadgeEvent::kBackupImportedEvent)); }

void BadgeDaemon::enqueue(const QString& name) {
    pending_.push_back(name);
    // Delivered during an event's wait (its nested loop): the running
    // drainQueue picks it up once that event is done.
    if (!busy_) drainQueue();
}

void BadgeDaemon::drainQueue() {
    busy_ = true;
    while (!pending_.empty() && !stopping_) {
        const QString name = pending_.front();
        pending_.pop_front();
        event_.CTSMSEvent(name.toStdString());
    }
    busy_ = false;
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
