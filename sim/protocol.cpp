#include "sim/protocol.h"

namespace sim {

Words defaultParameters() {
    Words w{};
    w[param::power] = 500;
    w[param::rs232Mode] = 0;
    w[param::vThd] = 512;
    w[param::bVal] = 64;
    w[param::polarity] = 1;
    w[param::eMode] = 1;
    w[param::eBeg] = 1;
    w[param::eEnd] = 1024;
    w[param::tVal] = 512;
    w[param::tTol] = 100;
    w[param::iGain] = 1;
    w[param::ePoti] = 1;
    w[param::ccdMode] = 0;
    w[param::pStart] = 1;
    w[param::anaMode] = 0;
    w[param::para15] = 1000;
    return w;
}

Words dataWords(const Telegram &t) {
    Words w{};
    for (std::size_t i = 0; i < PNUM; ++i)
        w[i] = getWord(t.data() + 4 + 2 * i);
    return w;
}

Telegram makeRequest(std::uint16_t orderCode, const Words &words) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kTelegramSize);
    putWord(bytes, kSync);
    putWord(bytes, orderCode);
    for (std::uint16_t w : words)
        putWord(bytes, w);
    Telegram t{};
    for (std::size_t i = 0; i < kTelegramSize; ++i)
        t[i] = bytes[i];
    return t;
}

std::vector<std::uint8_t> makeReply(std::uint16_t echo, const Words &words, std::uint16_t header) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kTelegramSize);
    putWord(bytes, header);
    putWord(bytes, echo);
    for (std::uint16_t w : words)
        putWord(bytes, w);
    return bytes;
}

std::vector<std::uint8_t> wordsToBytes(const std::vector<std::uint16_t> &words) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(words.size() * 2);
    for (std::uint16_t w : words)
        putWord(bytes, w);
    return bytes;
}

} // namespace sim
