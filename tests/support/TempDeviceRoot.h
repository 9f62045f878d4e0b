#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// A fresh, empty directory used as the device root for one test: it sets
// BRINDLEX_DEVICE_ROOT while it lives and removes the directory afterwards.
class TempDeviceRoot {
public:
    TempDeviceRoot() : TempDeviceRoot(std::filesystem::temp_directory_path()) {}
    // Under `parent`, e.g. a memory-backed folder for tests that commit to
    // SQLite thousands of times, where a disk's syncs would be the slowest part.
    explicit TempDeviceRoot(const std::filesystem::path& parent) {
        std::string pattern = (parent / "brindlex-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
        const char* previous = std::getenv("BRINDLEX_DEVICE_ROOT");
        hadPrevious_ = previous != nullptr;
        if (previous) previous_ = previous;
        ::setenv("BRINDLEX_DEVICE_ROOT", path_.c_str(), 1);
    }
    ~TempDeviceRoot() {
        if (hadPrevious_)
            ::setenv("BRINDLEX_DEVICE_ROOT", previous_.c_str(), 1);
        else
            ::unsetenv("BRINDLEX_DEVICE_ROOT");
        std::error_code ignored;
        // Tests may make folders read-only; give write access back first.
        for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};
