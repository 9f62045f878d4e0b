#pragma once

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// One run of a built program of bin/, beside this test program, through the
// shell: how it ended and what it printed. The child inherits the
// environment, the device root with it.
struct ProgramRun {
    int status = -1;  // the exit status; -1 when a signal ended it
    std::string out;
    std::string err;

    // Runs `program` with shell-quoted `arguments`; its output goes through
    // files in `outputDirectory`. `environment` goes before the command
    // ("NAME=value " or "env -u NAME ").
    static ProgramRun of(const std::string& program, const std::string& arguments, const std::string& outputDirectory,
                         const std::string& environment = {}) {
        const std::string out = outputDirectory + "/out", err = outputDirectory + "/err";
        const std::string command =
            environment + "'" + beside(program) + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    }

    // The path of bin/<program>.
    static std::string beside(const std::string& program) {
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        const std::string self(buffer, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
        return (std::filesystem::path(self).parent_path() / program).string();
    }

    static std::string slurp(const std::string& path) {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};
