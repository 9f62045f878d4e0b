#include "platform/DataLock.h"

#include "platform/DevicePaths.h"
#include "platform/PrivateFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The app syncs and counts on worker threads: the mutex keeps them out of
// each other's nesting count, and one thread's hold of the file lock from
// passing for another's.
std::recursive_mutex processMutex;
int depth = 0;
int lockFd = -1;

// The lock file under its name now; a descriptor whose file was removed (or
// replaced) while it waited locks a file nobody else will open.
bool stillNamed(int fd, const std::string& path) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

int openAndLock() {
    // An import that made the data directory and then failed takes it away
    // again, lock file and all, possibly while others wait on it: they take
    // the file under its name afresh, or find the folder gone.
    const std::string path = DevicePaths::lockFile();
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, PrivateFiles::kFileMode);
        if (fd < 0) return -1;
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                return -1;
            }
        }
        if (stillNamed(fd, path)) return fd;
        ::close(fd);
    }
}

}  // namespace

DataLock::DataLock() {
    processMutex.lock();
    if (depth == 0) lockFd = openAndLock();
    ++depth;
    locked_ = lockFd >= 0;
}

DataLock::~DataLock() {
    if (--depth == 0 && lockFd >= 0) {
        // Closing the descriptor releases the flock.
        ::close(lockFd);
        lockFd = -1;
    }
    processMutex.unlock();
}
