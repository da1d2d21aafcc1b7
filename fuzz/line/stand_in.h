// How the sensor-reply harness puts its serial line and clock under the
// program: the linker's --wrap. For a run-time function whose linker name
// is N, `--wrap=N` sends every call from the program's objects to __wrap_N,
// the stand-in, while the real function stays linked for anything not
// wrapped. A stand-in is declared with VEXA_STAND_IN(N) and its type is
// checked against the real declaration; fuzz/CMakeLists.txt collects the
// names from the stand-in sources, so each is written only once.
#pragma once

#include <type_traits>

#define VEXA_STAND_IN(linkerName) __asm__("__wrap_" #linkerName)

// The stand-in must have the very type of the function it replaces.
#define VEXA_SAME_TYPE(standIn, real)                                                              \
    static_assert(std::is_same_v<decltype(&standIn), decltype(&real)>,                             \
                  #standIn " does not have the type of " #real)
