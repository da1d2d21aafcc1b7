// Fuzzes vexa-sim's command line (sim/options.h): the arguments after the
// program name are the input split at NUL bytes (fuzz/support/arguments.h).
//
// Checks: a refused line says why in one of the parser's own phrasings; an
// accepted one holds only values its options allow (CCD types 1 to 3, order
// codes 1 to 11, the delay, cut, extra and hang-up limits); written out
// again as a plain command line it parses to the same options; and the
// sensor it configures makes exactly the faults it was given, order by order.
#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "fuzz/support/arguments.h"
#include "fuzz/support/check.h"
#include "sim/options.h"

namespace {

bool StartsWith(const std::string &text, const char *prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool EndsWith(const std::string &text, const std::string &suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

template <typename Codes> bool OrderCodes(const Codes &codes) {
    for (const auto &entry : codes) {
        std::uint16_t code = 0;
        if constexpr (std::is_integral_v<std::decay_t<decltype(entry)>>)
            code = entry;
        else
            code = entry.first;
        if (code < 1 || code > 11)
            return false;
    }
    return true;
}

std::string List(const std::set<std::uint16_t> &codes) {
    std::string text;
    for (std::uint16_t c : codes)
        text += (text.empty() ? "" : ",") + std::to_string(c);
    return text;
}

template <typename T> std::string List(const std::map<std::uint16_t, T> &values) {
    std::string text;
    for (const auto &[code, value] : values)
        text += (text.empty() ? "" : ",") + std::to_string(code) + ":" + std::to_string(value);
    return text;
}

// The options written out again, one plain spelling each.
std::vector<std::string> WrittenOut(const sim::Options &o) {
    const sim::Faults &f = o.sensor.faults;
    std::vector<std::string> args;
    auto add = [&](const char *name, const std::string &value) {
        args.emplace_back(name);
        args.push_back(value);
    };
    if (!o.link.empty())
        add("--link", o.link);
    if (!o.eeprom.empty())
        add("--eeprom", o.eeprom);
    if (!o.replay.empty())
        add("--replay", o.replay);
    if (o.once)
        args.emplace_back("--once");
    if (o.verbose)
        args.emplace_back("-v");
    if (o.stats)
        args.emplace_back("--stats");
    if (o.help)
        args.emplace_back("--help");
    if (o.version)
        args.emplace_back("-V");
    add("--ccd-type", std::to_string(o.sensor.ccdType));
    add("--resolution", std::to_string(o.sensor.resolution));
    add("--seed", std::to_string(o.sensor.seed));
    add("--baud", std::to_string(o.baud));
    add("--chunk", std::to_string(o.chunk));
    if (!f.noReply.empty())
        add("--no-reply", List(f.noReply));
    if (!f.badHeader.empty())
        add("--bad-header", List(f.badHeader));
    if (!f.badEcho.empty())
        add("--bad-echo", List(f.badEcho));
    if (!f.garbage.empty())
        add("--garbage", List(f.garbage));
    if (f.delayMs)
        add("--delay-ms", std::to_string(*f.delayMs));
    if (!f.delayMsByOrder.empty())
        add("--delay-ms", List(f.delayMsByOrder));
    if (!f.cut.empty())
        add("--cut", List(f.cut));
    if (!f.extra.empty())
        add("--extra", List(f.extra));
    if (f.hangupAfterFrames)
        add("--hangup-after", std::to_string(f.hangupAfterFrames));
    return args;
}

bool Same(const sim::Options &a, const sim::Options &b) {
    const sim::Faults &f = a.sensor.faults, &g = b.sensor.faults;
    return a.link == b.link && a.eeprom == b.eeprom && a.replay == b.replay && a.once == b.once &&
           a.verbose == b.verbose && a.stats == b.stats && a.help == b.help &&
           a.version == b.version && a.baud == b.baud && a.chunk == b.chunk &&
           a.sensor.ccdType == b.sensor.ccdType && a.sensor.resolution == b.sensor.resolution &&
           a.sensor.seed == b.sensor.seed && f.noReply == g.noReply && f.badHeader == g.badHeader &&
           f.badEcho == g.badEcho && f.garbage == g.garbage && f.cut == g.cut &&
           f.extra == g.extra && f.delayMs == g.delayMs && f.delayMsByOrder == g.delayMsByOrder &&
           f.hangupAfterFrames == g.hangupAfterFrames;
}

void CheckValues(const sim::Options &o) {
    const sim::Faults &f = o.sensor.faults;
    VEXA_FUZZ_CHECK(o.sensor.ccdType >= 1 && o.sensor.ccdType <= 3, "CCD types are 1 to 3");
    VEXA_FUZZ_CHECK(o.baud == 0 || (o.baud >= 10 && o.baud <= 10'000'000),
                    "the line speed is 0 or 10 to 10000000");
    VEXA_FUZZ_CHECK(o.chunk >= 1 && o.chunk <= 4096, "reply bytes go in groups of 1 to 4096");
    VEXA_FUZZ_CHECK(OrderCodes(f.noReply) && OrderCodes(f.badHeader) && OrderCodes(f.badEcho) &&
                        OrderCodes(f.garbage) && OrderCodes(f.cut) && OrderCodes(f.extra) &&
                        OrderCodes(f.delayMsByOrder),
                    "faults name order codes 1 to 11 only");
    VEXA_FUZZ_CHECK(!f.delayMs || *f.delayMs <= 600'000, "a delay is at most 10 minutes");
    for (const auto &[code, ms] : f.delayMsByOrder)
        VEXA_FUZZ_CHECK(ms <= 600'000, "a delay is at most 10 minutes");
    for (const auto &[code, n] : f.cut)
        VEXA_FUZZ_CHECK(n <= 65536, "a cut is at most 65536 bytes");
    for (const auto &[code, n] : f.extra)
        VEXA_FUZZ_CHECK(n <= 65536, "an extra is at most 65536 bytes");
}

// Each order once, to a sensor configured by the options: the reply's
// length, header, echo and timing show exactly the faults configured.
void CheckFaults(const sim::Options &o) {
    const sim::Faults &f = o.sensor.faults;
    sim::Sensor sensor(o.sensor);
    for (std::uint16_t code = 1; code <= 11; ++code) {
        const sim::Reply reply = sensor.handle(sim::makeRequest(code));
        const std::size_t normal = code == sim::order::WriteRam || code == sim::order::WriteEeprom
                                       ? 0
                                   : code == sim::order::Firmware ? sim::kFirmwareReplySize
                                   : code == sim::order::Video    ? sim::kVideoReplySize
                                                                  : sim::kTelegramSize;
        std::size_t expected = normal;
        std::size_t kept = normal; // bytes of the reply itself, before any extra
        if (f.noReply.count(code)) {
            expected = kept = 0;
        } else if (f.garbage.count(code)) {
            expected = normal ? normal : sim::kTelegramSize;
            kept = 0;
        } else if (normal) {
            if (const auto cut = f.cut.find(code); cut != f.cut.end() && cut->second < normal)
                expected = kept = cut->second;
            if (const auto extra = f.extra.find(code); extra != f.extra.end())
                expected += extra->second;
        }
        VEXA_FUZZ_CHECK(reply.bytes.size() == expected,
                        "a reply has its order's length, changed only by the faults given");
        if (normal == sim::kTelegramSize && kept >= 2) {
            const unsigned header = reply.bytes[0] << 8 | reply.bytes[1];
            VEXA_FUZZ_CHECK(header == (f.badHeader.count(code) ? 0x0055u : 0x00AAu),
                            "the header is 00 AA unless --bad-header names the order");
        }
        if (normal == sim::kTelegramSize && kept >= 4) {
            const unsigned echo = reply.bytes[2] << 8 | reply.bytes[3];
            VEXA_FUZZ_CHECK(echo == (f.badEcho.count(code) ? code + 1u : code),
                            "the echo is the order unless --bad-echo names it");
        }
        if (!f.garbage.count(code))
            for (std::size_t i = kept; i < reply.bytes.size(); ++i)
                VEXA_FUZZ_CHECK(reply.bytes[i] == sim::kExtraByte, "--extra appends bytes 0xEE");
        const auto byOrder = f.delayMsByOrder.find(code);
        const unsigned delay = byOrder != f.delayMsByOrder.end() ? byOrder->second
                               : f.delayMs                       ? *f.delayMs
                                                                 : 0;
        VEXA_FUZZ_CHECK(reply.delay == std::chrono::milliseconds(delay),
                        "a reply is as late as the order's own delay, else the general one");
        VEXA_FUZZ_CHECK(reply.hangUp == (code == sim::order::Frame && f.hangupAfterFrames == 1),
                        "the line hangs up after the frame --hangup-after counts");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::vector<std::string> args = vexafuzz::SplitAtNul(data, size);
    sim::Options options;
    const std::string error = sim::parseOptions(args, options);
    if (!error.empty()) {
        VEXA_FUZZ_CHECK(StartsWith(error, "unknown option: ") ||
                            StartsWith(error, "bad value for ") ||
                            EndsWith(error, " needs a path") || EndsWith(error, " takes no value"),
                        "a refused line says why in the parser's own words");
        return 0;
    }
    CheckValues(options);
    sim::Options again;
    VEXA_FUZZ_CHECK(sim::parseOptions(WrittenOut(options), again).empty() && Same(options, again),
                    "accepted options written out parse to the same options");
    CheckFaults(options);
    return 0;
}
