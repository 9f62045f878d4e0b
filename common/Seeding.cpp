#include "common/Seeding.h"

#include "common/PhoneProfile.h"
#include "platform/AppBundle.h"
#include "platform/DevicePaths.h"

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

bool Seeding::copyFileIfMissing(const char* source, const char* target) {
    struct stat info {};
    if (::lstat(target, &info) == 0) return false;

    std::string temporary = std::string(target) + ".seed-" + std::to_string(::getpid());
    std::error_code error;
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    // link() fails when the target appeared meanwhile: the other copy wins.
    const bool placed = ::link(temporary.c_str(), target) == 0;
    ::unlink(temporary.c_str());
    return placed;
}

void Seeding::copyIfNeeded() {
    const PhoneProfile profile = PhoneProfile::find();
    const std::string counterSeed = AppBundle::pathForResource(profile.counterDatabaseName());
    copyFileIfMissing(counterSeed.c_str(), profile.counterDatabase().c_str());
    const std::string settingsSeed = AppBundle::pathForResource("properties.plist");
    copyFileIfMissing(settingsSeed.c_str(), DevicePaths::settingsFile().c_str());
}
