#pragma once

#include <cstdio>
#include <cstdlib>

// A property a harness holds the code to. Failing one is a finding like a crash: the message says
// which, and abort() lets libFuzzer keep the input (and fails a test that replays it).
#define FUZZ_CHECK(condition, what)                                                                       \
    do {                                                                                                  \
        if (!(condition)) {                                                                               \
            std::fprintf(stderr, "%s:%d: %s (%s does not hold)\n", __FILE__, __LINE__, what, #condition); \
            std::abort();                                                                                 \
        }                                                                                                 \
    } while (0)
