// Invariant checks for the harnesses. A broken invariant is a finding like a
// crash: the check prints what should have held and where, then aborts, so
// libFuzzer reports it and keeps the input that broke it. A macro, because
// the report must name the harness line that checked.
#pragma once

#include <cstdio>
#include <cstdlib>

#define VEXA_FUZZ_CHECK(condition, what)                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "==vexa-fuzz== invariant broken at %s:%d: %s\n  (%s)\n",          \
                         __FILE__, __LINE__, what, #condition);                                    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
