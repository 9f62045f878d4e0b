#pragma once

// What the benchmarks share around their measurements: their options, the
// timing of a piece of work or of a whole process, the median and worst of
// several runs, and the line that sets a figure against its floor.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace BenchReport {

struct Arguments {
    std::string data = "build/bench-data";
    int runs = 5;
    // Only a benchmark whose defaults carry a count takes --messages.
    std::optional<std::size_t> messages;
};

// "usage: PROGRAM OPERANDS" on standard error.
void printUsage(const char* program, const std::string& operands);
// Reads [--data DIR] [--runs R] (and [--messages N] where `defaults` has a
// count) over `defaults`; nothing, after printing the usage, for anything
// else.
std::optional<Arguments> parseArguments(int argc, char** argv, const char* program, Arguments defaults = {});

// Seconds `work` took.
double secondsOf(const std::function<void()>& work);
// Median of `runs` timings after one warm-up run, in seconds.
double secondsOf(const std::function<void()>& work, int runs);

struct ProcessRun {
    double seconds = 0;
    bool ok = false;  // it ran and exited with 0
};
// Runs `argv` (looked up in PATH) to its end, standard output dropped when
// `quiet`; the time includes starting it.
ProcessRun runProcess(const std::vector<std::string>& argv, bool quiet);

struct Summary {
    double median = 0;  // the upper median of an even count
    double worst = 0;   // the largest
};
// Zeros for no values.
Summary summaryOf(std::vector<double> values);

// One figure of ours against the floor that does the same work more simply.
struct Ratio {
    const char* what;
    double ours;
    double floor;
    double target;  // the highest ratio that still meets the target
};
// "  WHAT   0.2420 s /   0.1490 s =  1.62 (target <= 3)", WHAT padded to
// `width` so that a benchmark's lines stand in columns.
void printRatio(const Ratio& ratio, int width);
// "  WHAT    2.910 s   FLOOR   2.490 s   ratio 1.17 (target <= 1.5)": the
// floor named beside its time, for floors that are other programs.
void printRatioBeside(const Ratio& ratio, const char* floorName);

}  // namespace BenchReport
