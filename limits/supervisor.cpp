// The supervisor only wires: the watches decide, the channel tells.
#include "limits/supervisor.h"

#include <ctime>

namespace limits {

Supervisor::Supervisor(ToleranceSettings settings, stream::FrameStream &source)
    : tolerance_(settings) {
    frames_ = source.frames.subscribe(
        [this](const stream::Frame &frame) { tell(tolerance_.feed(frame)); });
    ports_ = source.portEvents.subscribe(
        [this](const stream::PortEvent &event) { tell(line_.feed(event, stream::Clock::now())); });
}

void Supervisor::tell(const std::optional<LimitEvent> &event) {
    if (!event)
        return;
    if (event->kind == EventKind::OutOfTolerance) {
        ++excursions_;
        lastExcursion_ = event->time;
    }
    events.publish(*event);
}

Supervisor &programSupervisor() {
    static Supervisor supervisor;
    return supervisor;
}

std::string excursionsText(int excursions, std::optional<stream::Clock::time_point> last) {
    if (excursions <= 0)
        return "no excursions";
    std::string text =
        std::to_string(excursions) + (excursions == 1 ? " excursion" : " excursions");
    if (!last)
        return text;
    const std::time_t seconds = stream::Clock::to_time_t(*last);
    std::tm local{};
    char clock[16] = "";
#ifdef _WIN32
    const bool known = localtime_s(&local, &seconds) == 0;
#else
    const bool known = ::localtime_r(&seconds, &local) != nullptr;
#endif
    if (known)
        std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
    return text + ", last " + clock;
}

} // namespace limits
