#include "tools/phone/DeviceRootTransaction.h"

#include "platform/PrivateFiles.h"
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

using Kind = DeviceRootJournal::Kind;
using Phase = DeviceRootJournal::Phase;

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

std::string systemError(const std::string& path) { return path + ": " + std::strerror(errno); }

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// A path inside the root as one file name: '/' and the escape itself
// written as %2F and %25.
std::string flatten(const std::string& relative) {
    std::string name;
    for (const char c : relative) {
        if (c == '/') {
            name += "%2F";
        } else if (c == '%') {
            name += "%25";
        } else {
            name += c;
        }
    }
    return name;
}

}  // namespace

DeviceRootTransaction::DeviceRootTransaction(std::string root, std::function<bool()> stopRequested)
    : givenRoot_(std::move(root)), root_(givenRoot_), stopRequested_(std::move(stopRequested)) {}

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
        if (PrivateFiles::makeDirectory(*it) != 0 && errno != EEXIST) return fail(error, systemError(*it));
        createdRootFolders_.push_back(*it);
    }
    const fs::path canonical = fs::canonical(path, failure);
    if (failure || !fs::is_directory(canonical, failure))
        return fail(error, root_ + ": the device root is not a folder");
    root_ = canonical.string();
    journal_.emplace(root_);
    stagingMade_ = journal_->open(error);
    return stagingMade_;
}

bool DeviceRootTransaction::stopped(std::string* error) const {
    if (!stopRequested_ || !stopRequested_()) return false;
    return !fail(error, kStopped);
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
        if (!exists(walk.string())) {
            // In the journal before it exists, so a kill right after the
            // mkdir leaves nothing the next start does not know of.
            steps_.push_back(Step{Kind::Directory, walk.string(), {}, {}, false});
            if (!journal_->record(Phase::Staging, steps_, error)) return false;
            if (PrivateFiles::makeDirectory(walk.string()) != 0) return fail(error, systemError(walk.string()));
        }
        // An existing entry must be a folder within the root, not a link out.
        std::error_code failure;
        const std::string resolved = fs::canonical(walk, failure).string();
        if (failure || !fs::is_directory(resolved, failure) || resolved.rfind(root_ + "/", 0) != 0)
            return fail(error, walk.string() + " is not a folder inside the device root " + root_);
    }
    return true;
}

std::string DeviceRootTransaction::stagedPath(const std::string& path) const {
    const std::string target = place(path);
    const std::string relative = target.rfind(root_ + "/", 0) == 0 ? target.substr(root_.size() + 1) : target;
    return journal_->stagingFolder() + "/" + flatten(relative);
}

std::string DeviceRootTransaction::savedName(const char* purpose) {
    return journal_->stagingFolder() + "/" + purpose + "-" + std::to_string(++serial_);
}

bool DeviceRootTransaction::copyFile(int from, int to) const {
    // A sparse file (a database of 1 GB holding a few MB of pages) is copied
    // as it lies on disk: its data extents are copied, its holes stay holes,
    // so the copy never takes more room than the original. A filesystem that
    // cannot tell holes (SEEK_DATA refused) has its file copied whole.
    struct stat info {};
    if (::fstat(from, &info) != 0) return false;
    const off_t size = info.st_size;
    off_t offset = 0;
    while (offset < size) {
        off_t data = ::lseek(from, offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // a hole up to the end
        off_t hole = data < 0 ? -1 : ::lseek(from, data, SEEK_HOLE);
        if (data < 0 || hole < 0) {
            if (errno != EINVAL && errno != EOPNOTSUPP) return false;
            data = offset;
            hole = -1;  // to the end of the file, however far it grew
        }
        if (!copyRange(from, to, data, hole)) return false;
        if (hole < 0) return true;
        offset = hole;
    }
    // The hole the file ends with, which no write made.
    struct stat copied {};
    return ::fstat(to, &copied) == 0 && (copied.st_size >= size || ::ftruncate(to, size) == 0);
}

bool DeviceRootTransaction::copyRange(int from, int to, off_t start, off_t end) const {
    if (::lseek(from, start, SEEK_SET) != start || ::lseek(to, start, SEEK_SET) != start) return false;
    char buffer[1 << 16];
    for (off_t at = start; end < 0 || at < end;) {
        if (stopRequested_ && stopRequested_()) return false;
        const std::size_t want =
            end < 0 ? sizeof buffer : static_cast<std::size_t>(std::min<off_t>(sizeof buffer, end - at));
        const ssize_t got = ::read(from, buffer, want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!FileWrites::writeAll(to, buffer, static_cast<std::size_t>(got))) return false;
        at += got;
    }
    return true;
}

bool DeviceRootTransaction::stageCopy(const std::string& source, const std::string& path, std::string* error) {
    const std::string target = place(path);
    if (stopped(error) || !insideRoot(target, error)) return false;
    const int from = ::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (from < 0) return fail(error, systemError(source));
    struct stat info {};
    if (::fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(from);
        return fail(error, source + ": not a regular file");
    }
    const std::string staged = stagedPath(target);
    const int to = PrivateFiles::createFile(staged);
    if (to < 0) {
        ::close(from);
        return fail(error, systemError(staged));
    }
    steps_.push_back(Step{Kind::Replace, target, staged, {}, false});
    const bool copied = copyFile(from, to) && ::fsync(to) == 0;
    const std::string why = copied ? std::string() : std::strerror(errno);
    ::close(from);
    const bool closed = ::close(to) == 0;
    if (!copied && stopped(error)) return false;
    if (!copied || !closed)
        return fail(error, "copying " + source + " to " + staged + ": " + (copied ? std::strerror(errno) : why));
    return true;
}

bool DeviceRootTransaction::stageMove(const std::string& source, const std::string& path, std::string* error) {
    const std::string target = place(path);
    if (stopped(error) || !insideRoot(target, error)) return false;
    const std::string staged = stagedPath(target);
    struct stat info {};
    if (::lstat(source.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return fail(error, source + ": not a regular file");
    if (exists(staged)) return fail(error, staged + ": " + std::strerror(EEXIST));
    steps_.push_back(Step{Kind::Replace, target, staged, {}, false});
    if (::rename(source.c_str(), staged.c_str()) != 0) {
        const std::string why = systemError(source);
        steps_.pop_back();
        return fail(error, "moving " + why + " to " + staged);
    }
    // The user's alone, as a staged copy is; its contents reach the disk
    // before the commit renames it into place, as a copy's do.
    const int fd = ::open(staged.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fchmod(fd, PrivateFiles::kFileMode) == 0 && ::fsync(fd) == 0;
    const std::string why = synced ? std::string() : systemError(staged);
    if (fd >= 0) ::close(fd);
    return synced || fail(error, why);
}

bool DeviceRootTransaction::stageContents(const std::string& bytes, const std::string& path, std::string* error) {
    const std::string target = place(path);
    if (stopped(error) || !insideRoot(target, error)) return false;
    const std::string staged = stagedPath(target);
    const int to = PrivateFiles::createFile(staged);
    if (to < 0) return fail(error, systemError(staged));
    steps_.push_back(Step{Kind::Replace, target, staged, {}, false});
    const bool written = FileWrites::writeAll(to, bytes.data(), bytes.size()) && ::fsync(to) == 0;
    if (::close(to) != 0 || !written) return fail(error, systemError(staged));
    return true;
}

bool DeviceRootTransaction::stageRemoval(const std::string& path, const std::string& keepPath, std::string* error) {
    const std::string target = place(path);
    const std::string keepAs = keepPath.empty() ? std::string() : place(keepPath);
    if (!insideRoot(target, error) || (!keepAs.empty() && !insideRoot(keepAs, error))) return false;
    steps_.push_back(Step{Kind::Move, target, {}, keepAs, false});
    return true;
}

bool DeviceRootTransaction::commit(std::string* error) {
    // What each rename finds is settled, and written down, before the first.
    for (auto& step : steps_) {
        if (step.kind == Kind::Directory) continue;
        step.existed = exists(step.target);
        if (step.kind == Kind::Replace && step.existed) step.saved = savedName("replaced");
        if (step.kind == Kind::Move && step.saved.empty()) step.saved = savedName("removed");
    }
    FileWrites::syncDirectory(journal_->stagingFolder());
    if (stopped(error) || !journal_->record(Phase::Renaming, steps_, error)) {
        rollback();
        return false;
    }
    phase_ = Phase::Renaming;
    std::vector<std::string> folders;
    for (auto& step : steps_) {
        if (stopped(error) || !apply(step, error)) {
            rollback();
            return false;
        }
        if (step.kind != Kind::Directory) folders.push_back(fs::path(step.target).parent_path().string());
        if (step.kind == Kind::Move && step.existed) folders.push_back(fs::path(step.saved).parent_path().string());
    }
    FileWrites::syncDirectories(std::move(folders));
    if (!journal_->record(Phase::Done, steps_, error)) {
        rollback();
        return false;
    }
    phase_ = Phase::Done;
    journal_->discard();
    journal_.reset();
    steps_.clear();
    committed_ = true;
    return true;
}

bool DeviceRootTransaction::apply(Step& step, std::string* error) {
    switch (step.kind) {
    case Kind::Directory: return true;
    case Kind::Move:
        if (step.existed && ::rename(step.target.c_str(), step.saved.c_str()) != 0)
            return fail(error, "moving " + systemError(step.target));
        return true;
    case Kind::Replace: break;
    }
    // A second name for the old file: the rename below replaces the target
    // without a moment where it is missing, and this name brings the old
    // file back should anything after it fail.
    if (step.existed && ::link(step.target.c_str(), step.saved.c_str()) != 0)
        return fail(error, "cannot replace " + systemError(step.target));
    if (::rename(step.staged.c_str(), step.target.c_str()) != 0)
        return fail(error, "cannot replace " + systemError(step.target));
    return true;
}

void DeviceRootTransaction::rollback() {
    // A staging folder this object did not make (one it could not recover)
    // is left for the owner to look at.
    if (journal_ && stagingMade_) {
        DeviceRootJournal::rollBack(phase_, steps_);
        journal_->discard();
    }
    steps_.clear();
    journal_.reset();
    // Innermost first; a folder something else has filled meanwhile stays.
    for (auto it = createdRootFolders_.rbegin(); it != createdRootFolders_.rend(); ++it) ::rmdir(it->c_str());
    createdRootFolders_.clear();
}
