// brindlex-phone COMMAND [ARGUMENTS]
//
// The phone simulator: plays the parts of the phone that Brindlex only reads
// or listens to. Each command is one row of the table below; adding one means
// writing its runner and adding its row.
#include "tools/phone/BadgeCommands.h"
#include "platform/ProgramLog.h"
#include "platform/TerminalText.h"
#include "platform/DevicePaths.h"
#include "tools/phone/ContactCommands.h"
#include "tools/phone/DeviceCommands.h"
#include "tools/phone/ImportBackupCommand.h"
#include "tools/phone/MessageCommands.h"
#include "tools/phone/OpenCommand.h"
#include "tools/phone/PhoneCommand.h"
#include "platform/DeviceRootJournal.h"
#include "platform/cli/CommandLine.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A command with several forms has a row for each, so the usage shows them
// all; the first row of a name runs it.
constexpr PhoneCommand kCommands[] = {
    {"init", "[--version VERSION]", "create the device root for a system version (default 6.1.3)",
     DeviceCommands::init},
    {"demo", "", "fill the device root with a year of messages and an address book", DeviceCommands::demo},
    {"import-backup", "DIR [--udid UDID] [--force] [--password-file FILE | --password-stdin] [--remember-password]",
     "import an iPhone backup made with idevicebackup2 (an encrypted one with its password)", ImportBackupCommand::run},
    {"receive", "NUMBER TEXT", "store a message received from NUMBER and post the notification",
     MessageCommands::receive},
    {"send", "NUMBER TEXT", "store a message sent to NUMBER and post the notification", MessageCommands::send},
    {"contacts", "add FIRST LAST NUMBER...", "add a contact (\"\" for a missing name part)", ContactCommands::run},
    {"contacts", "list", "show the address book: record id, name, numbers", ContactCommands::run},
    {"badge", "watch", "show the icon badges as a dock sees them, until interrupted", BadgeCommands::run},
    {"open", "URL", "open a brindlex: URL command as the desktop does (brindlex://hideSMS)", OpenCommand::run},
};

void printUsage(std::FILE* out) {
    std::fprintf(out, "usage: brindlex-phone COMMAND [ARGUMENTS]\n\nCommands:\n");
    for (const auto& command : kCommands) {
        const std::string head = std::string(command.name) + " " + command.synopsis;
        std::fprintf(out, "  %-34s %s\n", head.c_str(), command.summary);
    }
    std::fprintf(out, "  %-34s %s\n", "help", "show this help");
    std::fprintf(out, "  %-34s %s\n", "--version", "show the version");
    std::fprintf(out,
                 "\nThe device root is $BRINDLEX_DEVICE_ROOT when set, otherwise\n"
                 "$XDG_DATA_HOME/brindlex/device (~/.local/share/brindlex/device).\n"
                 "receive and send post the notification on the D-Bus session bus; without\n"
                 "one they still store the message, warn and exit with status 1.\n");
}

const PhoneCommand* findCommand(std::string_view name) {
    for (const auto& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

bool isHelp(std::string_view argument) { return argument == "help" || argument == "--help" || argument == "-h"; }

bool isVersion(std::string_view argument) { return argument == "--version" || argument == "-v"; }

}  // namespace

int main(int argc, char** argv) {
    ProgramLog::setProgramName("brindlex-phone");
    if (argc < 2) {
        printUsage(stderr);
        return PhoneCommand::kUsage;
    }
    if (isHelp(argv[1])) {
        printUsage(stdout);
        return PhoneCommand::kSuccess;
    }
    if (isVersion(argv[1])) {
        std::printf("brindlex-phone %s\n", qPrintable(CommandLine::version()));
        return PhoneCommand::kSuccess;
    }
    if (argv[1][0] == '-') {
        ProgramLog::print("unknown option '%s'\n\n", argv[1]);
        printUsage(stderr);
        return PhoneCommand::kUsage;
    }
    const PhoneCommand* command = findCommand(argv[1]);
    if (!command) {
        ProgramLog::print("unknown command '%s'\n\n", argv[1]);
        printUsage(stderr);
        return PhoneCommand::kUsage;
    }
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    for (const auto& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            printUsage(stdout);
            return PhoneCommand::kSuccess;
        }
    }
    // Nothing is read or written in a root another user could read or change.
    if (const std::string why = DevicePaths::secureRoot(); !why.empty()) {
        ProgramLog::print("%s\n", TerminalText::safe(why).c_str());
        return 1;
    }
    // An import cut short is finished or undone before any command reads
    // the device root.
    DeviceRootJournal::recoverAtStart();
    const int status = command->run(arguments);
    if (status == PhoneCommand::kUsage) printUsage(stderr);
    return status;
}
