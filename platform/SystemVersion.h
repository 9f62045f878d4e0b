#pragma once

#include <string>

// The phone's operating system version, read from SystemVersion.plist under
// the device root, afresh on every call. What a version means for the files
// and the counting is PhoneProfile's business; this only reads and compares.
class SystemVersion {
public:
    static constexpr const char* kDefault = "6.1.3";

    // ProductVersion of the plist, or "6.1.3" when the file or key is missing.
    static std::string systemVersion();
    // The leading decimal number of a version string as a float, the way the
    // phone's string-to-float conversion reads it: "6.0.1" gives 6.0,
    // "5.1.1" gives 5.1, text without a leading number gives 0.
    static float leadingNumber(const std::string& version);
    // True for 6.0 and later, the versions whose sms.db has a handle table.
    static bool isSixOrLater(const std::string& version);
};
