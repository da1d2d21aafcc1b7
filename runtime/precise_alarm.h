// Inside the run-time: a single-shot alarm that ends on its time.
#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace rt {

// A QTimer rounds its time up to the next millisecond and may end up to
// 1.2 ms late, which is two bytes' time at 19200 baud. The serial port rests
// its reader until shortly before a reply's last byte can come; a late end
// would make the program see that byte late. This alarm is a kernel timer
// (timerfd) watched by the event loop: it ends within the scheduler's
// wake-up time of its deadline.
class PreciseAlarm : public QObject {
  public:
    explicit PreciseAlarm(std::function<void()> onTime, QObject *parent = nullptr);
    ~PreciseAlarm() override;
    PreciseAlarm(const PreciseAlarm &) = delete;
    PreciseAlarm &operator=(const PreciseAlarm &) = delete;

    // Rings once, `seconds` from now; a running alarm starts again. False
    // when the system gave no kernel timer: then it never rings.
    bool start(double seconds);
    void stop();
    bool isActive() const { return active_; }

  private:
    void ring();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> onTime_;
    bool active_ = false;
};

} // namespace rt
