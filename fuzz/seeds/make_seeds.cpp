// Writes the harnesses' seed inputs: real sensor replies made by vexa-sim's
// sensor, the parameter files both programs write, and command lines as the
// READMEs show them. scripts/fuzz runs it before each campaign, so the seeds
// follow the code; the merged corpus in fuzz/corpus/ is kept apart from them.
//
//   vexa_fuzz_seeds DIR     writes DIR/<harness>/<seed>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "record/frame_csv.h"
#include "sim/protocol.h"
#include "sim/sensor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// ---- sensor_replies: steps and replies in the harness's input format -------------------------

// Step numbers of the harness's table (fuzz/sensor_replies_fuzzer.cpp, kSteps).
enum Step : std::uint8_t {
    Connect,
    ReadRam,
    ReadEeprom,
    Echo,
    Firmware,
    CcdInfo,
    VideoBlock,
    Teach,
    ResetMaxMin,
    RunLoop,
    DataLoop,
    Unasked,
    StepCount
};

constexpr std::uint8_t kEnd = 0x00;
constexpr std::uint8_t kQuarterSecondSilence = 0xF0;

// A reply as chunks of at most `piece` bytes, then its end.
void AddReply(Bytes &input, const Bytes &reply, std::size_t piece = 0xEF) {
    for (std::size_t at = 0; at < reply.size(); at += piece) {
        const std::size_t n = std::min(piece, reply.size() - at);
        input.push_back(static_cast<std::uint8_t>(n));
        input.insert(input.end(), reply.begin() + at, reply.begin() + at + n);
    }
    input.push_back(kEnd);
}

Bytes Answer(sim::Sensor &sensor, std::uint16_t order, const sim::Words &words = {}) {
    return sensor.handle(sim::makeRequest(order, words)).bytes;
}

struct Seed {
    std::string harness;
    std::string name;
    Bytes bytes;
};

void SensorReplySeeds(std::vector<Seed> &seeds) {
    auto seed = [&](const std::string &name, const Bytes &bytes) {
        seeds.push_back({"sensor_replies", name, bytes});
    };
    for (std::uint16_t type = 1; type <= 3; ++type) {
        sim::SensorConfig config;
        config.ccdType = type;
        config.resolution = type == 2 ? 750 : 250;
        sim::Sensor sensor(config);
        const sim::Words defaults = sim::defaultParameters();
        Bytes in{Connect};
        AddReply(in, Answer(sensor, sim::order::Echo, defaults));
        AddReply(in, Answer(sensor, sim::order::ReadRam));
        AddReply(in, Answer(sensor, sim::order::Firmware));
        AddReply(in, Answer(sensor, sim::order::CcdInfo));
        seed("connect-ccd-type-" + std::to_string(type), in);
    }

    sim::Sensor sensor;
    const Bytes frame = Answer(sensor, sim::order::Frame);
    auto step = [&](Step s, std::initializer_list<Bytes> replies, std::size_t piece = 0xEF) {
        Bytes in{s};
        for (const Bytes &r : replies)
            AddReply(in, r, piece);
        return in;
    };
    seed("read-ram", step(ReadRam, {Answer(sensor, sim::order::ReadRam)}));
    seed("read-eeprom", step(ReadEeprom, {Answer(sensor, sim::order::ReadEeprom)}));
    seed("read-ram-in-pieces", step(ReadRam, {Answer(sensor, sim::order::ReadRam)}, 7));
    seed("echo", step(Echo, {Answer(sensor, sim::order::Echo)}));
    seed("firmware", step(Firmware, {Answer(sensor, sim::order::Firmware)}));
    seed("firmware-in-pieces", step(Firmware, {Answer(sensor, sim::order::Firmware)}, 16));
    seed("ccd-info", step(CcdInfo, {Answer(sensor, sim::order::CcdInfo)}));
    for (std::uint8_t block = 0; block < 4; ++block) {
        sim::Words start{};
        start[0] = static_cast<std::uint16_t>(64 * block);
        Bytes in{static_cast<std::uint8_t>(VideoBlock + StepCount * block)};
        AddReply(in, Answer(sensor, sim::order::Video, start), 50);
        seed("video-block-" + std::to_string(block), in);
    }
    seed("teach",
         step(Teach, {Answer(sensor, sim::order::Teach), Answer(sensor, sim::order::ReadRam)}));
    seed("reset", step(ResetMaxMin, {Answer(sensor, sim::order::ResetMaxMin)}));
    seed("run-three-frames",
         step(RunLoop, {Answer(sensor, sim::order::Frame), Answer(sensor, sim::order::Frame),
                        Answer(sensor, sim::order::Frame)}));
    {
        Bytes in{DataLoop};
        AddReply(in, frame);
        for (std::uint16_t first = 0; first < 256; first += 64) {
            sim::Words start{};
            start[0] = first;
            AddReply(in, Answer(sensor, sim::order::Video, start));
        }
        seed("data-one-pass", in);
    }
    seed("unasked-telegram", step(Unasked, {frame}));
    {
        Bytes in{ReadRam, kQuarterSecondSilence + 7}; // late: after the wait
        AddReply(in, Answer(sensor, sim::order::ReadRam));
        in.push_back(Echo);
        seed("late-reply-then-echo", in);
    }
    {
        Bytes bad = Answer(sensor, sim::order::Echo);
        bad[1] = 0x55;
        seed("echo-bad-header", step(Echo, {bad}));
    }
    {
        Bytes shortText = Answer(sensor, sim::order::Firmware);
        shortText.pop_back();
        seed("firmware-71-bytes", step(Firmware, {shortText}));
        Bytes shortBlock = Answer(sensor, sim::order::Video);
        shortBlock.pop_back();
        seed("video-block-127-bytes", step(VideoBlock, {shortBlock}));
    }
    seed("silent-connect", {Connect});
}

// ---- parameter_file ----------------------------------------------------------------------------

Bytes Text(const std::string &text) {
    return Bytes(text.begin(), text.end());
}

std::string ParameterLines(const sim::Words &words, const char *format) {
    std::string text;
    char line[32];
    for (std::uint16_t w : words) {
        std::snprintf(line, sizeof line, format, static_cast<unsigned>(w));
        text += line;
    }
    return text;
}

void ParameterFileSeeds(std::vector<Seed> &seeds) {
    const sim::Words defaults = sim::defaultParameters();
    const std::string program = ParameterLines(defaults, "%4u\n");  // as the program saves
    const std::string simulator = ParameterLines(defaults, "%u\n"); // as vexa-sim saves
    auto seed = [&](const std::string &name, const std::string &text) {
        seeds.push_back({"parameter_file", name, Text(text)});
    };
    seed("program-file", program);
    seed("eeprom-file", simulator);
    seed("byte-order-mark", "\xEF\xBB\xBF" + program);
    seed("crlf", ParameterLines(defaults, "%u\r\n"));
    seed("one-line", ParameterLines(defaults, "%u "));
    seed("fifteen-numbers", simulator.substr(0, simulator.rfind('\n', simulator.size() - 2) + 1));
    seed("seventeen-numbers", simulator + "7\n");
    seed("above-65535", "65536\n" + simulator.substr(simulator.find('\n') + 1));
    seed("plus-sign", "+500\n" + simulator.substr(simulator.find('\n') + 1));
}

// ---- request_framer
// ------------------------------------------------------------------------------

void RequestFramerSeeds(std::vector<Seed> &seeds) {
    const sim::Words defaults = sim::defaultParameters();
    Bytes all;
    for (std::uint16_t order = 1; order <= 11; ++order) {
        const sim::Telegram t = sim::makeRequest(order, defaults);
        all.insert(all.end(), t.begin(), t.end());
    }
    auto chunks = [&](std::uint8_t rate, std::uint8_t stale, std::uint8_t type, std::size_t piece,
                      std::uint8_t gap) {
        Bytes in{rate, stale, type};
        for (std::size_t at = 0; at < all.size(); at += piece) {
            const std::size_t n = std::min(piece, all.size() - at);
            in.push_back(static_cast<std::uint8_t>(n));
            in.insert(in.end(), all.begin() + at, all.begin() + at + n);
            if (gap)
                in.push_back(gap);
        }
        return in;
    };
    seeds.push_back({"request_framer", "every-order-at-once", chunks(0, 0, 0, 0xEF, 0)});
    seeds.push_back({"request_framer", "every-order-19200-baud", chunks(1, 0, 1, 36, 0xF8)});
    seeds.push_back({"request_framer", "every-order-in-pieces", chunks(0, 0, 2, 5, 0)});
    seeds.push_back({"request_framer", "stale-pieces", chunks(1, 1, 0, 20, 0xFF)});
    Bytes noise{0, 0, 0, 4, 0xFF, 0x55, 0x00, 0x00};
    const sim::Telegram echo = sim::makeRequest(sim::order::Echo, defaults);
    noise.push_back(static_cast<std::uint8_t>(echo.size()));
    noise.insert(noise.end(), echo.begin(), echo.end());
    seeds.push_back({"request_framer", "noise-before-sync", noise});
}

// ---- command lines
// -------------------------------------------------------------------------------

Bytes Arguments(std::initializer_list<const char *> args) {
    Bytes bytes;
    for (const char *a : args) {
        bytes.insert(bytes.end(), a, a + std::char_traits<char>::length(a));
        bytes.push_back(0);
    }
    return bytes;
}

void CommandLineSeeds(std::vector<Seed> &seeds) {
    auto seed = [&](const std::string &name, std::initializer_list<const char *> args) {
        seeds.push_back({"command_line", name, Arguments(args)});
    };
    seed("com", {"vexa-tb-scope", "--com", "1=/dev/ttyUSB0", "--com=16=/dev/pts/3"});
    seed("screenshot", {"vexa-tb-scope", "--screenshot", "shot.png", "--com", "2=/dev/ttyS1"});
    seed("qt-options", {"vexa-tb-scope", "-platform", "offscreen", "--style", "Fusion", "-display",
                        ":1", "-geometry", "800x600+0+0", "-stylesheet", "a.qss", "--reverse"});
    seed("help", {"vexa-tb-scope", "--help"});
    seed("short-help", {"vexa-tb-scope", "-h"});
    seed("version", {"vexa-tb-scope", "--version"});
    seed("unknown", {"vexa-tb-scope", "--baud", "9600"});
    seed("no-arguments", {"vexa-tb-scope"});
}

void SimOptionSeeds(std::vector<Seed> &seeds) {
    auto seed = [&](const std::string &name, std::initializer_list<const char *> args) {
        seeds.push_back({"sim_options", name, Arguments(args)});
    };
    seed("program", {"--link", "/tmp/vexa", "--once", "--eeprom", "eeprom.dat", "--ccd-type", "2",
                     "--resolution", "750", "--seed", "7", "--baud", "0", "-v"});
    seed("equals", {"--link=/tmp/vexa", "--ccd-type=3", "--baud=19200", "--verbose"});
    seed("line", {"--chunk", "8", "--stats", "--baud", "115200"});
    seed("replay", {"--replay", "frames.csv", "--replay=run-2.csv"});
    seed("faults", {"--no-reply", "5,10", "--bad-header", "2", "--bad-echo", "5", "--garbage", "9",
                    "--hangup-after", "1"});
    seed("timing",
         {"--delay-ms", "100", "--delay-ms", "8:10,9:100", "--cut", "7:10,9:64", "--extra", "8:3"});
    seed("help", {"--help"});
    seed("short-help", {"-h"});
    seed("bad-order", {"--no-reply", "12"});
}

// ---- replay_file: the frame file, then a NUL and the video file -------------------------------

void ReplayFileSeeds(std::vector<Seed> &seeds) {
    const std::string time = "2026-12-07T13:05:01.123";
    sim::Sensor sensor;
    std::string frames = record::frameHeader() + "\n", video = record::videoHeader() + "\n";
    for (int k = 0; k < 3; ++k) {
        const Bytes reply = Answer(sensor, sim::order::Frame);
        record::FrameValues values{};
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = sim::getWord(reply.data() + 4 + 2 * i);
        record::appendFrameLine(frames, time, values);
    }
    std::uint16_t x[record::VIDEO_SAMPLES], y[record::VIDEO_SAMPLES];
    for (std::size_t i = 0; i < record::VIDEO_SAMPLES; ++i) {
        x[i] = static_cast<std::uint16_t>(4 * i);
        y[i] = static_cast<std::uint16_t>((i * 37) % 1024);
    }
    record::appendVideoLine(video, time, x, y);
    auto seed = [&](const std::string &name, const std::string &text) {
        seeds.push_back({"replay_file", name, Text(text)});
    };
    seed("frames", frames);
    seed("frames-crlf-with-mark", "\xEF\xBB\xBF" + record::frameHeader() + "\r\n" +
                                      frames.substr(frames.find('\n') + 1));
    seed("frames-and-video", frames + std::string(1, '\0') + video);
    seed("header-only", record::frameHeader() + "\n");
    seed("short-line", record::frameHeader() + "\n" + time + ",1,2\n");
}

// ---- settings_file: the window's ini file --------------------------------------------------------

void SettingsFileSeeds(std::vector<Seed> &seeds) {
    auto seed = [&](const std::string &name, const std::string &text) {
        seeds.push_back({"settings_file", name, Text(text)});
    };
    seed("saved", "[ccdSettingsWindow]\nposition=@Point(640 120)\n\n[parameterFiles]\n"
                  "lastFolder=/tmp\n");
    seed("far-away", "[ccdSettingsWindow]\nposition=@Point(2147483647 -2147483648)\n");
    seed("wrong-types", "[ccdSettingsWindow]\nposition=12\n[parameterFiles]\n"
                        "lastFolder=@Point(1 2)\n");
    seed("no-folder", "[parameterFiles]\nlastFolder=/nonexistent/folder\n");
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    std::vector<Seed> seeds;
    SensorReplySeeds(seeds);
    ParameterFileSeeds(seeds);
    RequestFramerSeeds(seeds);
    CommandLineSeeds(seeds);
    SimOptionSeeds(seeds);
    ReplayFileSeeds(seeds);
    SettingsFileSeeds(seeds);
    for (const Seed &s : seeds) {
        const fs::path dir = fs::path(argv[1]) / s.harness;
        fs::create_directories(dir);
        std::ofstream out(dir / s.name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(s.bytes.data()),
                  static_cast<std::streamsize>(s.bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", (dir / s.name).c_str());
            return 1;
        }
    }
    std::printf("%zu seeds in %s\n", seeds.size(), argv[1]);
    return 0;
}
