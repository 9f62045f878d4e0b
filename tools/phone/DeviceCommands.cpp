#include "tools/phone/DeviceCommands.h"
#include "platform/cli/CommandLine.h"
#include "platform/TerminalText.h"

#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DemoDevice.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/SmsDatabaseSchema.h"
#include "tools/phone/PhoneCommand.h"

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

namespace {

// Which phones write the file: the schema, and within the 6.0 family the
// column set.
const char* schemaDescription(const SmsDatabaseFixture& sms) {
    const auto schema = sms.detectSchema();
    if (!schema) return "unknown";
    if (*schema == SmsSchema::Old) return "before 6.0";
    switch (sms.detectColumnSet().value_or(SmsColumnSet::Ios6)) {
    case SmsColumnSet::Ios6: break;
    case SmsColumnSet::Ios10: return "7 to 10 (dates in seconds)";
    case SmsColumnSet::Ios14: return "11 to 15 (dates in nanoseconds)";
    case SmsColumnSet::Ios17: return "16 and later (dates in nanoseconds)";
    }
    return "6.0 and later";
}

}  // namespace

bool DeviceCommands::parseInitArguments(const std::vector<std::string>& arguments, std::string& version) {
    static const std::string kOption = "--version";
    version = SystemVersion::kDefault;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == kOption && i + 1 < arguments.size()) {
            version = arguments[++i];
        } else if (argument.rfind(kOption + "=", 0) == 0) {
            version = argument.substr(kOption.size() + 1);
        } else {
            return false;
        }
        if (version.empty()) return false;
    }
    return true;
}

int DeviceCommands::init(const std::vector<std::string>& arguments) {
    std::string version;
    if (!parseInitArguments(arguments, version)) return PhoneCommand::kUsage;
    const std::string root = DevicePaths::root();
    std::string error;
    if (!DeviceFixture::createDeviceRoot(root, version, &error)) return CommandLine::fail(error);
    const SmsDatabaseFixture sms(DeviceFixture::smsDatabase(root));
    std::printf("Device root %s ready: system version %s, sms.db of phones %s\n", TerminalText::safe(root).c_str(),
                TerminalText::safe(version).c_str(), schemaDescription(sms));
    return PhoneCommand::kSuccess;
}

int DeviceCommands::demo(const std::vector<std::string>& arguments) {
    if (!arguments.empty()) return PhoneCommand::kUsage;
    const std::string root = DevicePaths::root();
    // The version of an existing root, or the default for a new one.
    const std::string version = SystemVersion::systemVersion();
    std::string error;
    if (!DemoDevice::populate(root, version, static_cast<std::int64_t>(std::time(nullptr)), &error))
        return CommandLine::fail(error);
    const long long messages = SmsDatabaseFixture(DeviceFixture::smsDatabase(root)).messageCount();
    const std::size_t contacts = AddressBookFixture(DeviceFixture::addressBook(root)).contacts().size();
    std::printf("Demo stored %lld messages and %zu contacts in %s\n", messages, contacts,
                TerminalText::safe(root).c_str());
    return PhoneCommand::kSuccess;
}
