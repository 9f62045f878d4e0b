#pragma once

// Real phones' files kept beside the repository (never inside it). Tests that
// use them skip, saying so, when the folder is not there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace realdata {

inline std::filesystem::path folder() { return BRINDLEX_REAL_DATA_DIR; }

inline bool available() { return std::filesystem::is_directory(folder()); }

// `relative` under the real-data folder, unpacked to `target` when it is a
// gzip copy (name ending in .gz); false when it could not be had.
inline bool copyTo(const std::string& relative, const std::filesystem::path& target) {
    const std::filesystem::path source = folder() / relative;
    if (!std::filesystem::exists(source)) return false;
    std::filesystem::create_directories(target.parent_path());
    if (source.extension() != ".gz") {
        std::error_code error;
        std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, error);
        return !error;
    }
    const std::string command = "gunzip -c '" + source.string() + "' > '" + target.string() + "'";
    return std::system(command.c_str()) == 0;
}

}  // namespace realdata

#define SKIP_WITHOUT_REAL_DATA()                                                                       \
    do {                                                                                               \
        if (!realdata::available()) GTEST_SKIP() << "no real data at " << realdata::folder().string(); \
    } while (false)
