#include "tools/phone/DecryptedFiles.h"

#include "platform/PrivateFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

DecryptedFiles::DecryptedFiles(std::string folder) : folder_(std::move(folder)) {}

DecryptedFiles::~DecryptedFiles() {
    std::error_code ignored;
    // SQLite may have left its sidecars beside a decrypted database.
    for (const auto& file : files_)
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(file + suffix, ignored);
}

std::string DecryptedFiles::create(const std::string& suffix, std::string* error) {
    // The decrypted messages may be the first thing in a new device root.
    PrivateFiles::makeDirectories(folder_);
    std::string name = folder_ + "/" + kPrefix + std::to_string(::getpid()) + "-XXXXXX" + suffix;
    // mkstemps makes the file with mode 0600, whatever the umask.
    const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        if (error) *error = "cannot make a file in " + folder_ + ": " + std::strerror(errno);
        return {};
    }
    ::close(fd);
    files_.push_back(name);
    return name;
}

void DecryptedFiles::removeAbandoned(const std::string& folder) {
    std::error_code failure;
    const std::string prefix = kPrefix;
    for (const auto& entry : fs::directory_iterator(folder, failure)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) {
            std::error_code ignored;
            fs::remove(entry.path(), ignored);
        }
    }
}
