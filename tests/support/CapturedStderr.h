#pragma once

// What a piece of code writes to standard error, for tests of the
// one-line failure reports.
#include <gtest/gtest.h>

#include <string>

// Every line written to standard error while `run` runs.
template <typename Run>
std::string stderrOf(Run&& run) {
    testing::internal::CaptureStderr();
    run();
    return testing::internal::GetCapturedStderr();
}

inline int lineCount(const std::string& text) {
    int lines = 0;
    for (const char c : text) lines += c == '\n';
    return lines;
}
