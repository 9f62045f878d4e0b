#include "tools/phone/DeviceRootTransaction.h"

#include "platform/FileWrites.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

std::string systemError(const std::string& path) { return path + ": " + std::strerror(errno); }

bool copyAll(int from, int to) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!FileWrites::writeAll(to, buffer, static_cast<std::size_t>(got))) return false;
    }
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

DeviceRootTransaction::DeviceRootTransaction(std::string root) : givenRoot_(std::move(root)), root_(givenRoot_) {}

std::string DeviceRootTransaction::place(const std::string& path) const {
    if (path.size() > givenRoot_.size() && path.compare(0, givenRoot_.size(), givenRoot_) == 0 &&
        path[givenRoot_.size()] == '/')
        return root_ + path.substr(givenRoot_.size());
    return path;
}

DeviceRootTransaction::~DeviceRootTransaction() {
    if (!committed_) rollback();
}

bool DeviceRootTransaction::begin(std::string* error) {
    std::error_code failure;
    fs::path path = fs::absolute(root_, failure);
    // The folders of the root's own path that are missing are made here and
    // go again on failure, like any other.
    std::vector<std::string> missing;
    for (fs::path walk = path; !walk.empty() && !fs::exists(walk, failure); walk = walk.parent_path()) {
        missing.push_back(walk.string());
        if (walk == walk.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0755) != 0 && errno != EEXIST) return fail(error, systemError(*it));
        createdDirectories_.push_back(*it);
    }
    const fs::path canonical = fs::canonical(path, failure);
    if (failure || !fs::is_directory(canonical, failure))
        return fail(error, root_ + ": the device root is not a folder");
    root_ = canonical.string();
    return true;
}

bool DeviceRootTransaction::insideRoot(const std::string& path, std::string* error) const {
    std::error_code failure;
    // Folders not made yet resolve as the part that exists plus the rest.
    const std::string resolved = fs::weakly_canonical(fs::path(path).parent_path(), failure).string();
    if (!failure && (resolved == root_ || resolved.rfind(root_ + "/", 0) == 0)) return true;
    return fail(error, path + " lies outside the device root " + root_ + " (a link?); refusing to write there");
}

bool DeviceRootTransaction::makeDirectories(const std::string& path, std::string* error) {
    const std::string directory = place(path);
    if (directory.rfind(root_ + "/", 0) != 0) return fail(error, directory + " is not inside " + root_);
    fs::path walk(root_);
    for (const auto& part : fs::path(directory.substr(root_.size() + 1))) {
        walk /= part;
        if (::mkdir(walk.c_str(), 0755) == 0) {
            createdDirectories_.push_back(walk.string());
        } else if (errno != EEXIST) {
            return fail(error, systemError(walk.string()));
        }
        // An existing entry must be a folder within the root, not a link out.
        std::error_code failure;
        const std::string resolved = fs::canonical(walk, failure).string();
        if (failure || !fs::is_directory(resolved, failure) || resolved.rfind(root_ + "/", 0) != 0)
            return fail(error, walk.string() + " is not a folder inside the device root " + root_);
    }
    return true;
}

std::string DeviceRootTransaction::temporaryBeside(const std::string& target, const char* purpose) {
    return target + "." + purpose + "-" + std::to_string(::getpid()) + "-" + std::to_string(++serial_);
}

bool DeviceRootTransaction::stageCopy(const std::string& source, const std::string& path, std::string* error) {
    const std::string target = place(path);
    if (!insideRoot(target, error)) return false;
    const int from = ::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (from < 0) return fail(error, systemError(source));
    struct stat info {};
    if (::fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(from);
        return fail(error, source + ": not a regular file");
    }
    const std::string staged = temporaryBeside(target, "importing");
    const int to = ::open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (to < 0) {
        ::close(from);
        return fail(error, systemError(staged));
    }
    // Recorded at once, so a failure below still removes the partial copy.
    changes_.push_back(Change{target, staged, {}, {}, false});
    const bool copied = copyAll(from, to) && ::fsync(to) == 0;
    const std::string why = copied ? std::string() : std::strerror(errno);
    ::close(from);
    const bool closed = ::close(to) == 0;
    if (!copied || !closed)
        return fail(error, "copying " + source + " to " + staged + ": " + (copied ? std::strerror(errno) : why));
    return true;
}

bool DeviceRootTransaction::stageContents(const std::string& bytes, const std::string& path, std::string* error) {
    const std::string target = place(path);
    if (!insideRoot(target, error)) return false;
    const std::string staged = temporaryBeside(target, "importing");
    const int to = ::open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (to < 0) return fail(error, systemError(staged));
    changes_.push_back(Change{target, staged, {}, {}, false});
    const bool written = FileWrites::writeAll(to, bytes.data(), bytes.size()) && ::fsync(to) == 0;
    if (::close(to) != 0 || !written) return fail(error, systemError(staged));
    return true;
}

bool DeviceRootTransaction::stageRemoval(const std::string& path, const std::string& keepPath, std::string* error) {
    const std::string target = place(path);
    const std::string keepAs = keepPath.empty() ? std::string() : place(keepPath);
    if (!insideRoot(target, error) || (!keepAs.empty() && !insideRoot(keepAs, error))) return false;
    changes_.push_back(Change{target, {}, keepAs, {}, false});
    return true;
}

bool DeviceRootTransaction::commit(std::string* error) {
    for (auto& change : changes_) {
        if (!apply(change, error)) {
            rollback();
            return false;
        }
    }
    finish();
    committed_ = true;
    return true;
}

bool DeviceRootTransaction::apply(Change& change, std::string* error) {
    const bool replacing = exists(change.target);
    if (change.staged.empty()) {
        if (!replacing) return true;
        change.saved = change.keepAs.empty() ? temporaryBeside(change.target, "removed") : change.keepAs;
        if (::rename(change.target.c_str(), change.saved.c_str()) != 0) {
            change.saved.clear();
            return fail(error, "moving " + systemError(change.target));
        }
        change.applied = true;
        return true;
    }
    if (replacing) {
        // A second name for the old file: the rename below replaces the
        // target without a moment where it is missing, and this name brings
        // the old file back should anything after it fail.
        change.saved = temporaryBeside(change.target, "replaced");
        if (::link(change.target.c_str(), change.saved.c_str()) != 0) {
            change.saved.clear();
            return fail(error, "cannot replace " + systemError(change.target));
        }
    }
    if (::rename(change.staged.c_str(), change.target.c_str()) != 0) {
        const std::string why = systemError(change.target);
        if (!change.saved.empty()) ::unlink(change.saved.c_str());
        change.saved.clear();
        return fail(error, "cannot replace " + why);
    }
    change.applied = true;
    return true;
}

void DeviceRootTransaction::undo(Change& change) {
    if (!change.applied) {
        if (!change.staged.empty()) ::unlink(change.staged.c_str());
        return;
    }
    if (!change.saved.empty()) {
        ::rename(change.saved.c_str(), change.target.c_str());
    } else {
        ::unlink(change.target.c_str());
    }
    change.applied = false;
}

void DeviceRootTransaction::rollback() {
    for (auto it = changes_.rbegin(); it != changes_.rend(); ++it) undo(*it);
    changes_.clear();
    // Innermost first; a folder something else has filled meanwhile stays.
    for (auto it = createdDirectories_.rbegin(); it != createdDirectories_.rend(); ++it) ::rmdir(it->c_str());
    createdDirectories_.clear();
}

void DeviceRootTransaction::finish() {
    std::vector<std::string> directories;
    for (const auto& change : changes_) {
        if (change.keepAs.empty() && !change.saved.empty()) ::unlink(change.saved.c_str());
        directories.push_back(fs::path(change.target).parent_path().string());
    }
    std::sort(directories.begin(), directories.end());
    directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
    for (const auto& directory : directories) FileWrites::syncDirectory(directory);
    changes_.clear();
    createdDirectories_.clear();
}
