#pragma once

// Runs the programs beside the test program as child processes, with extra
// environment, an optional file-size limit (a disk that fills up) and an
// optional kill; standard error is kept for the checks.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fault {

inline std::string binDirectory() {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    return path.substr(0, path.rfind('/'));
}

struct RunOptions {
    std::map<std::string, std::string> environment;
    long long fileSizeLimit = -1;  // bytes; -1 for none
};

struct RunResult {
    int status = -1;      // exit status; -1 when ended by a signal
    bool killed = false;  // it was still running when the test killed it
    int signal = 0;       // the signal that ended it, if one did
    std::string stderrText;
};

// One started program; its standard error goes to a file of its own.
class Child {
public:
    Child(const std::vector<std::string>& arguments, const RunOptions& options)
        : errorFile_("/tmp/brindlex-fault-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++)) {
        pid_ = ::fork();
        if (pid_ == 0) exec(arguments, options);
    }

    pid_t pid() const { return pid_; }

    bool running() {
        if (reaped_) return false;
        if (::waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
        return !reaped_;
    }

    // What it wrote to standard error so far.
    std::string stderrSoFar() const {
        std::ifstream in(errorFile_);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Sends `signal` when it still runs (0: none), then waits for its end.
    RunResult finish(int signal = 0) {
        RunResult result;
        if (signal != 0 && running()) {
            ::kill(pid_, signal);
            result.killed = true;
        }
        if (!reaped_) ::waitpid(pid_, &status_, 0);
        reaped_ = true;
        result.status = WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
        result.signal = WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
        std::ifstream in(errorFile_);
        result.stderrText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        ::unlink(errorFile_.c_str());
        return result;
    }

private:
    static int& counter() {
        static int next = 0;
        return next;
    }

    [[noreturn]] void exec(const std::vector<std::string>& arguments, const RunOptions& options) {
        for (const auto& [name, value] : options.environment) ::setenv(name.c_str(), value.c_str(), 1);
        // Sanitizer runtimes insist on coming first; a preloaded shim comes
        // before them by design.
        ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
        const int fd = ::open(errorFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::dup2(::open("/dev/null", O_WRONLY), 1);
        if (options.fileSizeLimit >= 0) {
            // A write past the limit fails with EFBIG instead of killing.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const std::string program = binDirectory() + "/" + arguments.front();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::size_t i = 1; i < arguments.size(); ++i) argv.push_back(const_cast<char*>(arguments[i].c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }

    std::string errorFile_;
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
};

// Runs to its end.
inline RunResult run(const std::vector<std::string>& arguments, const RunOptions& options) {
    return Child(arguments, options).finish();
}

// Polls `condition` every 20 ms for up to `limit`.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace fault
