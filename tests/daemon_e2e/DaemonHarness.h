#pragma once

// What the end-to-end tests of brindlex-badged share: the daemon as a child
// process, the badge as a dock sees it, the phone simulator, and read-backs
// of the counter database and the settings file. Everything waits on the Qt
// event loop, so the test process keeps receiving bus signals while it waits.

#include "common/PhoneProfile.h"
#include "common/SettingsStore.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/BundleIdentifier.h"
#include "platform/DevicePaths.h"
#include "platform/dbus/BadgeWatcher.h"
#include "platform/dbus/IconBadge.h"
#include "platform/dbus/TelephonyCenter.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace daemon_e2e {

// The programs under test sit beside the test program in bin/.
inline QString programPath(const char* name) {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    return QString::fromStdString((self.parent_path() / name).string());
}

// Milliseconds since the first call: one clock for every timestamp a test takes.
inline qint64 nowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

inline bool waitFor(const std::function<bool()>& done, int timeoutMs) { return QTest::qWaitFor(done, timeoutMs); }

// Keeps the event loop running for that long (bus signals keep arriving).
inline void idle(int ms) {
    const qint64 until = nowMs() + ms;
    static_cast<void>(QTest::qWaitFor([&] { return nowMs() >= until; }, ms + 1000));
}

struct BadgeUpdate {
    qint64 count = 0;
    bool visible = false;
    qint64 atMs = 0;
};

// Every badge update of the app, as a dock receives it, with its arrival time.
class BadgeLog {
public:
    BadgeLog()
        : watcher_([this](const QString& appUri, qint64 count, bool visible) {
              if (appUri == IconBadge::appUri(QString::fromLatin1(kBundleIdentifier)))
                  updates_.push_back({count, visible, nowMs()});
          }) {}

    bool start() { return watcher_.start(); }
    const std::vector<BadgeUpdate>& updates() const { return updates_; }
    std::size_t size() const { return updates_.size(); }
    const BadgeUpdate& last() const { return updates_.back(); }

    // Waits until `count` updates have arrived in all.
    bool waitForUpdates(std::size_t count, int timeoutMs = 10000) {
        return waitFor([&] { return updates_.size() >= count; }, timeoutMs);
    }

private:
    std::vector<BadgeUpdate> updates_;
    BadgeWatcher watcher_;
};

// When each telephony notification went over the bus, seen from here: the
// daemon hears it at the same moment.
class NotificationLog {
public:
    bool start() {
        for (const char* name :
             {TelephonyCenter::kMessageReceivedNotification, TelephonyCenter::kMessageSentNotification})
            if (!center_.addObserver(QString::fromLatin1(name), [this](const QString&) { times_.push_back(nowMs()); }))
                return false;
        return true;
    }
    const std::vector<qint64>& times() const { return times_; }

private:
    TelephonyCenter center_;
    std::vector<qint64> times_;
};

struct ProgramRun {
    int status = -1;  // -1: did not start, crashed or timed out
    std::string out;
    std::string err;
};

// Runs brindlex-phone to its end while the event loop keeps running.
inline ProgramRun phone(const QStringList& arguments) {
    QProcess process;
    process.start(programPath("brindlex-phone"), arguments);
    if (!process.waitForStarted(10000)) return {};
    const bool finished = waitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    if (!finished || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

// brindlex-badged as a child process. It inherits the test's environment
// (device root and session bus) unless given another one, and is killed if
// a test ends with it still running.
class DaemonProcess {
public:
    static constexpr const char* kStartedLine = "Starting run loop and waiting for notification.\n";
    static constexpr const char* kInterruptedLine = "\nInterrupted.\n";

    explicit DaemonProcess(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment()) {
        process_.setProcessEnvironment(environment);
    }
    ~DaemonProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    bool start() {
        process_.start(programPath("brindlex-badged"), QStringList());
        startedAtMs_ = nowMs();
        return process_.waitForStarted(10000);
    }
    // Starts the daemon and waits for the badge its start-up run sets.
    ::testing::AssertionResult startUntilBadged(BadgeLog& badges) {
        if (!start()) return ::testing::AssertionFailure() << "brindlex-badged did not start";
        if (!badges.waitForUpdates(1, 15000)) return ::testing::AssertionFailure() << "no badge: " << err();
        return ::testing::AssertionSuccess();
    }
    qint64 startedAtMs() const { return startedAtMs_; }
    qint64 pid() const { return process_.processId(); }
    bool running() const { return process_.state() != QProcess::NotRunning; }

    // Waits until standard output holds `text`.
    bool waitForOutput(const std::string& text, int timeoutMs = 15000) {
        return waitFor([&] { return out().find(text) != std::string::npos; }, timeoutMs);
    }
    bool waitForStarted(int timeoutMs = 15000) { return waitForOutput(kStartedLine, timeoutMs); }
    bool waitForError(const std::string& text, int timeoutMs = 15000) {
        return waitFor([&] { return err().find(text) != std::string::npos; }, timeoutMs);
    }
    bool waitForExit(int timeoutMs) {
        return waitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
    }

    // The daemon catches SIGINT and SIGTERM once its handlers are in place;
    // a signal sent before would kill it outright.
    bool waitForSignalHandlers(int timeoutMs = 15000) {
        const auto caught = [&] {
            const std::optional<std::string> mask = statusField("SigCgt");
            if (!mask) return false;
            const unsigned long long bits = std::stoull(*mask, nullptr, 16);
            return (bits >> (SIGINT - 1) & 1) && (bits >> (SIGTERM - 1) & 1);
        };
        return waitFor(caught, timeoutMs);
    }

    // Sends the signal and waits for the exit; the milliseconds it took, or
    // -1 when the daemon was still running after `timeoutMs`.
    qint64 signalAndWait(int signal, int timeoutMs = 5000) {
        const qint64 sent = nowMs();
        ::kill(static_cast<pid_t>(pid()), signal);
        if (!waitForExit(timeoutMs)) return -1;
        return nowMs() - sent;
    }

    bool exitedNormally() const { return process_.exitStatus() == QProcess::NormalExit; }
    int exitCode() const { return process_.exitCode(); }

    std::string out() {
        collect();
        return out_.toStdString();
    }
    std::string err() {
        collect();
        return err_.toStdString();
    }

    // Peak resident memory in kilobytes (VmHWM), while it runs.
    std::optional<long> peakMemoryKb() const {
        const std::optional<std::string> field = statusField("VmHWM");
        if (!field) return std::nullopt;
        return std::stol(*field);
    }

private:
    void collect() {
        out_ += process_.readAllStandardOutput();
        err_ += process_.readAllStandardError();
    }

    std::optional<std::string> statusField(const std::string& name) const {
        std::ifstream status("/proc/" + std::to_string(pid()) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind(name + ":", 0) != 0) continue;
            std::istringstream value(line.substr(name.size() + 1));
            std::string first;
            value >> first;
            return first;
        }
        return std::nullopt;
    }

    QProcess process_;
    QByteArray out_;
    QByteArray err_;
    qint64 startedAtMs_ = 0;
};

// One row of the counter database.
struct CounterRow {
    std::string address;
    std::int64_t date = 0;
    std::string text;
    int flags = 0;
    int smscount = 0;

    bool operator==(const CounterRow&) const = default;
};

// The counter database of the current system version, in insertion order;
// nothing when it cannot be read.
inline std::optional<std::vector<CounterRow>> counterRows() {
    SqliteDatabase db;
    if (!db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly)) return std::nullopt;
    SqliteStatement select;
    if (!select.prepare(db, "SELECT address, date, ifnull(text, ''), flags, smscount FROM message ORDER BY rowid"))
        return std::nullopt;
    std::vector<CounterRow> rows;
    while (select.step() == SqliteStatement::Step::Row)
        rows.push_back({select.columnString(0), select.columnInt(1), select.columnString(2),
                        static_cast<int>(select.columnInt(3)), static_cast<int>(select.columnInt(4))});
    return rows;
}

// Rows that occur more than once in the counter database.
inline long long duplicateCounterRows() {
    SqliteDatabase db;
    if (!db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly)) return -1;
    SqliteStatement select;
    if (!select.prepare(db,
                        "SELECT ifnull(sum(n - 1), 0) FROM (SELECT count(*) AS n FROM message "
                        "GROUP BY address, date, text, flags)"))
        return -1;
    return select.step() == SqliteStatement::Step::Row ? select.columnInt(0) : -1;
}

// Changes the settings file the way the app does (it must exist).
inline void changeSettings(const std::function<void(PropertyList&)>& change) {
    ASSERT_TRUE(SettingsStore::update(change)) << "cannot update " << DevicePaths::settingsFile();
}

inline std::int64_t settingsInteger(const std::string& key, std::int64_t fallback = -1) {
    const auto settings = SettingsStore::load();
    return settings ? settings->integerValue(key, fallback) : fallback;
}

// A GSM text of exactly `segments` segments (160 characters each, long
// messages included).
inline std::string textOfSegments(int segments) {
    if (segments <= 1) return "Hello";
    return std::string(static_cast<std::size_t>(160 * (segments - 1) + 10), 'a');
}

// 00:00 local time today, and the day of the month.
inline std::time_t localMidnight(int* dayOfMonth = nullptr) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    if (dayOfMonth) *dayOfMonth = local.tm_mday;
    local.tm_hour = local.tm_min = local.tm_sec = 0;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

}  // namespace daemon_e2e
