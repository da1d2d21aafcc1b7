#include "runtime/precise_alarm.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace rt {

PreciseAlarm::PreciseAlarm(std::function<void()> onTime, QObject *parent)
    : QObject(parent), fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)),
      onTime_(std::move(onTime)) {
    if (fd_ < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PreciseAlarm::ring);
}

PreciseAlarm::~PreciseAlarm() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

bool PreciseAlarm::start(double seconds) {
    // A zero it_value would disarm the timer instead of ringing at once.
    const double due = std::max(seconds, 1e-6);
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(due);
    when.it_value.tv_nsec = static_cast<long>(std::fmod(due, 1.0) * 1e9);
    active_ = fd_ >= 0 && ::timerfd_settime(fd_, 0, &when, nullptr) == 0;
    return active_;
}

void PreciseAlarm::stop() {
    if (std::exchange(active_, false)) {
        const itimerspec disarmed{};
        ::timerfd_settime(fd_, 0, &disarmed, nullptr);
    }
}

void PreciseAlarm::ring() {
    std::uint64_t expirations = 0;
    if (::read(fd_, &expirations, sizeof expirations) != sizeof expirations)
        return; // stopped or started again after it had rung
    if (!std::exchange(active_, false))
        return;
    onTime_();
}

} // namespace rt
