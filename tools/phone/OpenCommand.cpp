#include "tools/phone/OpenCommand.h"
#include "platform/cli/CommandLine.h"
#include "platform/TerminalText.h"

#include "tools/phone/PhoneCommand.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// The app installed beside this program, as the desktop file's Exec runs it.
std::string appPath() {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return "Brindlex";
    std::string self(buffer, static_cast<std::size_t>(length));
    return self.substr(0, self.rfind('/') + 1) + "Brindlex";
}

}  // namespace

int OpenCommand::run(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1 || arguments[0].rfind("brindlex:", 0) != 0) return PhoneCommand::kUsage;
    const std::string app = appPath();
    char* argv[] = {const_cast<char*>(app.c_str()), const_cast<char*>(arguments[0].c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, app.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return CommandLine::fail("cannot start " + app);
    }
    // A running app answers within moments; a new one keeps running.
    for (int i = 0; i < 30; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                std::printf("Handed %s to the running app\n", TerminalText::safe(arguments[0]).c_str());
                return PhoneCommand::kSuccess;
            }
            return CommandLine::fail("the app could not take " + arguments[0]);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::printf("Started the app with %s\n", TerminalText::safe(arguments[0]).c_str());
    return PhoneCommand::kSuccess;
}
