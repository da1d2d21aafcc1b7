// vexa-sim --replay: the recorded frames and video passes in order and round
// again, and the files it refuses.
#include "sim_program.h"
#include "sim_test_support.h"

#include "record/frame_csv.h"
#include "sim/replay_file.h"
#include "sim/sensor.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>

using namespace simtest;

namespace {

std::string tempPath(const std::string &name) {
    return ::testing::TempDir() + "vexa_replay_" + std::to_string(::getpid()) + "_" + name;
}

void writeFile(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string frameLine(std::uint16_t base) {
    record::FrameValues v{};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<std::uint16_t>(base + i);
    std::string line;
    record::appendFrameLine(line, "2026-12-07T13:05:01.123", v);
    return line;
}

std::string videoLine(std::uint16_t sample) {
    std::vector<std::uint16_t> x(256), y(256, sample);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<std::uint16_t>(4 * i);
    std::string line;
    record::appendVideoLine(line, "2026-12-07T13:05:01.123", x.data(), y.data());
    return line;
}

std::uint16_t word(const std::vector<std::uint8_t> &bytes, std::size_t i) {
    return static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
}

TEST(Replay, FramesComeInOrderAndAgainFromTheFirstWithTheirPassesVideo) {
    const std::string frames = tempPath("frames.csv");
    writeFile(frames,
              record::frameHeader() + "\n" + frameLine(100) + frameLine(200) + frameLine(300));
    writeFile(record::videoPathFor(frames),
              record::videoHeader() + "\n" + videoLine(11) + videoLine(22));
    sim::SensorConfig config;
    std::string problem;
    ASSERT_TRUE(sim::loadReplay(frames, config.replay, problem)) << problem;
    sim::Sensor sensor(config);

    const std::uint16_t expectedFrame[] = {100, 200, 300, 100, 200};
    const std::uint16_t expectedSample[] = {11, 22, 11, 22, 11};
    for (std::size_t k = 0; k < 5; ++k) {
        const auto reply = sensor.exchange(request(sim::order::Frame));
        ASSERT_EQ(reply.size(), sim::kTelegramSize);
        for (std::size_t i = 0; i < record::FRAME_VALUES; ++i)
            EXPECT_EQ(word(reply, 2 + i), expectedFrame[k] + i) << "frame " << k << " word " << i;
        EXPECT_EQ(word(reply, 2 + 13), 0);
        const auto block = sensor.exchange(videoRequest(192));
        ASSERT_EQ(block.size(), sim::kVideoReplySize);
        EXPECT_EQ(word(block, 63), expectedSample[k]) << "pass " << k;
    }
    std::remove(frames.c_str());
    std::remove(record::videoPathFor(frames).c_str());
}

TEST(Replay, FilesThatAreNoRecordingAreRefusedWithFileLineAndReason) {
    const std::string frames = tempPath("bad.csv");
    const std::string video = record::videoPathFor(frames);
    struct Case {
        std::string frames, video; // video empty: no video file
        std::string problem;
    };
    const Case cases[] = {
        {frameLine(1), "", "line 1 is not the header"},
        {record::frameHeader() + "\n", "", "holds no frame line"},
        {"", "", "holds no frame line"},
        {record::frameHeader() + "\n" + frameLine(1) + "2026-12-07T13:05:01.123,1,2\n", "",
         "line 3: 13 values expected"},
        {record::frameHeader() + "\n" + frameLine(1), record::videoHeader() + "\n" + frameLine(1),
         "-video.csv: line 2: 512 values"},
        {record::frameHeader() + "\n" + frameLine(1), record::frameHeader() + "\n",
         "-video.csv: line 1 is not the header of a video"},
    };
    for (const Case &c : cases) {
        writeFile(frames, c.frames);
        std::remove(video.c_str());
        if (!c.video.empty())
            writeFile(video, c.video);
        sim::Replay replay;
        std::string problem;
        EXPECT_FALSE(sim::loadReplay(frames, replay, problem)) << c.problem;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
    std::remove(video.c_str());

    // The program says so and ends as on a bad option.
    writeFile(frames, record::frameHeader() + "\n1,2,3\n");
    Program p({"--replay", frames});
    EXPECT_EQ(p.wait(), 2);
    const std::string errors = p.errors();
    EXPECT_NE(errors.find("cannot replay " + frames + ": line 2"), std::string::npos) << errors;
    std::remove(frames.c_str());
}

// Beside the recording, its description makes vexa-sim answer the firmware
// text (UTF-8 there, Windows-1252 on the line) and the CCD info of the sensor
// that recorded it; without one, or with one it cannot use (said on stderr),
// it answers as ever.
TEST(Replay, FirmwareAndCcdInfoComeFromTheDescriptionBesideTheRecording) {
    const std::string frames = tempPath("described.csv");
    const std::string json = record::descriptionPathFor(frames);
    writeFile(frames, record::frameHeader() + "\n" + frameLine(100));
    const std::array<std::uint16_t, 3> usual{1, 1024, 250};
    struct Case {
        const char *what;
        std::string json; // empty: none
        std::string firmware;
        std::array<std::uint16_t, 3> ccd;
        const char *note; // on stderr; nullptr: none
    };
    const Case cases[] = {
        {"described",
         R"({"firmware": "FW \"3.1\" \u00b5\u20ac\t", "ccd": {"type": 3, "pixels": 512,)"
         R"( "resolution": 750, "mmPerPixel": null}, "parameters": {"power": 1}, "end": 1e3})",
         "FW \"3.1\" \xB5\x80\t",
         {3, 512, 750},
         nullptr},
        {"none", "", sim::kFirmwareText, usual, nullptr},
        {"cut short", R"({"firmware": "FW", "ccd": {)", sim::kFirmwareText, usual, "not JSON"},
        {"no CCD", R"({"firmware": "FW", "ccd": {"type": 1}})", sim::kFirmwareText, usual,
         "no CCD type"},
        {"word too large",
         R"({"firmware": "FW", "ccd": {"type": 70000, "pixels": 512, "resolution": 1}})",
         sim::kFirmwareText, usual, "no CCD type"},
        {"nested too deep", std::string(100, '[') + std::string(100, ']'), sim::kFirmwareText,
         usual, "not JSON"},
    };
    for (const Case &c : cases) {
        std::remove(json.c_str());
        if (!c.json.empty())
            writeFile(json, c.json);
        Program p({"--replay", frames, "--baud", "0"});
        Port port(p.firstLine());
        ASSERT_TRUE(port.isOpen()) << c.what;
        ASSERT_TRUE(port.write(request(sim::order::Firmware)));
        const auto text = port.read(sim::kFirmwareReplySize, 3000ms);
        std::string firmware;
        for (std::size_t i = 1; i < text.size() && text[i] != 0; i += 2)
            firmware += static_cast<char>(text[i]);
        EXPECT_EQ(firmware, c.firmware) << c.what;
        ASSERT_TRUE(port.write(request(sim::order::CcdInfo)));
        const auto info = port.read(sim::kTelegramSize, 3000ms);
        ASSERT_EQ(info.size(), sim::kTelegramSize) << c.what;
        EXPECT_EQ((std::array<std::uint16_t, 3>{word(info, 2), word(info, 3), word(info, 4)}),
                  c.ccd)
            << c.what;
        p.signal(SIGTERM);
        EXPECT_EQ(p.wait(), 0) << c.what;
        const std::string errors = p.errors();
        if (c.note)
            EXPECT_NE(errors.find(json + ": " + c.note), std::string::npos) << c.what << errors;
        else
            EXPECT_EQ(errors.find("description"), std::string::npos) << c.what << errors;
    }
    std::remove(json.c_str());
    std::remove(frames.c_str());
}

} // namespace
