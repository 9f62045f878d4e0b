#pragma once

#include <string>
#include <vector>

// The commands that set up the device root: `init` lays it out for a system
// version, `demo` fills it with a year of use.
class DeviceCommands {
public:
    static int init(const std::vector<std::string>& arguments);
    static int demo(const std::vector<std::string>& arguments);

private:
    // The value of --version (also --version=X); the default when absent,
    // nothing when the arguments hold anything else.
    static bool parseInitArguments(const std::vector<std::string>& arguments, std::string& version);
};
