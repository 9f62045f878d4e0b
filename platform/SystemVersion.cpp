#include "platform/SystemVersion.h"

#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"

#include <charconv>

std::string SystemVersion::systemVersion() {
    auto plist = PropertyList::readFromFile(DevicePaths::systemVersionPlist());
    if (!plist) return kDefault;
    auto version = plist->stringValue("ProductVersion");
    if (!version || version->empty()) return kDefault;
    return *version;
}

float SystemVersion::leadingNumber(const std::string& version) {
    std::size_t begin = version.find_first_not_of(" \t\n\r");
    if (begin == std::string::npos) return 0.0f;
    if (version[begin] == '+') ++begin;
    float value = 0.0f;
    // Fixed notation only: "6e2" or "inf" are not version numbers.
    auto [end, ec] =
        std::from_chars(version.data() + begin, version.data() + version.size(), value, std::chars_format::fixed);
    if (ec != std::errc()) return 0.0f;
    return value;
}

bool SystemVersion::isSixOrLater(const std::string& version) { return leadingNumber(version) >= 6.0f; }
