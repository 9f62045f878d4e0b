#include "tools/phone/DeviceCommands.h"

#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DemoDevice.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/phone/PhoneCommand.h"

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

namespace {

const char* schemaDescription(std::optional<SmsSchema> schema) {
    if (!schema) return "unknown";
    return *schema == SmsSchema::New ? "6.0 and later" : "before 6.0";
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
    if (!DeviceFixture::createDeviceRoot(root, version, &error)) return PhoneCommand::failWith(error);
    const auto schema = SmsDatabaseFixture(DeviceFixture::smsDatabase(root)).detectSchema();
    std::printf("Device root %s ready: system version %s, sms.db of phones %s\n", root.c_str(), version.c_str(),
                schemaDescription(schema));
    return PhoneCommand::kSuccess;
}

int DeviceCommands::demo(const std::vector<std::string>& arguments) {
    if (!arguments.empty()) return PhoneCommand::kUsage;
    const std::string root = DevicePaths::root();
    // The version of an existing root, or the default for a new one.
    const std::string version = SystemVersion::systemVersion();
    std::string error;
    if (!DemoDevice::populate(root, version, static_cast<std::int64_t>(std::time(nullptr)), &error))
        return PhoneCommand::failWith(error);
    const long long messages = SmsDatabaseFixture(DeviceFixture::smsDatabase(root)).messageCount();
    const std::size_t contacts = AddressBookFixture(DeviceFixture::addressBook(root)).contacts().size();
    std::printf("Demo stored %lld messages and %zu contacts in %s\n", messages, contacts, root.c_str());
    return PhoneCommand::kSuccess;
}
