#include "common/DataLock.h"

#include "platform/DevicePaths.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The app syncs and counts on worker threads: the mutex keeps them out of
// each other's nesting count, and one thread's hold of the file lock from
// passing for another's.
std::recursive_mutex processMutex;
int depth = 0;
int lockFd = -1;

int openAndLock() {
    int fd = ::open(DevicePaths::lockFile().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd);
            return -1;
        }
    }
    return fd;
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
