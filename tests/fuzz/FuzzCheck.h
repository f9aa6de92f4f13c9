#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep; a broken one is a finding like a crash, in the fuzzer and
// in the corpus replay alike (assert would vanish from optimised builds).
#define VELA_FUZZ_CHECK(condition)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
