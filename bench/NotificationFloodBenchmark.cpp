// The badge daemon under a flood of message notifications on the session
// bus, as any program of the user's could send them: its memory before and
// after, and how soon and how often the badge follows. Run on a session bus
// of its own: dbus-run-session -- brindlex-flood-bench [--messages N].
#include "BenchDevice.h"
#include "BenchReport.h"

#include "platform/BundleIdentifier.h"
#include "platform/dbus/BadgeWatcher.h"
#include "platform/dbus/IconBadge.h"
#include "platform/dbus/TelephonyCenter.h"
#include "tools/fixtures/DeviceFixture.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr std::size_t kDefaultFlood = 200000;
// Growth of the daemon's resident memory that still counts as flat.
constexpr long kMaxGrowthKb = 4096;
// A sync after the flood's last notification: its 2 s wait and the work.
constexpr qint64 kMaxBadgeDelayMs = 5000;

long statusKb(qint64 pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(std::string(field) + ":", 0) == 0) return std::stol(line.substr(std::strlen(field) + 1));
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    BenchReport::Arguments defaults;
    defaults.messages = kDefaultFlood;
    const auto arguments = BenchReport::parseArguments(argc, argv, "brindlex-flood-bench", defaults);
    if (!arguments) return 2;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "brindlex-flood-bench: no session bus; run it under dbus-run-session\n");
        return 1;
    }
    const std::string root = BenchDevice::enter(arguments->data, "flood");
    std::string error;
    if (!BenchDevice::generateOnce(
            root, "6.1.3", ".flood-ready", [] { return true; }, &error)) {
        std::fprintf(stderr, "brindlex-flood-bench: %s\n", error.c_str());
        return 1;
    }

    std::vector<qint64> badgeTimes;
    QElapsedTimer clock;
    clock.start();
    BadgeWatcher watcher([&](const QString& uri, qint64, bool) {
        if (uri == IconBadge::appUri(QString::fromLatin1(kBundleIdentifier))) badgeTimes.push_back(clock.elapsed());
    });
    watcher.start();

    QProcess daemon;
    daemon.setProgram(QCoreApplication::applicationDirPath() + "/brindlex-badged");
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon.start();
    if (!daemon.waitForStarted() || !QTest::qWaitFor([&] { return !badgeTimes.empty(); }, 15000)) {
        std::fprintf(stderr, "brindlex-flood-bench: the daemon set no badge at start\n");
        return 1;
    }
    const qint64 pid = daemon.processId();
    const long before = statusKb(pid, "VmRSS");

    const std::size_t flood = *arguments->messages;
    QDBusMessage notification = QDBusMessage::createSignal(QString::fromLatin1(TelephonyCenter::kObjectPath),
                                                           QString::fromLatin1(TelephonyCenter::kInterface),
                                                           QString::fromLatin1(TelephonyCenter::kSignal));
    notification << QString::fromLatin1(TelephonyCenter::kMessageReceivedNotification);
    const qint64 floodStart = clock.elapsed();
    for (std::size_t i = 0; i < flood; ++i) {
        bus.send(notification);
        // Keeps the connection's outgoing queue short, as a sender that
        // lets the bus keep up would.
        if (i % 1000 == 999) QCoreApplication::processEvents();
    }
    bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));  // all sent
    const qint64 floodEnd = clock.elapsed();

    const std::size_t badgesBefore = badgeTimes.size();
    static_cast<void>(QTest::qWaitFor([&] { return badgeTimes.size() > badgesBefore; }, 120000));
    const qint64 firstBadge = badgeTimes.size() > badgesBefore ? badgeTimes[badgesBefore] : -1;
    // Long enough for any further sync the flood asked for to show.
    QTest::qWait(static_cast<int>(kMaxBadgeDelayMs));
    const long after = statusKb(pid, "VmRSS");
    const long peak = statusKb(pid, "VmHWM");
    ::kill(static_cast<pid_t>(pid), SIGINT);
    daemon.waitForFinished(10000);

    const std::size_t updates = badgeTimes.size() - badgesBefore;
    const qint64 delay = firstBadge < 0 ? -1 : firstBadge - floodEnd;
    std::printf("brindlex-flood-bench: %zu notifications posted in %.2f s\n", flood,
                static_cast<double>(floodEnd - floodStart) / 1000.0);
    std::printf("  daemon memory (VmRSS)  %8ld kB before, %8ld kB after, growth %ld kB (target <= %ld); peak %ld kB\n",
                before, after, after - before, kMaxGrowthKb, peak);
    std::printf(
        "  badge updates after the flood: %zu (target 1 or 2), the first %lld ms after the last post "
        "(target <= %lld)\n",
        updates, static_cast<long long>(delay), static_cast<long long>(kMaxBadgeDelayMs));
    const bool met =
        after - before <= kMaxGrowthKb && updates >= 1 && updates <= 2 && delay >= 0 && delay <= kMaxBadgeDelayMs;
    return met ? 0 : 1;
}
