#include "tools/phone/ImportBackupCommand.h"
#include "platform/cli/CommandLine.h"
#include "platform/ProgramLog.h"

#include "platform/DevicePaths.h"
#include "platform/PasswordKeyring.h"
#include "platform/SqliteHardening.h"
#include "platform/TerminalText.h"
#include "platform/cli/StopFlag.h"
#include "platform/dbus/TelephonyCenter.h"
#include "tools/phone/BackupImport.h"
#include "tools/phone/PhoneCommand.h"
#include "tools/phone/PasswordInput.h"
#include "tools/phone/PhoneEventLoop.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

bool ImportBackupCommand::parse(const std::vector<std::string>& arguments, Arguments& parsed) {
    static const std::string kUdid = "--udid";
    static const std::string kPasswordFile = "--password-file";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--force") {
            parsed.force = true;
        } else if (argument == "--remember-password") {
            parsed.rememberPassword = true;
        } else if (argument == "--password-stdin") {
            parsed.passwordStdin = true;
        } else if (argument == kPasswordFile && i + 1 < arguments.size()) {
            parsed.passwordFile = arguments[++i];
            if (parsed.passwordFile.empty()) return false;
        } else if (argument.rfind(kPasswordFile + "=", 0) == 0) {
            parsed.passwordFile = argument.substr(kPasswordFile.size() + 1);
            if (parsed.passwordFile.empty()) return false;
        } else if (argument == kUdid && i + 1 < arguments.size()) {
            parsed.udid = arguments[++i];
            if (parsed.udid.empty()) return false;
        } else if (argument.rfind(kUdid + "=", 0) == 0) {
            parsed.udid = argument.substr(kUdid.size() + 1);
            if (parsed.udid.empty()) return false;
        } else if (argument.empty() || argument.front() == '-' || !parsed.directory.empty()) {
            return false;
        } else {
            parsed.directory = argument;
        }
    }
    // One source of the password at a time.
    return !parsed.directory.empty() && !(parsed.passwordStdin && !parsed.passwordFile.empty());
}

BackupFolder::Unlock ImportBackupCommand::unlockFor(const Arguments& parsed) {
    BackupFolder::Unlock unlock;
    unlock.stopRequested = [] { return StopFlag::received() != 0; };
    unlock.deriving = [] { ProgramLog::print("unlocking the backup with its password; this takes a few seconds\n"); };
    const std::string file = parsed.passwordFile;
    if (!file.empty()) {
        unlock.password = [file]() -> std::optional<SecretBytes> {
            std::string error;
            auto password = PasswordInput::fromFile(file, &error);
            if (!password) ProgramLog::print("%s\n", TerminalText::safe(error).c_str());
            return password;
        };
    } else if (parsed.passwordStdin) {
        unlock.password = []() -> std::optional<SecretBytes> {
            std::string error;
            auto password = PasswordInput::fromDescriptor(STDIN_FILENO, &error);
            if (!password) ProgramLog::print("%s\n", TerminalText::safe(error).c_str());
            return password;
        };
    } else if (::isatty(STDIN_FILENO)) {
        unlock.password = [] { return PasswordInput::fromTerminal([] { return StopFlag::received() != 0; }); };
    }
    // Else no password: an encrypted backup is refused with how to give one.
    return unlock;
}

int ImportBackupCommand::run(const std::vector<std::string>& arguments) {
    Arguments parsed;
    if (!parse(arguments, parsed)) return PhoneCommand::kUsage;
    std::string error;
    // Ctrl-C or a stop request while the files are copied or renamed rolls
    // the import back; only then does the signal end the program.
    StopFlag stop;
    BackupFolder::Unlock unlock = unlockFor(parsed);
    // The password the backup was opened with, kept only to be remembered.
    auto used = std::make_shared<std::optional<SecretBytes>>();
    if (parsed.rememberPassword && unlock.password) {
        unlock.password = [ask = unlock.password, used]() -> std::optional<SecretBytes> {
            auto password = ask();
            if (password)
                *used =
                    SecretBytes(std::string_view(reinterpret_cast<const char*>(password->data()), password->size()));
            return password;
        };
    }
    const auto outcome = BackupImport::run(
        parsed.directory, {parsed.udid, parsed.force, [] { return StopFlag::received() != 0; }, std::move(unlock)},
        &error);
    if (!outcome && StopFlag::received() != 0) {
        ProgramLog::print("interrupted: nothing was imported, %s is as it was\n",
                          TerminalText::safe(DevicePaths::root()).c_str());
        stop.reraise();
    }
    if (!outcome) return CommandLine::fail(error);

    const auto& phone = outcome->phone;
    std::printf("Imported the backup of %s (%s, iOS %s) from %s into %s: sms.db%s%s\n",
                phone.deviceName.empty() ? "the phone" : TerminalText::safe(phone.deviceName).c_str(),
                TerminalText::safe(phone.udid).c_str(), TerminalText::safe(phone.productVersion).c_str(),
                TerminalText::safe(outcome->backupFolder).c_str(), TerminalText::safe(DevicePaths::root()).c_str(),
                outcome->smsWal ? ", sms.db-wal" : "",
                outcome->addressBook ? ", AddressBook.sqlitedb" : " (the backup has no address book)");
    if (outcome->encrypted) std::printf("The backup was encrypted: its files were decrypted with its password\n");
    if (outcome->samePhone)
        std::printf("Same phone as before: the counts so far stay, the next sync copies only new messages\n");
    for (const auto& kept : outcome->keptCounterDatabases)
        std::printf("The previous phone's counter database is kept as %s\n", TerminalText::safe(kept).c_str());
    if (!outcome->samePhone) std::printf("Counting starts afresh: the next sync copies every message\n");
    warnAboutGaps(*outcome);
    if (parsed.rememberPassword) {
        if (*used)
            rememberPassword(phone.udid, **used);
        else
            ProgramLog::print("the backup is not encrypted: there is no password to remember\n");
    }
    notifyDaemon();
    return PhoneCommand::kSuccess;
}

void ImportBackupCommand::warnAboutGaps(const BackupImport::Outcome& outcome) {
    if (outcome.addressBookListedButAbsent)
        ProgramLog::print(
            "the backup lists the address book but does not hold its file: every message "
            "is imported, but names will be missing (contacts not in the backup)\n");
    if (outcome.longTexts > 0)
        ProgramLog::print(
            "%lld message%s a text longer than %d bytes; %s counted with %s text cut to "
            "that length\n",
            outcome.longTexts, outcome.longTexts == 1 ? " has" : "s have", SqliteHardening::kMaxValueBytes,
            outcome.longTexts == 1 ? "it is" : "they are", outcome.longTexts == 1 ? "its" : "their");
}

void ImportBackupCommand::rememberPassword(const std::string& udid, const SecretBytes& password) {
    std::string text(reinterpret_cast<const char*>(password.data()), password.size());
    std::string error;
    const bool stored = PasswordKeyring::store(udid, text, &error);
    std::fill(text.begin(), text.end(), '\0');
    if (stored)
        std::printf("The password is remembered in the keyring: the daemon imports the next backups by itself\n");
    else
        ProgramLog::print("%s; the next backups are imported only with the password given again\n",
                          TerminalText::safe(error).c_str());
}

void ImportBackupCommand::notifyDaemon() {
    // brindlex-ledger has its application object already; brindlex-phone
    // makes one for the bus only.
    std::optional<PhoneEventLoop> qt;
    if (!QCoreApplication::instance()) qt.emplace();
    const char* notification = TelephonyCenter::kMessageReceivedNotification;
    if (TelephonyCenter::post(QString::fromLatin1(notification))) {
        std::printf("Posted %s\n", notification);
        return;
    }
    ProgramLog::print(
        "no session bus, so a running badge daemon was not told; the app and the "
        "daemon count the imported messages when they next start\n");
}
