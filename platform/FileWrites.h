#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The POSIX steps every durable write goes through: writing a buffer whole
// and making a folder's new names survive a crash.
class FileWrites {
public:
    // Writes all `size` bytes, going on after interruptions by a signal;
    // false on the first real failure.
    static bool writeAll(int fd, const char* data, std::size_t size);
    // Makes renames and new names in the folder durable. Best effort: a
    // folder that cannot be opened is left as it is.
    static void syncDirectory(const std::string& directory);
    // The same for every folder named, each once however often it is named.
    static void syncDirectories(std::vector<std::string> directories);
};
