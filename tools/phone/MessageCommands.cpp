#include "tools/phone/MessageCommands.h"
#include "platform/cli/CommandLine.h"
#include "platform/TerminalText.h"

#include "platform/DevicePaths.h"
#include "platform/dbus/TelephonyCenter.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/phone/PhoneCommand.h"
#include "tools/phone/PhoneEventLoop.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>

int MessageCommands::receive(const std::vector<std::string>& arguments) { return storeAndNotify(arguments, false); }

int MessageCommands::send(const std::vector<std::string>& arguments) { return storeAndNotify(arguments, true); }

int MessageCommands::storeAndNotify(const std::vector<std::string>& arguments, bool sent) {
    // The text may be empty (the phone stores empty bodies too); the number not.
    if (arguments.size() != 2 || arguments[0].empty()) return PhoneCommand::kUsage;
    const long long rowid = store(arguments[0], arguments[1], sent);
    if (rowid < 0) return PhoneCommand::kFailure;
    std::printf("Stored %s message %lld %s %s\n", sent ? "sent" : "received", rowid, sent ? "to" : "from",
                TerminalText::safe(arguments[0]).c_str());

    const PhoneEventLoop qt;
    const char* notification =
        sent ? TelephonyCenter::kMessageSentNotification : TelephonyCenter::kMessageReceivedNotification;
    if (!TelephonyCenter::post(QString::fromLatin1(notification)))
        return CommandLine::fail(std::string("the message is stored, but ") + notification +
                                 " could not be posted: no session bus");
    std::printf("Posted %s\n", notification);
    return PhoneCommand::kSuccess;
}

long long MessageCommands::store(const std::string& number, const std::string& text, bool sent) {
    const std::string path = DevicePaths::smsDatabase();
    // Storing must not create a device root: a typo in BRINDLEX_DEVICE_ROOT
    // would otherwise leave a half-made one behind.
    if (!std::filesystem::exists(path)) {
        CommandLine::fail("no sms.db at " + path + "; create the device root with 'brindlex-phone init'");
        return -1;
    }
    SmsDatabaseFixture database(path);
    const FixtureMessage message{number, text, static_cast<std::int64_t>(std::time(nullptr)), sent, "SMS"};
    const long long rowid = database.storeMessage(message);
    if (rowid < 0) CommandLine::fail(database.lastError());
    return rowid;
}
