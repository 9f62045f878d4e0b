#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

class QCommandLineParser;

// The conventions of a desktop program's command line, the same for every
// program of the project: --help prints the usage on standard output and
// exits 0; --version prints the name and version and exits 0; an unknown
// option, a missing value or a surplus argument prints one line saying what
// is wrong and the usage on standard error and exits 2.
class CommandLine {
public:
    static constexpr int kSuccess = 0;
    static constexpr int kFailure = 1;
    static constexpr int kUsage = 2;

    // The project's version, as the build was configured.
    static QString version();

    // Adds --help and --version, parses `arguments` (the program name
    // first) and handles what the conventions above settle. An exit status
    // when the program should end now; nothing when it should go on with the
    // parsed values. At most `maxPositional` positional arguments are
    // accepted (-1: any number).
    static std::optional<int> parse(QCommandLineParser& parser, const QStringList& arguments, int maxPositional = -1);

    // "<program>: <message>" and the usage on standard error; returns kUsage.
    static int usageError(const QCommandLineParser& parser, const QString& message);
    // How every tool fails: "<program>: <message>" on standard error
    // (ProgramLog), then the exit status `status`.
    static int fail(const QString& message, int status = kFailure);
    static int fail(const std::string& message, int status = kFailure);
    static int fail(const char* message, int status = kFailure) { return fail(std::string(message), status); }

    // True when argv holds --help, -h, --help-all, --version or -v: a
    // program that needs a display for its work answers these without one.
    static bool asksForHelpOrVersion(int argc, char** argv);
};
