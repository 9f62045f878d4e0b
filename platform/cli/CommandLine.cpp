#include "platform/cli/CommandLine.h"

#include "platform/ProgramLog.h"
#include "platform/TerminalText.h"
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

QString CommandLine::version() { return QStringLiteral(BRINDLEX_VERSION); }

std::optional<int> CommandLine::parse(QCommandLineParser& parser, const QStringList& arguments, int maxPositional) {
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    if (!parser.parse(arguments)) return usageError(parser, parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return kSuccess;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(version()));
        return kSuccess;
    }
    const QStringList positional = parser.positionalArguments();
    if (maxPositional >= 0 && positional.size() > maxPositional)
        return usageError(parser, QStringLiteral("unexpected argument '%1'").arg(positional.at(maxPositional)));
    return std::nullopt;
}

int CommandLine::usageError(const QCommandLineParser& parser, const QString& message) {
    ProgramLog::print("%s\n\n%s", TerminalText::safe(message.toStdString()).c_str(), qPrintable(parser.helpText()));
    return kUsage;
}

int CommandLine::fail(const QString& message, int status) { return fail(message.toStdString(), status); }

int CommandLine::fail(const std::string& message, int status) {
    // Messages name paths, arguments and what SQLite said about a file.
    ProgramLog::print("%s\n", TerminalText::safe(message).c_str());
    return status;
}

bool CommandLine::asksForHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* flag : {"--help", "-h", "--help-all", "--version", "-v"})
            if (std::strcmp(argv[i], flag) == 0) return true;
        // Everything after "--" is an argument, not an option.
        if (std::strcmp(argv[i], "--") == 0) return false;
    }
    return false;
}
