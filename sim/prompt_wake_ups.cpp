#include "sim/prompt_wake_ups.h"

#ifdef __linux__
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace sim {

PromptWakeUps::PromptWakeUps() {
#ifdef __linux__
    const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    slack_ = slack > 0 ? static_cast<unsigned long>(slack) : 0;
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (::syscall(SYS_sched_getattr, 0, &old_, sizeof old_, 0) == 0 && old_.policy == SCHED_OTHER) {
        SchedAttr attr = old_;
        attr.size = sizeof attr;
        attr.runtime = 100'000;
        restore_ = ::syscall(SYS_sched_setattr, 0, &attr, 0) == 0;
    }
#endif
}

PromptWakeUps::~PromptWakeUps() {
#ifdef __linux__
    if (slack_ > 0)
        ::prctl(PR_SET_TIMERSLACK, slack_, 0UL, 0UL, 0UL);
    if (restore_) {
        old_.size = sizeof old_;
        ::syscall(SYS_sched_setattr, 0, &old_, 0);
    }
#endif
}

} // namespace sim
