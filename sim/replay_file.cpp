// Both files are read whole and checked line by line before the sensor
// starts, so that a bad file ends vexa-sim with its reason rather than
// answering with half a recording. They are read a line at a time within the
// caps, so that /dev/zero or a FIFO named by mistake is refused at once.
#include "sim/replay_file.h"

#include "record/frame_csv.h"
#include "sim/outside_file.h"

#include <functional>

namespace sim {

namespace {

using LineReader = std::function<bool(const std::string &line, std::string &problem)>;

// Checks the header, hands every further non-empty line to `read`, and
// counts them; false with the reason in `problem`.
bool readLines(OutsideFile &in, const std::string &path, bool (*isHeader)(std::string_view),
               const char *kind, const LineReader &read, std::string &problem) {
    if (in.state() != OutsideFile::State::Open) {
        problem = path + ": " + (in.problem().empty() ? "cannot be opened" : in.problem());
        return false;
    }
    std::string line;
    std::size_t number = 0, rows = 0;
    while (in.nextLine(line, kMaxReplayLineBytes)) {
        ++number;
        if (number == 1) {
            if (!isHeader(line)) {
                problem = path + ": line 1 is not the header of a " + kind + " recording";
                return false;
            }
            continue;
        }
        if (line.empty() || line == "\r")
            continue;
        std::string why;
        if (!read(line, why)) {
            problem = path + ": line " + std::to_string(number) + ": " + why;
            return false;
        }
        ++rows;
    }
    if (!in.problem().empty()) {
        problem = path + ": " + in.problem();
        return false;
    }
    if (number == 0 || rows == 0) {
        problem = path + ": holds no " + kind + " line";
        return false;
    }
    return true;
}

} // namespace

bool loadReplay(const std::string &framesPath, Replay &out, std::string &problem) {
    Replay replay;
    OutsideFile framesFile(framesPath, kMaxFrameFileBytes);
    const bool framesRead = readLines(
        framesFile, framesPath, record::isFrameHeader, "frame",
        [&](const std::string &line, std::string &why) {
            record::FrameRecord r;
            if (!record::parseFrameLine(line, r, why))
                return false;
            Words w{};
            for (std::size_t i = 0; i < r.values.size(); ++i)
                w[i] = r.values[i];
            replay.frames.push_back(w);
            return true;
        },
        problem);
    if (!framesRead)
        return false;

    const std::string videoPath = record::videoPathFor(framesPath);
    OutsideFile videoFile(videoPath, kMaxVideoFileBytes);
    if (videoFile.state() != OutsideFile::State::Missing) {
        const bool videoRead = readLines(
            videoFile, videoPath, record::isVideoHeader, "video",
            [&](const std::string &line, std::string &why) {
                record::VideoRecord r;
                if (!record::parseVideoLine(line, r, why))
                    return false;
                replay.video.push_back(r.y);
                return true;
            },
            problem);
        if (!videoRead)
            return false;
    }
    out = std::move(replay);
    return true;
}

} // namespace sim
