#pragma once

#include <string>

// The phone's operating system version, read from SystemVersion.plist under
// the device root. It picks the counter database file, the sms.db schema and
// the statement variants; it is read afresh on every call, never cached.
class SystemVersion {
public:
    static constexpr const char* kDefault = "6.1.3";

    // ProductVersion of the plist, or "6.1.3" when the file or key is missing.
    static std::string systemVersion();
    // The leading decimal number of a version string as a float, the way the
    // phone's string-to-float conversion reads it: "6.0.1" gives 6.0,
    // "5.1.1" gives 5.1, text without a leading number gives 0.
    static float leadingNumber(const std::string& version);
    // True for 6.0 and later.
    static bool usesNewSchema(const std::string& version);
    static bool usesNewSchema();
};
