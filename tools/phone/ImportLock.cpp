#include "tools/phone/ImportLock.h"

#include "platform/PrivateFiles.h"
#include "platform/DevicePaths.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Another import that failed may take away the folders this one waited in;
// they are made again, a few times at most.
constexpr int kAttempts = 8;

bool present(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Absolute, without "." or "..", and without a trailing separator.
fs::path normal(const std::string& path, std::error_code& failure) {
    fs::path result = fs::absolute(path, failure).lexically_normal();
    if (!result.has_filename() && result.has_parent_path() && result != result.root_path())
        result = result.parent_path();
    return result;
}

bool inside(const fs::path& path, const fs::path& folder) {
    const std::string text = path.string(), prefix = folder.string();
    return text == prefix || text.rfind(prefix + "/", 0) == 0;
}

}  // namespace

ImportLock::ImportLock() {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!makeDataDirectory()) break;
        lock_.emplace();
        if (lock_->isLocked()) return;
        lock_.reset();
    }
    removeWhatWasMade();
}

ImportLock::~ImportLock() {
    if (!kept_) removeWhatWasMade();
    lock_.reset();
}

bool ImportLock::makeDataDirectory() {
    std::error_code failure;
    const fs::path root = normal(DevicePaths::root(), failure);
    const fs::path data = normal(DevicePaths::dataDirectory(), failure);
    if (failure || !inside(data, root)) return false;
    std::vector<fs::path> missing;
    fs::path walk = data;
    for (; !walk.empty() && !present(walk); walk = walk.parent_path()) {
        missing.push_back(walk);
        if (walk == walk.parent_path()) break;
    }
    // The root's own path may hold links (the user's); below it, the nearest
    // existing folder must resolve inside it, or the folders made would land
    // elsewhere.
    if (inside(walk, root) && walk != root) {
        const fs::path resolved = fs::canonical(walk, failure);
        const fs::path resolvedRoot = fs::canonical(root, failure);
        if (failure || !inside(resolved, resolvedRoot)) return false;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (PrivateFiles::makeDirectory(it->string()) == 0) {
            made_.push_back(it->string());
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return true;
}

void ImportLock::removeWhatWasMade() {
    if (made_.empty()) return;
    // Still held: nobody locks the file between its removal and the folder's.
    ::unlink(DevicePaths::lockFile().c_str());
    // Innermost first; a folder something else has filled meanwhile stays.
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) ::rmdir(it->c_str());
    made_.clear();
}
