#include "fuzz/ScratchDeviceRoot.h"

#include "fuzz/FuzzCheck.h"
#include "tools/fixtures/DeviceFixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string& rootPath() {
    static std::string path;
    return path;
}

void removeRoot() {
    std::error_code ignored;
    if (!rootPath().empty()) fs::remove_all(rootPath(), ignored);
}

}  // namespace

const std::string& ScratchDeviceRoot::instance(const std::string& systemVersion) {
    std::string& root = rootPath();
    if (!root.empty()) return root;
    std::string pattern = (fs::temp_directory_path() / "brindlex-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr, "a scratch folder");
    root = pattern;
    std::atexit(removeRoot);
    ::setenv("BRINDLEX_DEVICE_ROOT", root.c_str(), 1);
    std::string error;
    FUZZ_CHECK(DeviceFixture::createDeviceRoot(root, systemVersion, &error), "a device root");
    return root;
}

void ScratchDeviceRoot::writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::error_code ignored;
    for (const char* sidecar : {"-wal", "-shm", "-journal"}) fs::remove(path + sidecar, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    FUZZ_CHECK(out.good(), "writing the input");
}
