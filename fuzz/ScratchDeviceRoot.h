#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A private device root under the temporary folder for one fuzzing process:
// created once, pointed at by BRINDLEX_DEVICE_ROOT, removed at exit. Targets
// write each input into one of its files and run the real code on it.
class ScratchDeviceRoot {
public:
    // The root, laid out for a phone of `systemVersion` on first call.
    static const std::string& instance(const std::string& systemVersion);

    // Replaces `path` with the bytes, and removes the files SQLite keeps
    // beside a database, so nothing of the previous input is played back.
    static void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size);
};
