// A sparse file copied into the device root keeps its holes: the copy holds
// the same bytes at the same offsets and takes no more blocks than the
// original, whether the file ends in data or in a hole.
#include "support/TempDeviceRoot.h"
#include "tools/phone/DeviceRootTransaction.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr off_t kMiB = 1024 * 1024;

struct Extent {
    off_t offset;
    std::string bytes;
};

// A file of `size` bytes holding `extents` and holes everywhere else.
bool writeSparse(const std::string& path, off_t size, const std::vector<Extent>& extents) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool written = ::ftruncate(fd, size) == 0;
    for (const auto& extent : extents)
        written = written && ::pwrite(fd, extent.bytes.data(), extent.bytes.size(), extent.offset) ==
                                 static_cast<ssize_t>(extent.bytes.size());
    return ::close(fd) == 0 && written;
}

std::string readAt(const std::string& path, off_t offset, std::size_t length) {
    std::string bytes(length, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY);
    const ssize_t got = fd < 0 ? -1 : ::pread(fd, bytes.data(), length, offset);
    if (fd >= 0) ::close(fd);
    bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return bytes;
}

struct stat statOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info;
}

TEST(SparseCopyTest, HolesStayHolesAndTheBytesStayInPlace) {
    TempDeviceRoot root;
    const std::string page(4096, 'p');
    const std::string tail(5000, 't');
    struct Case {
        const char* name;
        off_t size;
        std::vector<Extent> extents;
    };
    const std::vector<Case> cases = {
        {"data, a hole, data, a hole to 1 GiB", 1024 * kMiB, {{0, page}, {512 * kMiB, page}}},
        {"a hole first, ending in data", 64 * kMiB + 5000, {{64 * kMiB, tail}}},
        {"only a hole", 256 * kMiB, {}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string source = root.path() + "/source";
        ASSERT_TRUE(writeSparse(source, test.size, test.extents));
        if (statOf(source).st_blocks * 512 >= 16 * kMiB) GTEST_SKIP() << "skipped: this filesystem keeps no holes";

        DeviceRootTransaction transaction(root.path() + "/device");
        std::string error;
        ASSERT_TRUE(transaction.begin(&error)) << error;
        const std::string target = transaction.root() + "/sms.db";
        ASSERT_TRUE(transaction.stageCopy(source, target, &error)) << error;
        ASSERT_TRUE(transaction.commit(&error)) << error;

        const struct stat copy = statOf(target);
        EXPECT_EQ(copy.st_size, test.size);
        EXPECT_LE(copy.st_blocks, statOf(source).st_blocks + 8);
        for (const auto& extent : test.extents)
            EXPECT_EQ(readAt(target, extent.offset, extent.bytes.size()), extent.bytes);
        // A hole reads as zeros, in the copy as in the original.
        EXPECT_EQ(readAt(target, 8192, 4096), std::string(4096, '\0'));
        ::unlink(source.c_str());
    }
}

}  // namespace
