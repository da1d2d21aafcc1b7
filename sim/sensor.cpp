#include "sim/sensor.h"

#include <algorithm>

namespace sim {

Sensor::Sensor(SensorConfig config)
    : config_(std::move(config)), ram_(config_.eeprom), eeprom_(config_.eeprom),
      line_(pixelsOfCcdType(config_.ccdType), config_.seed),
      garbageRng_(config_.seed ^ 0x6A09E667F3BCC909ULL) {
    last_ = measure(line_.samples(), ram_);
}

std::size_t Sensor::normalReplySize(std::uint16_t orderCode) const {
    switch (orderCode) {
    case order::Firmware:
        return kFirmwareReplySize;
    case order::Video:
        return kVideoReplySize;
    default:
        return kTelegramSize;
    }
}

Reply Sensor::handle(const Telegram &request) {
    const std::uint16_t code = requestOrder(request);
    const Faults &f = config_.faults;
    Reply reply;

    std::vector<std::uint8_t> bytes = answer(code, dataWords(request));
    if (code == order::Frame && f.hangupAfterFrames != 0 && frames_ >= f.hangupAfterFrames)
        reply.hangUp = true;

    if (f.noReply.count(code)) {
        bytes.clear();
    } else if (f.garbage.count(code)) {
        bytes.resize(bytes.empty() ? kTelegramSize : bytes.size());
        for (auto &b : bytes)
            b = static_cast<std::uint8_t>(garbageRng_.next());
    } else if (!bytes.empty()) {
        if (bytes.size() == kTelegramSize && f.badHeader.count(code)) {
            bytes[0] = 0x00;
            bytes[1] = 0x55;
        }
        if (bytes.size() == kTelegramSize && f.badEcho.count(code)) {
            const auto echo = static_cast<std::uint16_t>(code + 1);
            bytes[2] = static_cast<std::uint8_t>(echo >> 8);
            bytes[3] = static_cast<std::uint8_t>(echo & 0xFF);
        }
        if (auto it = f.cut.find(code); it != f.cut.end() && it->second < bytes.size())
            bytes.resize(it->second);
        if (auto it = f.extra.find(code); it != f.extra.end())
            bytes.insert(bytes.end(), it->second, kExtraByte);
    }

    if (auto it = f.delayMsByOrder.find(code); it != f.delayMsByOrder.end())
        reply.delay = std::chrono::milliseconds(it->second);
    else if (f.delayMs)
        reply.delay = std::chrono::milliseconds(*f.delayMs);

    reply.bytes = std::move(bytes);
    return reply;
}

std::vector<std::uint8_t> Sensor::answer(std::uint16_t code, const Words &words) {
    switch (code) {
    case order::WriteRam:
        ram_ = words;
        return {};
    case order::ReadRam:
        return makeReply(code, ram_);
    case order::WriteEeprom:
        eeprom_ = words;
        if (eepromSink_)
            eepromSink_(eeprom_);
        return {};
    case order::ReadEeprom:
        return makeReply(code, eeprom_);
    case order::Echo:
        return makeReply(code, words);
    case order::Teach:
        ram_[param::tVal] = measure(line_.samples(), ram_, last_.pix1).Mvalue;
        return makeReply(code, ram_);
    case order::Firmware:
        return firmwareReply();
    case order::Frame:
        return measurementFrame();
    case order::Video:
        return videoBlock(words[0]);
    case order::CcdInfo: {
        Words info{};
        info[0] = config_.ccdType;
        info[1] = pixels();
        info[2] = config_.resolution;
        if (config_.ccdInfo)
            std::copy(config_.ccdInfo->begin(), config_.ccdInfo->end(), info.begin());
        return makeReply(code, info);
    }
    case order::ResetMaxMin:
        anaMax_ = 0;
        anaMin_ = 1023;
        return makeReply(code, ram_);
    default:
        return {};
    }
}

std::vector<std::uint8_t> Sensor::measurementFrame() {
    ++frames_;
    if (!config_.replay.frames.empty()) {
        const auto &recorded = config_.replay.frames;
        lastFrame_ = recorded[(frames_ - 1) % recorded.size()];
        return makeReply(order::Frame, lastFrame_);
    }
    line_.advance();
    last_ = measure(line_.samples(), ram_, last_.pix1);
    if (last_.valid) {
        anaMax_ = std::max(anaMax_, last_.Mvalue);
        anaMin_ = std::min(anaMin_, last_.Mvalue);
    }
    Words w{};
    w[frame::Ledge] = last_.Ledge;
    w[frame::Redge] = last_.Redge;
    w[frame::Mvalue] = last_.Mvalue;
    w[frame::tVal] = ram_[param::tVal];
    w[frame::tTol] = ram_[param::tTol];
    w[frame::pix1] = last_.pix1;
    w[frame::edcnt] = last_.edcnt;
    w[frame::mvstart] = last_.mvstart;
    w[frame::mvend] = last_.mvend;
    w[frame::pixdelta] = last_.pixdelta;
    w[frame::anaMax] = anaMax_;
    w[frame::anaMin] = anaMin_;
    w[frame::in0] = 0;
    lastFrame_ = w;
    return makeReply(order::Frame, w);
}

std::vector<std::uint16_t> Sensor::videoSamples() const {
    // A replayed pass goes with the frame of the same number, as a Data loop
    // recorded them: one frame, then its video.
    if (const auto &passes = config_.replay.video; !passes.empty()) {
        const auto &pass = passes[(frames_ == 0 ? 0 : frames_ - 1) % passes.size()];
        return std::vector<std::uint16_t>(pass.begin(), pass.end());
    }
    const auto &line = line_.samples();
    const std::size_t n = line.size();
    std::vector<std::uint16_t> out(kVideoSamples, 0);

    // A 256-pixel window from pixel start: sample i is pixel start + i; no pixel, no light.
    auto window = [&](std::size_t start) {
        for (std::size_t i = 0; i < kVideoSamples; ++i) {
            const std::size_t p = start + i;
            out[i] = (p >= 1 && p <= n) ? line[p - 1] : 0;
        }
    };

    const std::uint16_t mode = ram_[param::ccdMode];
    const bool ownWindow = last_.edcnt != 0 && last_.pixdelta <= 192 && ram_[param::eMode] >= 2;
    if (mode == 1) {
        window(ram_[param::pStart]);
    } else if (mode == 2 && ownWindow) {
        window(last_.pix1);
    } else {
        // Full line, every 4th pixel of 1024 or every 2nd of 512, starting with the first.
        const std::size_t step = std::max<std::size_t>(1, n / kVideoSamples);
        for (std::size_t i = 0; i < kVideoSamples; ++i)
            out[i] = i * step < n ? line[i * step] : 0;
    }
    return out;
}

std::vector<std::uint8_t> Sensor::videoBlock(std::uint16_t first) const {
    const std::vector<std::uint16_t> all = videoSamples();
    std::vector<std::uint16_t> block(kVideoBlockSamples, 0);
    for (std::size_t i = 0; i < kVideoBlockSamples; ++i) {
        const std::size_t k = first + i;
        if (k < all.size())
            block[i] = all[k];
    }
    return wordsToBytes(block);
}

std::vector<std::uint8_t> Sensor::firmwareReply() const {
    std::vector<std::uint16_t> words(kFirmwareReplySize / 2, 0);
    const std::string &text = config_.firmware;
    for (std::size_t i = 0; i < text.size() && i + 1 < words.size(); ++i)
        words[i] = static_cast<unsigned char>(text[i]);
    return wordsToBytes(words);
}

std::vector<std::uint8_t> Sensor::exchange(const std::vector<std::uint8_t> &bytes) {
    const Clock::time_point now{};
    framer_.push(bytes.data(), bytes.size(), now);
    std::vector<std::uint8_t> out;
    while (auto r = framer_.pop(now)) {
        Reply reply = handle(r->bytes);
        out.insert(out.end(), reply.bytes.begin(), reply.bytes.end());
    }
    return out;
}

} // namespace sim
