// brindlex-ledger [sync] | report [OPTIONS] | import-backup FOLDER [OPTIONS]
//
// The counter store from the command line: `sync` (the default) copies what
// is new and prints what the counter database holds; `report` prints the
// numbers the app shows for a period, as text, CSV or JSON; `import-backup`
// brings the messages of an iPhone backup into the device root.
#include "platform/DeviceRootJournal.h"
#include "platform/ProgramLog.h"
#include "platform/TerminalText.h"
#include "platform/DevicePaths.h"
#include "platform/cli/CommandLine.h"
#include "tools/ledger/LedgerSync.h"
#include "tools/ledger/ReportCommand.h"
#include "tools/phone/ImportBackupCommand.h"
#include "tools/phone/PhoneCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <ctime>
#include <string>
#include <vector>

namespace {

int importBackup(const QCommandLineParser& parser, const QStringList& arguments) {
    std::vector<std::string> plain;
    for (const QString& argument : arguments) plain.push_back(argument.toStdString());
    const int status = ImportBackupCommand::run(plain);
    if (status != PhoneCommand::kUsage) return status;
    return CommandLine::usageError(parser,
                                   QStringLiteral("import-backup takes one backup folder, and --udid UDID, --force, "
                                                  "--password-file FILE or --password-stdin, --remember-password"));
}

}  // namespace

int main(int argc, char** argv) {
    ProgramLog::setProgramName("brindlex-ledger");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The counter store of the device root from the command line.\n"
        "  sync     copy what is new from sms.db and print what the counter database holds (the default)\n"
        "  report   the numbers the app shows for a period; brindlex-ledger report --help lists its options\n"
        "  import-backup FOLDER [--udid UDID] [--force] [--password-file FILE | --password-stdin]\n"
        "                [--remember-password]\n"
        "           bring in the messages of an iPhone backup made with idevicebackup2; an encrypted one is\n"
        "           opened with its backup password, asked without echo on a terminal;\n"
        "           --remember-password keeps it in the keyring, for the daemon to import the next backups"));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("sync, report or import-backup"),
                                 QStringLiteral("[sync | report [OPTIONS] | import-backup FOLDER [OPTIONS]]"));
    // Options after the command are the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (const auto status = CommandLine::parse(parser, app.arguments())) return *status;

    // Nothing is read or written in a root another user could read or change.
    if (const std::string why = DevicePaths::secureRoot(); !why.empty()) {
        ProgramLog::print("%s\n", TerminalText::safe(why).c_str());
        return 1;
    }
    // An import cut short is finished or undone before the root is read.
    DeviceRootJournal::recoverAtStart();
    const QStringList rest = parser.positionalArguments();
    const QString command = rest.isEmpty() ? QStringLiteral("sync") : rest.constFirst();
    if (command == QLatin1String("report"))
        return ReportCommand::run(QStringList{app.arguments().constFirst()} + rest, std::time(nullptr));
    if (command == QLatin1String("import-backup")) return importBackup(parser, rest.mid(1));
    if (command != QLatin1String("sync"))
        return CommandLine::usageError(parser, QStringLiteral("unknown command '%1'").arg(command));
    if (rest.size() > 1) return CommandLine::usageError(parser, QStringLiteral("sync takes no arguments"));
    return LedgerSync::run();
}
