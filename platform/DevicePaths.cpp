#include "platform/DevicePaths.h"

#include "platform/PrivateFiles.h"

#include <cstdlib>
#include <mutex>
#include <set>
#include <pwd.h>
#include <unistd.h>

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeDirectory() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string DevicePaths::root() {
    std::string explicitRoot = environment("BRINDLEX_DEVICE_ROOT");
    if (!explicitRoot.empty()) return withoutTrailingSlash(explicitRoot);
    // The XDG base directory rules: an unset, empty or relative value means
    // the default.
    std::string dataHome = environment("XDG_DATA_HOME");
    if (dataHome.empty() || dataHome.front() != '/') dataHome = homeDirectory() + "/.local/share";
    return withoutTrailingSlash(dataHome) + "/brindlex/device";
}

std::string DevicePaths::secureRoot() {
    const std::string deviceRoot = root();
    std::string why = PrivateFiles::whyNotPrivate(deviceRoot);
    // Inside a root that was once open to others, the folders the programs
    // write in may have been made or linked by someone else.
    for (const std::string& folder : {dataDirectory(), mobileHome() + "/Documents"}) {
        if (why.empty()) why = PrivateFiles::whyNotPrivate(folder, false);
    }
    if (!why.empty()) return why;
    static std::mutex mutex;
    static std::set<std::string> tightened;
    const std::lock_guard<std::mutex> lock(mutex);
    if (tightened.insert(deviceRoot).second) PrivateFiles::tightenTree(deviceRoot);
    return std::string();
}

std::string DevicePaths::resolve(const std::string& phonePath) {
    if (phonePath.empty() || phonePath.front() != '/') return root() + "/" + phonePath;
    return root() + phonePath;
}

std::string DevicePaths::mobileHome() { return resolve("/private/var/mobile"); }

std::string DevicePaths::dataDirectory() { return resolve("/private/var/mobile/Library/Brindlex"); }

std::string DevicePaths::settingsFile() { return dataDirectory() + "/properties.plist"; }

std::string DevicePaths::lockFile() { return dataDirectory() + "/.sync.lock"; }

std::string DevicePaths::smsDatabase() { return resolve("/private/var/mobile/Library/SMS/sms.db"); }

std::string DevicePaths::addressBook() {
    return resolve("/private/var/mobile/Library/AddressBook/AddressBook.sqlitedb");
}

std::string DevicePaths::systemVersionPlist() { return resolve("/System/Library/CoreServices/SystemVersion.plist"); }
