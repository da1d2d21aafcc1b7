#include "link/output_queue.h"

#include <chrono>
#include <thread>

#include "runtime/runtime.h"
#include "shell/globals.h"

namespace {

constexpr double DRAIN_LIMIT = 2.0; // the port's write time-out, seconds

} // namespace

void DrainOutQ(void) {
    const double end = Timer() + DRAIN_LIMIT;
    while (GetOutQLen(com) > 0 && Timer() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
