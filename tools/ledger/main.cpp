// brindlex-ledger [sync] | report [OPTIONS]
//
// The counter store from the command line: `sync` (the default) copies what
// is new and prints what the counter database holds; `report` prints the
// numbers the app shows for a period, as text, CSV or JSON.
#include "platform/DeviceRootJournal.h"
#include "platform/ProgramLog.h"
#include "platform/cli/CommandLine.h"
#include "tools/ledger/LedgerSync.h"
#include "tools/ledger/ReportCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <ctime>

int main(int argc, char** argv) {
    ProgramLog::setProgramName("brindlex-ledger");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The counter store of the device root from the command line.\n"
        "  sync     copy what is new from sms.db and print what the counter database holds (the default)\n"
        "  report   the numbers the app shows for a period; brindlex-ledger report --help lists its options"));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("sync or report"),
                                 QStringLiteral("[sync | report [OPTIONS]]"));
    // Options after the command are the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (const auto status = CommandLine::parse(parser, app.arguments())) return *status;

    // An import cut short is finished or undone before the root is read.
    DeviceRootJournal::recoverAtStart();
    const QStringList rest = parser.positionalArguments();
    const QString command = rest.isEmpty() ? QStringLiteral("sync") : rest.constFirst();
    if (command == QLatin1String("report"))
        return ReportCommand::run(QStringList{app.arguments().constFirst()} + rest, std::time(nullptr));
    if (command != QLatin1String("sync"))
        return CommandLine::usageError(parser, QStringLiteral("unknown command '%1'").arg(command));
    if (rest.size() > 1) return CommandLine::usageError(parser, QStringLiteral("sync takes no arguments"));
    return LedgerSync::run();
}
