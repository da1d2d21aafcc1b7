// The sensor's side of the line protocol: telegram layout, order codes and the parameter set.
//
// Every word travels high byte first. A request is 36 bytes: sync word 0x0055, order code,
// 16 data words. A 36-byte reply carries the header word 0x00AA, the order echo and 16 data
// words. The firmware text (order 7, 72 bytes) and a video block (order 9, 128 bytes) are sent
// without header or echo.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

constexpr std::size_t PNUM = 16;
constexpr std::size_t kTelegramSize = PNUM * 2 + 4;
constexpr std::size_t kFirmwareReplySize = 72;
constexpr std::size_t kVideoBlockSamples = 64;
constexpr std::size_t kVideoReplySize = kVideoBlockSamples * 2;
constexpr std::size_t kVideoSamples = 256;

constexpr std::uint16_t kSync = 0x0055;
constexpr std::uint16_t kReplyHeader = 0x00AA;

namespace order {
constexpr std::uint16_t WriteRam = 1;
constexpr std::uint16_t ReadRam = 2;
constexpr std::uint16_t WriteEeprom = 3;
constexpr std::uint16_t ReadEeprom = 4;
constexpr std::uint16_t Echo = 5;
constexpr std::uint16_t Teach = 6;
constexpr std::uint16_t Firmware = 7;
constexpr std::uint16_t Frame = 8;
constexpr std::uint16_t Video = 9;
constexpr std::uint16_t CcdInfo = 10;
constexpr std::uint16_t ResetMaxMin = 11;
} // namespace order

using Telegram = std::array<std::uint8_t, kTelegramSize>;
using Words = std::array<std::uint16_t, PNUM>;

// Place of each parameter in the parameter set (RAM, EEPROM and the data words of orders 1-4).
namespace param {
constexpr std::size_t power = 0;
constexpr std::size_t rs232Mode = 1;
constexpr std::size_t vThd = 2;
constexpr std::size_t bVal = 3;
constexpr std::size_t polarity = 4;
constexpr std::size_t eMode = 5;
constexpr std::size_t eBeg = 6;
constexpr std::size_t eEnd = 7;
constexpr std::size_t tVal = 8;
constexpr std::size_t tTol = 9;
constexpr std::size_t iGain = 10;
constexpr std::size_t ePoti = 11;
constexpr std::size_t ccdMode = 12;
constexpr std::size_t pStart = 13;
constexpr std::size_t anaMode = 14;
constexpr std::size_t para15 = 15;
} // namespace param

// Place of each value in the data words of a measurement frame (reply to order 8).
namespace frame {
constexpr std::size_t Ledge = 0;
constexpr std::size_t Redge = 1;
constexpr std::size_t Mvalue = 2;
constexpr std::size_t tVal = 3;
constexpr std::size_t tTol = 4;
constexpr std::size_t pix1 = 5;
constexpr std::size_t edcnt = 6;
constexpr std::size_t mvstart = 7;
constexpr std::size_t mvend = 8;
constexpr std::size_t pixdelta = 9;
constexpr std::size_t anaMax = 10;
constexpr std::size_t anaMin = 11;
constexpr std::size_t in0 = 12;
} // namespace frame

// The parameter set a fresh sensor holds in EEPROM.
Words defaultParameters();

inline std::uint16_t getWord(const std::uint8_t *bytes) {
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

inline void putWord(std::vector<std::uint8_t> &out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// Order code of a request (word 1).
inline std::uint16_t requestOrder(const Telegram &t) {
    return getWord(t.data() + 2);
}

// The 16 data words of a request or 36-byte reply.
Words dataWords(const Telegram &t);

// 36 bytes: 00 55, order, words.
Telegram makeRequest(std::uint16_t orderCode, const Words &words = {});

// 36 bytes: header, echo, words. The header defaults to 0x00AA.
std::vector<std::uint8_t> makeReply(std::uint16_t echo, const Words &words = {},
                                    std::uint16_t header = kReplyHeader);

// Any run of 16-bit words as big-endian bytes (firmware text, video samples).
std::vector<std::uint8_t> wordsToBytes(const std::vector<std::uint16_t> &words);

} // namespace sim
