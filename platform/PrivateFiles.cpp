#include "platform/PrivateFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

std::string octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Leaves only the owner's bits; chmod is safe here as the folders walked
// were found to be the user's alone first.
void tightenOne(const fs::path& path, const struct stat& info) {
    if (info.st_uid != ::geteuid() || (info.st_mode & 077) == 0) return;
    ::chmod(path.c_str(), info.st_mode & 0700);
}

}  // namespace

int PrivateFiles::makeDirectory(const std::string& folder) {
    if (::mkdir(folder.c_str(), kFolderMode) != 0) return -1;
    // mkdir applies the umask, which may take the owner's own bits too
    // (0277); the mode is set again so every new folder is exactly 0700.
    ::chmod(folder.c_str(), kFolderMode);
    return 0;
}

bool PrivateFiles::makeDirectories(const std::string& path, std::string* error) {
    if (path.empty()) return fail(error, "no folder given");
    std::vector<fs::path> missing;
    for (fs::path walk = fs::path(path).lexically_normal(); !walk.empty(); walk = walk.parent_path()) {
        struct stat info {};
        if (::stat(walk.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode)) return fail(error, walk.string() + ": not a folder");
            break;
        }
        missing.push_back(walk);
        if (walk == walk.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (it->filename().empty()) continue;  // a trailing slash names the folder above again
        if (makeDirectory(it->string()) != 0 && errno != EEXIST)
            return fail(error, it->string() + ": " + std::strerror(errno));
    }
    return true;
}

int PrivateFiles::createFile(const std::string& path, int extraFlags) {
    // O_EXCL refuses any name already there, a dangling link too; O_NOFOLLOW
    // says the same for the case a link is what is found.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | extraFlags, kFileMode);
    if (fd >= 0) ::fchmod(fd, kFileMode);
    return fd;
}

int PrivateFiles::createUniqueFile(const std::string& prefix, std::string* path) {
    std::string name = prefix + "XXXXXX";
    // mkostemp opens with O_CREAT | O_EXCL and mode 0600 less the umask.
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    ::fchmod(fd, kFileMode);
    if (path) *path = name;
    return fd;
}

void PrivateFiles::tightenTree(const std::string& folder) {
    // A link at the top is the user's own choice of where the tree lives.
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
    tightenOne(folder, info);
    std::error_code failure;
    // The iterator does not enter linked folders; links themselves carry no
    // mode of their own and are skipped.
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, failure), end;
         !failure && it != end; it.increment(failure)) {
        if (::lstat(it->path().c_str(), &info) != 0) continue;
        if (S_ISDIR(info.st_mode) || S_ISREG(info.st_mode)) tightenOne(it->path(), info);
    }
}

std::string PrivateFiles::whyNotPrivate(const std::string& folder, bool followLink) {
    struct stat info {};
    const int found = followLink ? ::stat(folder.c_str(), &info) : ::lstat(folder.c_str(), &info);
    if (found != 0) return std::string();
    if (S_ISLNK(info.st_mode)) return folder + " is a link; the programs write there only into a folder itself";
    if (!S_ISDIR(info.st_mode)) return folder + " is not a folder";
    if (info.st_uid != ::geteuid())
        return folder + " belongs to user " + std::to_string(info.st_uid) + ", not to you (user " +
               std::to_string(::geteuid()) + "): that user could read and change the phone's messages; " +
               "choose a folder of your own";
    if ((info.st_mode & 022) != 0)
        return folder + " can be written by other users (mode " + octal(info.st_mode) +
               "): they could replace the phone's files or plant links the programs would write through; " +
               "make it yours alone with: chmod 700 " + folder;
    return std::string();
}
