#include "common/Seeding.h"

#include "common/PhoneProfile.h"
#include "platform/AppBundle.h"
#include "platform/DevicePaths.h"
#include "platform/FileWrites.h"
#include "platform/PrivateFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Copies the bytes of `source` into the open file `to`.
bool copyInto(const char* source, int to) {
    const int from = ::open(source, O_RDONLY | O_CLOEXEC);
    if (from < 0) return false;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!FileWrites::writeAll(to, buffer, static_cast<std::size_t>(got))) {
            ok = false;
            break;
        }
    }
    ::close(from);
    return ok;
}

}  // namespace

bool Seeding::copyFileIfMissing(const char* source, const char* target) {
    struct stat info {};
    if (::lstat(target, &info) == 0) return false;

    // A fresh name of its own, made 0600 and never through a link: the
    // bundle's files are readable by all, the user's copies are not.
    std::string temporary;
    const int to = PrivateFiles::createUniqueFile(std::string(target) + ".seed-", &temporary);
    if (to < 0) return false;
    const bool copied = copyInto(source, to);
    const bool closed = ::close(to) == 0;
    // link() fails when the target appeared meanwhile: the other copy wins.
    const bool placed = copied && closed && ::link(temporary.c_str(), target) == 0;
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
