#pragma once

#include <filesystem>
#include <fcntl.h>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// What another local user could do to the user's files. File modes do not
// stop root, as whom CI runs the tests, so the question is put to `nobody`
// in a child process; a test run by an ordinary user, who cannot become
// someone else, judges from the modes along the path instead.
namespace other_user {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

inline bool canBecomeNobody() { return ::geteuid() == 0; }

// Runs `attempt` (async-signal-safe calls only) as nobody in a child;
// true when it returned true.
template <typename Attempt>
bool asNobody(Attempt attempt) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool switched = ::setgroups(0, nullptr) == 0 && ::setgid(kNogroup) == 0 && ::setuid(kNobody) == 0;
        ::_exit(switched && attempt() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Whether every folder above `path` lets others pass and `path` itself
// carries `bit` for others.
inline bool modesAllow(const std::string& path, mode_t bit) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || (info.st_mode & bit) == 0) return false;
    for (auto folder = std::filesystem::path(path).parent_path(); folder != folder.parent_path();
         folder = folder.parent_path()) {
        if (::stat(folder.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) return false;
    }
    return true;
}

inline bool canRead(const std::string& path) {
    if (!canBecomeNobody()) return modesAllow(path, S_IROTH);
    const char* name = path.c_str();
    return asNobody([name] {
        const int fd = ::open(name, O_RDONLY | O_NONBLOCK);
        return fd >= 0 && ::close(fd) == 0;
    });
}

// Whether another user could make a new name in `folder`.
inline bool canCreateIn(const std::string& folder) {
    if (!canBecomeNobody()) return modesAllow(folder, S_IWOTH);
    const std::string probe = folder + "/.other-user-probe";
    const char* name = probe.c_str();
    const bool made = asNobody([name] {
        const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL, 0600);
        return fd >= 0 && ::close(fd) == 0;
    });
    ::unlink(name);
    return made;
}

// Lets others pass through every folder from `top` down to the one holding
// `path`, so that what is tested is the mode of `path` itself, not of the
// folders the programs made private.
inline void openWayTo(const std::string& path, const std::string& top) {
    for (auto folder = std::filesystem::path(path).parent_path();; folder = folder.parent_path()) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0) ::chmod(folder.c_str(), (info.st_mode & 07777) | S_IXOTH);
        if (folder == top || folder == folder.parent_path()) break;
    }
}

}  // namespace other_user
