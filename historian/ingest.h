// What the historian makes of one message from the plant's broker: the topic
// (vexa-tb/<name>/frame, event, status or info) and its JSON payload, exactly
// as broker/messages.cpp writes them, become records in a Batch. Every field
// is checked (its type, a finite number in range, a text of sane length); a
// message that fails is passed over whole and counted, with the reason of the
// last one, so a foreign or broken publisher cannot put half a record in the
// store. What needs the messages before (the gaps of a sensor's frames, an
// info that did not change, the program of the last status, the roll-ups)
// is kept here, per sensor, between messages.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "historian/records.h"
#include "historian/rollups.h"

namespace historian {

constexpr std::size_t TEXT_MAX_LENGTH = 300;        // a field's text, in bytes
constexpr std::size_t SENSOR_NAME_MAX_LENGTH = 100; // as broker::checkName allows

// "2026-12-08T01:12:20.248+01:00" (the publisher's form; also without the
// milliseconds, with "Z", or with an offset without the colon) as
// milliseconds since the epoch; a time without an offset is taken as the
// historian's local time. Nothing when it is not such a time.
std::optional<Millis> parseIsoTime(std::string_view text);

class Ingest {
  public:
    // Takes one message: its records go to `batch`. False when it was passed
    // over (foreign() counts it, lastForeign() says why). `arrival` is when
    // the historian took it: the time of a status that has none (a last will).
    bool take(std::string_view topic, std::string_view payload, Millis arrival, Batch &batch);

    // Hands out every sensor's open roll-ups (at shutdown: the stores merge,
    // so a restart within the minute continues it).
    void flush(Batch &batch);

    // Messages taken and passed over since the start.
    std::int64_t taken() const { return taken_; }
    std::int64_t foreign() const { return foreign_; }
    // "vexa-tb/line3/frame: Mvalue is not a number"; "" before the first.
    const std::string &lastForeign() const { return lastForeign_; }

  private:
    struct Sensor {
        explicit Sensor(const std::string &name) : rollups(name) {}
        std::int64_t lastSeq = 0; // 0: no frame yet (since the start or a restart)
        std::int64_t seqStep = 0; // the usual step of seq, 0 while unknown
        Millis lastFrameTime = 0;
        std::optional<StatusRecord> lastStatus;
        std::string program; // of the last status that named one (a last will names none)
        std::optional<GapRecord> openGap; // from a status that is not "online"
        std::optional<InfoRecord> lastInfo;
        SensorRollups rollups;
    };

    Sensor &sensor(const std::string &name);
    void takeFrame(Sensor &sensor, FrameRecord frame, Batch &batch);
    void takeStatus(Sensor &sensor, StatusRecord status, Batch &batch);
    void takeInfo(Sensor &sensor, InfoRecord info, Batch &batch);

    std::map<std::string, Sensor> sensors_;
    std::int64_t taken_ = 0, foreign_ = 0;
    std::string lastForeign_;
};

} // namespace historian
