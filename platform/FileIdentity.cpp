#include "platform/FileIdentity.h"

#include <sys/stat.h>

namespace {

constexpr std::chrono::seconds kClockTickMargin{2};

}  // namespace

FileIdentity FileIdentity::of(const std::string& path) {
    FileIdentity identity;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return identity;
    identity.exists_ = true;
    identity.device_ = status.st_dev;
    identity.inode_ = status.st_ino;
    identity.size_ = status.st_size;
    identity.modifiedNs_ = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    return identity;
}

bool FileIdentity::isRecent(std::chrono::system_clock::time_point now) const {
    if (!exists_) return false;
    const std::chrono::nanoseconds sinceEpoch = now.time_since_epoch();
    return std::chrono::nanoseconds(modifiedNs_) + kClockTickMargin > sinceEpoch;
}
