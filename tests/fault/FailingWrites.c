/*
 * A full disk on demand, for the fault tests: preloaded into a program
 * (LD_PRELOAD), it lets that program's writes to files under a folder fail
 * from the Nth one on, as a disk that fills up part-way does.
 *
 *   BRINDLEX_FAIL_UNDER   only files whose path starts with this fail
 *   BRINDLEX_FAIL_AFTER   writes that still succeed before the first failure
 *                         (0: the first write fails)
 *   BRINDLEX_FAIL_COUNT   how many writes fail before the disk has room
 *                         again (another program freed space); unset: every
 *                         one from the first failure on
 *   BRINDLEX_FAIL_ERRNO   ENOSPC (default) or EIO
 *   BRINDLEX_FAIL_FSYNC   1: fsync and fdatasync of such files fail too
 *   BRINDLEX_KILL_AT_WRITE  the program kills itself (SIGKILL) just before
 *                         its Nth write to such files (1: the first), and
 *                         no write fails: a crash at a chosen point, the
 *                         same point every run
 *
 * Writes to anything else (standard output and error, pipes, sockets, other
 * folders) pass untouched, so the program can still say what went wrong.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

static atomic_long writes_seen;

static int failure_errno(void) {
    const char* name = getenv("BRINDLEX_FAIL_ERRNO");
    return name && strcmp(name, "EIO") == 0 ? EIO : ENOSPC;
}

static int watched(int fd) {
    const char* under = getenv("BRINDLEX_FAIL_UNDER");
    if (!under || !*under) return 0;
    char link[64], path[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length <= 0) return 0;
    path[length] = '\0';
    return strncmp(path, under, strlen(under)) == 0;
}

/* True when this write to `fd` is to fail (and sets errno). */
static int should_fail(int fd) {
    if (!watched(fd)) return 0;
    const long number = atomic_fetch_add(&writes_seen, 1) + 1; /* this write's, from 1 */
    const char* kill_at = getenv("BRINDLEX_KILL_AT_WRITE");
    if (kill_at) {
        if (number == atol(kill_at)) raise(SIGKILL);
        return 0;
    }
    const char* after = getenv("BRINDLEX_FAIL_AFTER");
    const long limit = after ? atol(after) : 0;
    if (number <= limit) return 0;
    const char* count = getenv("BRINDLEX_FAIL_COUNT");
    if (count && number > limit + atol(count)) return 0;
    errno = failure_errno();
    return 1;
}

#define REAL(name, type) ((type)dlsym(RTLD_NEXT, #name))

ssize_t write(int fd, const void* buffer, size_t count) {
    if (should_fail(fd)) return -1;
    return REAL(write, ssize_t(*)(int, const void*, size_t))(fd, buffer, count);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (should_fail(fd)) return -1;
    return REAL(pwrite, ssize_t(*)(int, const void*, size_t, off_t))(fd, buffer, count, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off64_t offset) {
    if (should_fail(fd)) return -1;
    return REAL(pwrite64, ssize_t(*)(int, const void*, size_t, off64_t))(fd, buffer, count, offset);
}

ssize_t writev(int fd, const struct iovec* vector, int count) {
    if (should_fail(fd)) return -1;
    return REAL(writev, ssize_t(*)(int, const struct iovec*, int))(fd, vector, count);
}

static int sync_fails(int fd) {
    const char* flag = getenv("BRINDLEX_FAIL_FSYNC");
    if (!flag || strcmp(flag, "1") != 0 || !watched(fd)) return 0;
    errno = failure_errno();
    return 1;
}

int fsync(int fd) {
    if (sync_fails(fd)) return -1;
    return REAL(fsync, int (*)(int))(fd);
}

int fdatasync(int fd) {
    if (sync_fails(fd)) return -1;
    return REAL(fdatasync, int (*)(int))(fd);
}
