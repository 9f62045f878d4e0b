// brindlex-badged: keeps the app's icon badge up to date. On every message
// the phone stores it copies what is new into the counter database and sets
// the badge to the count the settings ask for.
#include "common/Seeding.h"
#include "platform/ProgramLog.h"
#include "platform/TerminalText.h"
#include "daemon/BadgeDaemon.h"
#include "daemon/BackupWatcher.h"
#include "platform/cli/SignalPipe.h"
#include "platform/DevicePaths.h"
#include "platform/DeviceRootJournal.h"
#include "platform/cli/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <sys/stat.h>

namespace {

void warnWithoutDataDirectory() {
    struct stat info {};
    const std::string directory = DevicePaths::dataDirectory();
    if (::stat(directory.c_str(), &info) == 0) return;
    ProgramLog::print(
        "no data directory %s: nothing is counted until it exists and the daemon "
        "is started again\n",
        directory.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    ProgramLog::setProgramName("brindlex-badged");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Keeps the icon badge of Brindlex up to date: copies every new text message into the counter database\n"
        "and sets the badge, and warns on the desktop when the quota is nearly or wholly used."));
    if (const auto status = CommandLine::parse(parser, app.arguments(), 0)) return *status;
    // Unbuffered, so a service journal shows the lines as they happen.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    // Nothing is read or written in a root another user could read or change.
    if (const std::string why = DevicePaths::secureRoot(); !why.empty()) {
        ProgramLog::print("%s\n", TerminalText::safe(why).c_str());
        return 1;
    }
    // An import cut short is finished or undone before the root is read.
    DeviceRootJournal::recoverAtStart();
    BadgeDaemon daemon;
    if (!daemon.start()) {
        ProgramLog::print("cannot listen for messages: no session bus\n");
        return 1;
    }
    warnWithoutDataDirectory();
    Seeding::copyIfNeeded();

    // Installed before the first event, so a stop during its wait is as
    // orderly as any other.
    SignalPipe stopRequests;
    if (!stopRequests.install()) {
        std::printf("Could not establish new signal handler");
        return 1;
    }
    QObject::connect(&stopRequests, &SignalPipe::interrupted, &daemon, &BadgeDaemon::stop);

    // The next backup of the phone, imported and counted as it appears.
    BackupWatcher::Settings watch;
    watch.settle = BackupWatcher::settleFromEnvironment();
    BackupWatcher backups(watch);
    QObject::connect(&backups, &BackupWatcher::imported, &daemon, &BadgeDaemon::backupImported);

    // Whatever arrived while the daemon was not running, and the badge at once.
    daemon.CTSMSEvent(QString());
    // After the first badge, so a backup that settled while the daemon was
    // not running does not hold it up.
    backups.start();
    if (!daemon.stopping()) {
        std::printf("Starting run loop and waiting for notification.\n");
        app.exec();
    }
    if (stopRequests.received()) {
        std::printf("\nInterrupted.\n");
        return 0;
    }
    std::printf("Unexpectedly back from CFRunLoopRun()!\n");
    return 1;
}
