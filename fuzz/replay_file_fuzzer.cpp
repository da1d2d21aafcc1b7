// Fuzzes vexa-sim's --replay reader (sim::loadReplay over record/frame_csv), whose bytes
// come from whatever recording a user names. The input is both files: the bytes before the
// first NUL are the frame file, those after it (when there is a NUL) its -video.csv beside
// it; both are written as real files in a folder of the harness's own.
//
// Checks: an accepted recording holds exactly the file's non-empty lines after the header,
// in order, each as the recording's own line parser reads it (words 13-15 zero), and each
// written out again reads the same; the sensor then answers order 8 with the first frame. A
// refused one says which file and leaves the replay untouched. Once, at start: vexa-sim's
// two file readers (this one and the EEPROM file's) refuse a FIFO, /dev/zero and a huge
// sparse file promptly (fuzz/support/unreadable_files.h).
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/support/check.h"
#include "fuzz/support/unreadable_files.h"
#include "record/frame_csv.h"
#include "sim/eeprom_file.h"
#include "sim/protocol.h"
#include "sim/replay_file.h"
#include "sim/sensor.h"

namespace {

vexafuzz::TemporaryFolder &Folder() {
    static vexafuzz::TemporaryFolder folder("vexa-replay-fuzz");
    return folder;
}

void WriteFile(const std::string &path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    VEXA_FUZZ_CHECK(out.good(), "the harness can write its files");
}

// The lines after the header that are not empty (nor a lone '\r').
std::vector<std::string_view> Rows(std::string_view text) {
    std::vector<std::string_view> rows;
    bool header = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!header && !line.empty() && line != "\r")
            rows.push_back(line);
        header = false;
    }
    return rows;
}

void CheckFrames(std::string_view text, const sim::Replay &replay) {
    const auto rows = Rows(text);
    VEXA_FUZZ_CHECK(replay.frames.size() == rows.size() && !rows.empty(),
                    "an accepted recording holds every frame line after the header");
    for (std::size_t k = 0; k < rows.size(); ++k) {
        record::FrameRecord r;
        std::string why;
        VEXA_FUZZ_CHECK(record::parseFrameLine(rows[k], r, why), "every frame line parses");
        for (std::size_t i = 0; i < sim::PNUM; ++i)
            VEXA_FUZZ_CHECK(replay.frames[k][i] == (i < r.values.size() ? r.values[i] : 0),
                            "each frame holds its line's values in order, words 13-15 zero");
        std::string again;
        record::appendFrameLine(again, r.time, r.values);
        record::FrameRecord back;
        VEXA_FUZZ_CHECK(record::parseFrameLine(again, back, why) && back.values == r.values &&
                            back.time == r.time,
                        "a frame line written out again reads the same");
    }
}

void CheckVideo(std::string_view text, bool present, const sim::Replay &replay) {
    if (!present) {
        VEXA_FUZZ_CHECK(replay.video.empty(), "without a video file there are no passes");
        return;
    }
    const auto rows = Rows(text);
    VEXA_FUZZ_CHECK(replay.video.size() == rows.size() && !rows.empty(),
                    "an accepted video file holds every pass line after the header");
    for (std::size_t k = 0; k < rows.size(); ++k) {
        record::VideoRecord r;
        std::string why;
        VEXA_FUZZ_CHECK(record::parseVideoLine(rows[k], r, why), "every pass line parses");
        VEXA_FUZZ_CHECK(replay.video[k] == r.y, "each pass holds its line's samples");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const auto place = [](const char *kind) { return Folder().file(std::string(kind) + ".csv"); };
    vexafuzz::CheckUnreadableFilesRefused("the replay reader", place, [](const std::string &path) {
        sim::Replay replay;
        std::string problem;
        return !sim::loadReplay(path, replay, problem) && problem.rfind(path, 0) == 0;
    });
    // A frame file that is fine, with a video file beside it that is not.
    const std::string frames = Folder().file("frames.csv");
    WriteFile(frames, record::frameHeader() + "\n2026-12-07T13:05:01.123,1,2,3,4,5,6,7,8,9,10,"
                                              "11,12,13\n");
    const auto video = [&](const char *) { return record::videoPathFor(frames); };
    vexafuzz::CheckUnreadableFilesRefused(
        "the replay's video reader", video, [&](const std::string &) {
            sim::Replay replay;
            std::string problem;
            return !sim::loadReplay(frames, replay, problem) &&
                   problem.rfind(record::videoPathFor(frames), 0) == 0;
        });
    vexafuzz::CheckUnreadableFilesRefused(
        "the EEPROM file reader", place, [](const std::string &path) {
            sim::Words words = sim::defaultParameters();
            std::string problem;
            return sim::loadEeprom(path, words, problem) == sim::EepromLoad::Malformed &&
                   !problem.empty() && words == sim::defaultParameters();
        });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string_view framesText = input.substr(0, nul);
    const bool videoPresent = nul != std::string_view::npos;
    const std::string_view videoText = videoPresent ? input.substr(nul + 1) : std::string_view();

    const std::string frames = Folder().file("input.csv");
    const std::string video = record::videoPathFor(frames);
    WriteFile(frames, framesText);
    if (videoPresent)
        WriteFile(video, videoText);
    else
        std::remove(video.c_str());

    sim::Replay replay;
    replay.frames.assign(1, sim::Words{0xA5A5});
    std::string problem;
    if (!sim::loadReplay(frames, replay, problem)) {
        VEXA_FUZZ_CHECK(problem.rfind(frames + ":", 0) == 0 || problem.rfind(video + ":", 0) == 0,
                        "a refused recording names the file it refuses");
        VEXA_FUZZ_CHECK(replay.frames.size() == 1 && replay.frames[0][0] == 0xA5A5 &&
                            replay.video.empty(),
                        "a refused recording leaves the replay untouched");
        return 0;
    }
    CheckFrames(framesText, replay);
    CheckVideo(videoText, videoPresent, replay);

    sim::SensorConfig config;
    config.replay = replay;
    sim::Sensor sensor(config);
    const auto reply = sensor.handle(sim::makeRequest(sim::order::Frame)).bytes;
    VEXA_FUZZ_CHECK(reply.size() == sim::kTelegramSize, "order 8 answers with a telegram");
    for (std::size_t i = 0; i < sim::PNUM; ++i)
        VEXA_FUZZ_CHECK(sim::getWord(reply.data() + 4 + 2 * i) == replay.frames[0][i],
                        "order 8 answers with the first recorded frame");
    return 0;
}
