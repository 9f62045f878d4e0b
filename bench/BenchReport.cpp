#include "bench/BenchReport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace BenchReport {

namespace {

std::string optionsOf(const Arguments& defaults) {
    return defaults.messages ? "[--messages N] [--runs R] [--data DIR]" : "[--data DIR] [--runs R]";
}

// Spawned children inherit this process's standard output unless told
// otherwise; the sqlite3 floors would fill the report with rows.
class SpawnActions {
public:
    explicit SpawnActions(bool quiet) {
        posix_spawn_file_actions_init(&actions_);
        if (quiet) posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

}  // namespace

void printUsage(const char* program, const std::string& operands) {
    std::fprintf(stderr, "usage: %s %s\n", program, operands.c_str());
}

std::optional<Arguments> parseArguments(int argc, char** argv, const char* program, Arguments defaults) {
    Arguments arguments = defaults;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 < argc && arg == "--data") {
            arguments.data = argv[++i];
        } else if (i + 1 < argc && arg == "--runs") {
            arguments.runs = std::max(1, std::atoi(argv[++i]));
        } else if (defaults.messages && i + 1 < argc && arg == "--messages") {
            arguments.messages = std::strtoull(argv[++i], nullptr, 10);
        } else {
            printUsage(program, optionsOf(defaults));
            return std::nullopt;
        }
    }
    return arguments;
}

double secondsOf(const std::function<void()>& work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

double secondsOf(const std::function<void()>& work, int runs) {
    work();  // warm-up: caches, the address book's index
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(secondsOf(work));
    return summaryOf(std::move(times)).median;
}

ProcessRun runProcess(const std::vector<std::string>& argv, bool quiet) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const SpawnActions actions(quiet);
    ProcessRun run;
    run.seconds = secondsOf([&] {
        pid_t pid = 0;
        if (posix_spawnp(&pid, args[0], actions.get(), nullptr, args.data(), environ) != 0) return;
        int status = 0;
        waitpid(pid, &status, 0);
        run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    });
    return run;
}

Summary summaryOf(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

void printRatio(const Ratio& ratio, int width) {
    std::printf("  %-*s %8.4f s / %8.4f s = %5.2f (target <= %.0f)\n", width, ratio.what, ratio.ours, ratio.floor,
                ratio.ours / ratio.floor, ratio.target);
}

void printRatioBeside(const Ratio& ratio, const char* floorName) {
    std::printf("  %-18s %7.3f s   %-23s %7.3f s   ratio %.2f (target <= %.1f)\n", ratio.what, ratio.ours, floorName,
                ratio.floor, ratio.ours / ratio.floor, ratio.target);
}

}  // namespace BenchReport
