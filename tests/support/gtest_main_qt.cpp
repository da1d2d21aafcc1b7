// gtest entry for tests that need the run-time: starts it headless.
#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/runtime.h"

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    if (InitCVIRTE(nullptr, argv, nullptr) == 0)
        return 2;
    const int result = RUN_ALL_TESTS();
    CloseCVIRTE();
    return result;
}
