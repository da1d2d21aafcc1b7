// The time column is the recording's own clock text (record/frame_csv) with
// the zone's offset, so that an event log read elsewhere or beside a
// recording of another season still places its events.
#include "limits/event_log.h"

#include <utility>

#include "record/frame_csv.h"

namespace limits {

namespace {

template <typename Number> void appendField(std::string &line, const std::optional<Number> &value) {
    line += ',';
    if (value)
        line += std::to_string(*value);
}

} // namespace

std::string eventLogHeader() {
    return "time,kind,Mvalue,lower,upper,duration_ms,extreme\n";
}

// No kind's text holds a comma, a quote or a line end: none is quoted.
std::string eventLine(const LimitEvent &event) {
    std::string line = record::isoLocalTimeWithOffset(event.time);
    line += ',';
    line += kindText(event.kind);
    appendField(line, event.mvalue);
    appendField(line, event.lower);
    appendField(line, event.upper);
    appendField(line, event.durationMs);
    appendField(line, event.extreme);
    line += '\n';
    return line;
}

bool EventLog::open(const std::string &path) {
    return file_.open(path) && file_.write(eventLogHeader());
}

bool EventLog::write(const LimitEvent &event) {
    return file_.write(eventLine(event));
}

stream::Subscription EventLog::follow(stream::Channel<LimitEvent> &events,
                                      std::function<void(const std::string &reason)> failed) {
    return events.subscribe([this, failed = std::move(failed)](const LimitEvent &event) {
        if (!write(event) && failed)
            failed(reason());
    });
}

} // namespace limits
