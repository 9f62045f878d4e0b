#pragma once

#include <cstdio>
#include <cstdlib>

// What a target asserts about every input: a violated property is a finding
// as much as a crash is, so it aborts, and libFuzzer (or the corpus replay)
// reports the input that caused it.
#define FUZZ_CHECK(condition, what)                                                                            \
    do {                                                                                                       \
        if (!(condition)) {                                                                                    \
            std::fprintf(stderr, "%s:%d: property violated: %s (%s)\n", __FILE__, __LINE__, what, #condition); \
            std::abort();                                                                                      \
        }                                                                                                      \
    } while (0)
