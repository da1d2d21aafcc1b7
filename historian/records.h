// What the historian keeps of a plant, one record type per kind of message a
// sensor's publisher sends (vexa-tb/<name>/frame, event, status, info) and
// what the historian makes of them itself: the gaps in a sensor's frames and
// the roll-ups of its measured value per minute and per hour. Plain values:
// the ingest makes them, every store keeps them, the queries return them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace historian {

// Milliseconds since 1970-01-01 UTC.
using Millis = std::int64_t;

constexpr int FRAME_WORDS = 13; // Ledge .. in0, the recording's columns
constexpr int PARAMETERS = 16;  // in the order of params/parameter_table.h

struct FrameRecord {
    std::string sensor;
    Millis time = 0;
    std::int64_t seq = 0;
    std::array<std::uint16_t, FRAME_WORDS> words{}; // Ledge, Redge, Mvalue, tVal, tTol, ...
};

struct EventRecord {
    std::string sensor;
    Millis time = 0;
    std::string id;   // the publisher's; "" from publishers without ids
    std::string kind; // "out of tolerance", "back in tolerance", "no answer", ...
    std::optional<int> mvalue, lower, upper, extreme;
    std::optional<std::int64_t> durationMs;
};

// A change of a sensor's status: "online", "no answer", "port lost", "offline".
struct StatusRecord {
    std::string sensor;
    Millis time = 0; // when the historian took it when the message has no time (a last will)
    std::string state;
    std::string port, program, broker; // as the status says; "" when it does not
};

// A sensor's info as it was from `time` on: stored only when it differs
// from the sensor's info before.
struct InfoRecord {
    std::string sensor;
    Millis time = 0;
    std::string firmware, ccd;
    int pixels = 0;
    std::array<int, PARAMETERS> parameters{};
    std::string program; // the program that published it, from the sensor's last status
};

// A stretch in which a sensor's frames are missing: a jump of `seq`, or the
// time from a status that is not "online" to the next frame.
struct GapRecord {
    std::string sensor;
    Millis from = 0, to = 0;
    std::string reason; // "seq 120 to 245", "offline", "no answer", "port lost", "restarted"
};

// The measured value (Mvalue) of a sensor over one minute or one hour.
// Stores merge a roll-up into one they hold for the same sensor and start
// (count, sum and sumSquares add up, min and max widen, the band is the
// later one), so a span closed in two parts adds up to the whole.
struct Rollup {
    std::string sensor;
    Millis start = 0; // on a minute or an hour, UTC
    int seconds = 60; // 60 or 3600
    std::int64_t count = 0;
    double sum = 0, sumSquares = 0;
    int min = 0, max = 0;
    std::int64_t out = 0;     // frames whose Mvalue lay outside their own band
    int lower = 0, upper = 0; // the band of the span's last frame
};

// What the service hands a store at once, to be kept in one transaction.
struct Batch {
    std::vector<FrameRecord> frames;
    std::vector<EventRecord> events;
    std::vector<StatusRecord> statuses;
    std::vector<InfoRecord> infos;
    std::vector<GapRecord> gaps;
    std::vector<Rollup> rollups;

    bool empty() const {
        return frames.empty() && events.empty() && statuses.empty() && infos.empty() &&
               gaps.empty() && rollups.empty();
    }
    std::size_t size() const {
        return frames.size() + events.size() + statuses.size() + infos.size() + gaps.size() +
               rollups.size();
    }
};

} // namespace historian
