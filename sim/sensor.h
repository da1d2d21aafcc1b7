// The simulated V-EXA-TB sensor: answers requests, no I/O of its own.
#pragma once

#include "sim/ccd_line.h"
#include "sim/framer.h"
#include "sim/protocol.h"
#include "sim/replay_file.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim {

constexpr char kFirmwareText[] = "V-EXA-TB sim firmware 1.0";

// Faults the sensor can be told to make, per order code.
struct Faults {
    std::set<std::uint16_t> noReply;          // say nothing
    std::set<std::uint16_t> badHeader;        // 36-byte replies start 00 55 instead of 00 AA
    std::set<std::uint16_t> badEcho;          // 36-byte replies echo the order code + 1
    std::set<std::uint16_t> garbage;          // random bytes instead of the reply (same length; 36
                                              // bytes for orders that get no reply)
    std::map<std::uint16_t, std::size_t> cut; // reply cut to this many bytes
    std::map<std::uint16_t, std::size_t> extra;       // this many 0xEE bytes appended to the reply
    std::optional<unsigned> delayMs;                  // every reply this late...
    std::map<std::uint16_t, unsigned> delayMsByOrder; // ...unless the order has its own delay
    unsigned hangupAfterFrames = 0; // hang up after this many order-8 frames; 0 never
};

constexpr std::uint8_t kExtraByte = 0xEE;

struct SensorConfig {
    std::uint16_t ccdType = 1;      // 1, 2: 1024 pixels; 3: 512 pixels
    std::uint16_t resolution = 250; // reported by order 10; 750 marks type 2's optical variant
    std::uint64_t seed = 1;         // noise and garbage
    Words eeprom = defaultParameters();
    Faults faults;
    Replay replay; // frames (and video passes) to send instead of the synthetic line's
    std::string firmware = kFirmwareText; // order 7's text (Windows-1252 bytes)
    // Order 10's words (type, pixel count, resolution) instead of the line's:
    // those of the sensor a replayed recording describes.
    std::optional<std::array<std::uint16_t, 3>> ccdInfo;
};

struct Reply {
    std::vector<std::uint8_t> bytes; // empty: no reply
    std::chrono::milliseconds delay{0};
    bool hangUp = false; // close the line once these bytes are out
};

class Sensor {
  public:
    explicit Sensor(SensorConfig config = {});

    // Answers one request.
    Reply handle(const Telegram &request);

    // Frames the bytes (with resynchronisation, without time) and returns what the sensor
    // sends back for every complete request, in order, delays ignored.
    std::vector<std::uint8_t> exchange(const std::vector<std::uint8_t> &bytes);

    // Called with the new contents on every EEPROM write (order 3).
    void onEepromWritten(std::function<void(const Words &)> sink) { eepromSink_ = std::move(sink); }

    const Words &ram() const { return ram_; }
    const Words &eeprom() const { return eeprom_; }
    Faults &faults() { return config_.faults; }
    const SensorConfig &config() const { return config_; }

    std::uint16_t pixels() const { return static_cast<std::uint16_t>(line_.pixels()); }
    const SyntheticLine &line() const { return line_; }
    // Data words of the last measurement frame sent (all zero before the first).
    const Words &lastFrame() const { return lastFrame_; }
    // The 256 samples order 9 serves in the current CCD mode.
    std::vector<std::uint16_t> videoSamples() const;
    // Frames handled so far (order-8 requests).
    unsigned frames() const { return frames_; }

  private:
    std::vector<std::uint8_t> answer(std::uint16_t orderCode, const Words &words);
    std::vector<std::uint8_t> measurementFrame();
    std::vector<std::uint8_t> videoBlock(std::uint16_t first) const;
    std::vector<std::uint8_t> firmwareReply() const;
    std::size_t normalReplySize(std::uint16_t orderCode) const;

    SensorConfig config_;
    Words ram_{};
    Words eeprom_{};
    SyntheticLine line_;
    Measurement last_;
    Words lastFrame_{};
    std::uint16_t anaMax_ = 0;
    std::uint16_t anaMin_ = 1023;
    unsigned frames_ = 0;
    Random garbageRng_;
    RequestFramer framer_;
    std::function<void(const Words &)> eepromSink_;
};

} // namespace sim
