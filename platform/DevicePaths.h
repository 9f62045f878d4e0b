#pragma once

#include <string>

// Where the phone's files live on this machine. Every absolute phone path is
// resolved under the device root: $BRINDLEX_DEVICE_ROOT when set, otherwise
// $XDG_DATA_HOME/brindlex/device (~/.local/share/brindlex/device).
// The root is looked up afresh on every call, so a test or a tool that sets
// the variable sees its effect at once. Which counter database a phone keeps
// depends on its system version, so PhoneProfile names that file.
class DevicePaths {
public:
    static std::string root();
    // Every program asks this before it reads or writes under the root: why
    // the root must not be used (it belongs to another user, or others can
    // write in it or in the data folder), empty when it may. A root that is
    // fit has the modes of earlier versions tightened the first time it is
    // asked in a process: folders 0700, files 0600. A missing root is fit;
    // whoever makes it makes it private.
    static std::string secureRoot();

    // <root>/private/var/mobile, the mobile user's home directory.
    static std::string mobileHome();
    // <root>/private/var/mobile/Library/Brindlex, shared by app and daemon.
    static std::string dataDirectory();
    static std::string settingsFile();
    // The advisory lock file that keeps two processes' syncs and settings
    // writes from interleaving.
    static std::string lockFile();
    static std::string smsDatabase();
    static std::string addressBook();
    static std::string systemVersionPlist();

    // Turns a phone path such as "/private/var/mobile" into its place under
    // the device root.
    static std::string resolve(const std::string& phonePath);
};
