// While one lives, the calling thread asks Linux to wake it on time.
#pragma once

#include <cstdint>

namespace sim {

// No timer slack (by default a sleep may end up to 50 us late, to bundle wake-ups) and the
// shortest time slice, so that on a busy processor the thread takes over at once when it wakes
// instead of after the running thread's slice (a few ms). Kernels before 6.12 ignore the
// slice; elsewhere this does nothing. The thread's settings come back at destruction.
class PromptWakeUps {
  public:
    PromptWakeUps();
    PromptWakeUps(const PromptWakeUps &) = delete;
    PromptWakeUps &operator=(const PromptWakeUps &) = delete;
    ~PromptWakeUps();

  private:
    struct SchedAttr { // struct sched_attr, first version
        std::uint32_t size;
        std::uint32_t policy;
        std::uint64_t flags;
        std::int32_t nice;
        std::uint32_t priority;
        std::uint64_t runtime; // ns; the slice, for a normal thread
        std::uint64_t deadline;
        std::uint64_t period;
    };
    unsigned long slack_ = 0;
    SchedAttr old_{};
    bool restore_ = false;
};

} // namespace sim
