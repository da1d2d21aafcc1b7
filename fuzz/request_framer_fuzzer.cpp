// Fuzzes vexa-sim's side of the line: the request framer (sim/framer.h) that
// cuts the byte stream from the program into 36-byte requests, and the
// simulated sensor (sim/sensor.h) answering each request it frames.
//
// Input: three bytes choose the line rate, the stale limit and the CCD type;
// then items as the line delivers them: 0x00..0xEF, a chunk of that many
// bytes; 0xF0..0xFF, (item - 0xEF) x 5 ms without a byte. After each item
// every request the framer hands out is answered.
//
// Checks: the framer hands out exactly the stream's bytes, 36 at a time from
// a sync word, in order, and accounts for every byte it drops; requests come
// off the line in order and no sooner than their bytes could; the sensor's
// reply has the length, header and echo of its order and carries what the
// order asks for; and without time passing, how the stream is cut into
// chunks changes nothing the sensor says (Sensor::exchange, in one piece).
#include <chrono>
#include <cstdint>
#include <vector>

#include "fuzz/support/byte_cursor.h"
#include "fuzz/support/check.h"
#include "sim/framer.h"
#include "sim/sensor.h"

namespace {

using namespace std::chrono_literals;
using sim::Clock;

constexpr unsigned kRates[] = {0, 1920, 192, 19200}; // bytes per second, 0: no line time
constexpr std::chrono::milliseconds kStaleLimits[] = {200ms, 20ms, 2000ms, 1ms};
constexpr std::uint8_t kLargestChunk = 0xEF;
constexpr auto kGapStep = 5ms;

std::uint16_t WordAt(const std::vector<std::uint8_t> &bytes, std::size_t first) {
    return static_cast<std::uint16_t>(bytes[first] << 8 | bytes[first + 1]);
}

sim::Words ReplyWords(const std::vector<std::uint8_t> &reply) {
    sim::Words w{};
    for (std::size_t i = 0; i < sim::PNUM; ++i)
        w[i] = WordAt(reply, 4 + 2 * i);
    return w;
}

void CheckReply(const sim::Telegram &request, const sim::Reply &reply, const sim::Sensor &sensor) {
    const std::uint16_t code = sim::requestOrder(request);
    const sim::Words words = sim::dataWords(request);
    const std::vector<std::uint8_t> &out = reply.bytes;
    VEXA_FUZZ_CHECK(reply.delay == 0ms && !reply.hangUp, "a sensor without faults answers at once");
    switch (code) {
    case sim::order::WriteRam:
        VEXA_FUZZ_CHECK(out.empty() && sensor.ram() == words, "order 1 writes RAM, silently");
        return;
    case sim::order::WriteEeprom:
        VEXA_FUZZ_CHECK(out.empty() && sensor.eeprom() == words, "order 3 writes EEPROM, silently");
        return;
    case sim::order::Firmware: {
        VEXA_FUZZ_CHECK(out.size() == sim::kFirmwareReplySize, "the firmware text is 72 bytes");
        const std::string text = sim::kFirmwareText;
        for (std::size_t i = 0; i < out.size() / 2; ++i)
            VEXA_FUZZ_CHECK(WordAt(out, 2 * i) ==
                                (i < text.size() ? static_cast<unsigned char>(text[i]) : 0),
                            "character i of the firmware text is word i's low byte");
        return;
    }
    case sim::order::Video:
        VEXA_FUZZ_CHECK(out.size() == sim::kVideoReplySize, "a video block is 128 bytes");
        for (std::size_t i = 0; i < out.size(); i += 2)
            VEXA_FUZZ_CHECK(WordAt(out, i) <= 1023, "video samples are 10-bit");
        return;
    case sim::order::ReadRam:
    case sim::order::ReadEeprom:
    case sim::order::Echo:
    case sim::order::Teach:
    case sim::order::Frame:
    case sim::order::CcdInfo:
    case sim::order::ResetMaxMin:
        break;
    default:
        VEXA_FUZZ_CHECK(out.empty(), "an unknown order gets no reply");
        return;
    }
    VEXA_FUZZ_CHECK(out.size() == sim::kTelegramSize, "a reply telegram is 36 bytes");
    VEXA_FUZZ_CHECK(WordAt(out, 0) == sim::kReplyHeader && WordAt(out, 2) == code,
                    "a reply telegram has the header 00 AA and echoes the order");
    const sim::Words answer = ReplyWords(out);
    switch (code) {
    case sim::order::ReadEeprom:
        VEXA_FUZZ_CHECK(answer == sensor.eeprom(), "order 4 answers the EEPROM");
        break;
    case sim::order::Echo:
        VEXA_FUZZ_CHECK(answer == words, "order 5 echoes the data words");
        break;
    case sim::order::CcdInfo:
        VEXA_FUZZ_CHECK(answer[0] == sensor.config().ccdType && answer[1] == sensor.pixels() &&
                            answer[2] == sensor.config().resolution,
                        "order 10 answers type, pixels and resolution");
        break;
    case sim::order::Frame: {
        using namespace sim::frame;
        VEXA_FUZZ_CHECK(answer[edcnt] <= 2 && answer[Ledge] <= answer[Redge] &&
                            answer[Redge] <= sensor.pixels(),
                        "a frame's edges lie on the line, in order");
        VEXA_FUZZ_CHECK(answer[pixdelta] ==
                            (answer[edcnt] == 2 ? answer[Redge] - answer[Ledge] : 0),
                        "pixdelta is the distance of two edges");
        VEXA_FUZZ_CHECK(answer[in0] == 0 && answer[13] == 0 && answer[14] == 0 && answer[15] == 0,
                        "in0 and words 13 to 15 are 0");
        break;
    }
    default: // orders 2, 6 and 11 answer the RAM parameter set
        VEXA_FUZZ_CHECK(answer == sensor.ram(), "orders 2, 6 and 11 answer the RAM");
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    vexafuzz::ByteCursor input(data, size);
    const unsigned rate = kRates[input.take() % 4];
    const std::chrono::milliseconds staleLimit = kStaleLimits[input.take() % 4];
    sim::SensorConfig config;
    config.ccdType = static_cast<std::uint16_t>(input.take() % 3 + 1);

    sim::RequestFramer framer(rate, staleLimit);
    sim::Sensor sensor(config);
    // A byte's time on the line, rounded down: no byte comes off sooner.
    const Clock::duration byteTime = rate ? std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::nanoseconds(1'000'000'000LL / rate))
                                          : Clock::duration::zero();

    Clock::time_point now = Clock::time_point() + 1h;
    std::vector<std::uint8_t> stream;        // every byte pushed
    std::vector<Clock::time_point> pushedAt; // when each was pushed
    std::vector<std::uint8_t> replies;       // everything the sensor said
    std::size_t requests = 0;
    bool timePassed = false;
    Clock::time_point lastReceived = Clock::time_point::min();

    while (!input.empty()) {
        const std::uint8_t item = input.take();
        if (item > kLargestChunk) {
            now += (item - kLargestChunk) * kGapStep;
            timePassed = true;
        } else {
            std::size_t got = 0;
            const std::uint8_t *chunk = input.take(item, got);
            framer.push(chunk, got, now);
            stream.insert(stream.end(), chunk, chunk + got);
            pushedAt.insert(pushedAt.end(), got, now);
        }
        while (const auto r = framer.pop(now)) {
            const std::size_t at = framer.droppedBytes() + sim::kTelegramSize * requests;
            VEXA_FUZZ_CHECK(at + sim::kTelegramSize <= stream.size(),
                            "a request is made of bytes that were pushed");
            for (std::size_t i = 0; i < sim::kTelegramSize; ++i)
                VEXA_FUZZ_CHECK(r->bytes[i] == stream[at + i],
                                "a request is the next 36 bytes of the stream, unchanged");
            VEXA_FUZZ_CHECK(r->bytes[0] == 0x00 && r->bytes[1] == 0x55,
                            "a request starts with the sync word");
            const Clock::time_point lastByte = pushedAt[at + sim::kTelegramSize - 1];
            VEXA_FUZZ_CHECK(r->receivedAt >= lastByte + byteTime,
                            "a request is received no sooner than its last byte is on the line");
            if (lastReceived != Clock::time_point::min())
                VEXA_FUZZ_CHECK(r->receivedAt >= lastReceived + sim::kTelegramSize * byteTime,
                                "requests come off the line one after the other");
            lastReceived = r->receivedAt;
            ++requests;

            const sim::Reply reply = sensor.handle(r->bytes);
            CheckReply(r->bytes, reply, sensor);
            replies.insert(replies.end(), reply.bytes.begin(), reply.bytes.end());
        }
        VEXA_FUZZ_CHECK(framer.droppedBytes() + framer.buffered() + sim::kTelegramSize * requests ==
                            stream.size(),
                        "every byte pushed is buffered, dropped or in a request");
    }

    if (!timePassed && rate == 0) {
        sim::Sensor inOnePiece(config);
        VEXA_FUZZ_CHECK(inOnePiece.exchange(stream) == replies,
                        "without time passing, the chunks change nothing the sensor says");
    }
    return 0;
}
