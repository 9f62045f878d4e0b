#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// What tells one version of a file from another without reading it: the file
// itself (device and inode, which a replacing rename changes), its size and
// its modification time to the nanosecond. A missing file has an identity of
// its own, so its appearance counts as a change.
class FileIdentity {
public:
    static FileIdentity of(const std::string& path);

    bool exists() const { return exists_; }
    // True when the file was modified so shortly before `now` that another
    // change could still follow within the same tick of the file system's
    // clock (a few milliseconds; whole seconds on some file systems) and leave
    // size and time as they are. Such an identity proves nothing yet.
    bool isRecent(std::chrono::system_clock::time_point now) const;
    bool operator==(const FileIdentity&) const = default;

private:
    bool exists_ = false;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    std::int64_t size_ = 0;
    std::int64_t modifiedNs_ = 0;
};
