#include "tools/phone/BadgeCommands.h"
#include "platform/cli/CommandLine.h"
#include "platform/ProgramLog.h"
#include "platform/TerminalText.h"

#include "platform/dbus/BadgeWatcher.h"
#include "platform/cli/SignalPipe.h"
#include "platform/dbus/SessionBus.h"
#include "tools/phone/PhoneCommand.h"
#include "tools/phone/PhoneEventLoop.h"

#include <QCoreApplication>

#include <cstdio>

int BadgeCommands::run(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1 || arguments[0] != "watch") return PhoneCommand::kUsage;
    return watch();
}

int BadgeCommands::watch() {
    PhoneEventLoop qt;
    // Ctrl-C or a kill ends the loop, so the command unwinds and exits 0.
    SignalPipe termination;
    if (!termination.install()) return CommandLine::fail("cannot catch SIGINT and SIGTERM");
    QObject::connect(&termination, &SignalPipe::interrupted, [] { QCoreApplication::quit(); });
    BadgeWatcher watcher(&BadgeCommands::printUpdate);
    if (!watcher.start() || !SessionBus::startDelivery())
        return CommandLine::fail("no session bus to watch the badge on");
    // On standard error, so standard output holds nothing but updates; a
    // script may wait for this line before it sets a badge: updates from
    // then on are shown, in the order they were sent.
    ProgramLog::print("watching the icon badges; Ctrl-C stops\n");
    qt.exec();
    return PhoneCommand::kSuccess;
}

void BadgeCommands::printUpdate(const QString& appUri, qint64 count, bool visible) {
    std::printf("%s count=%lld visible=%s\n", TerminalText::safe(appUri.toStdString()).c_str(),
                static_cast<long long>(count), visible ? "true" : "false");
    // Whoever reads a pipe sees each update when it happens, not when a
    // buffer fills.
    std::fflush(stdout);
}
