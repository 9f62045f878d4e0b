#pragma once

#include <string>
#include <vector>

// One subcommand of brindlex-phone. A command gets the arguments after its
// name and returns the exit status: kSuccess, kFailure after saying why
// (CommandLine::fail, as every tool fails), or kUsage for arguments it does
// not understand, which makes main print the usage to standard error.
struct PhoneCommand {
    static constexpr int kSuccess = 0;
    static constexpr int kFailure = 1;
    static constexpr int kUsage = 2;

    using Runner = int (*)(const std::vector<std::string>& arguments);

    const char* name;
    const char* synopsis;  // the arguments, as the usage shows them
    const char* summary;   // one line
    Runner run;
};
