#pragma once

#include "platform/TerminalText.h"

#include <cstdio>
#include <string>
#include <vector>

// One subcommand of brindlex-phone. A command gets the arguments after its
// name and returns the exit status: kSuccess, kFailure after printing why to
// standard error, or kUsage for arguments it does not understand, which
// makes main print the usage to standard error.
struct PhoneCommand {
    static constexpr int kSuccess = 0;
    static constexpr int kFailure = 1;
    static constexpr int kUsage = 2;

    // Prints why a command failed and gives the status that says so.
    static int failWith(const std::string& message) {
        std::fprintf(stderr, "brindlex-phone: %s\n", TerminalText::safe(message).c_str());
        return kFailure;
    }

    using Runner = int (*)(const std::vector<std::string>& arguments);

    const char* name;
    const char* synopsis;  // the arguments, as the usage shows them
    const char* summary;   // one line
    Runner run;
};
