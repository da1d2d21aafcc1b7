// capture: the Run loop's frames, or with --video the Data loop's passes, as
// the window's recording writes them (record/frame_csv), through the frame
// stream as the window's loops hand them on. Each line is written
// whole as soon as its frame is in, so a capture that ends early (a sensor
// that stops answering, a killed program) keeps every frame taken so far; a
// write that fails part-way (a full disk, a file size limit) is cut back to
// the last whole line (record/line_file), as the window's recording does,
// and ends the capture with the reason.
#include "ctl/commands.h"
#include "ctl/exit_codes.h"
#include "ctl/frame_lines.h"
#include "record/description.h"
#include "shell/globals.h"
#include "stream/publish.h"

namespace ctl {

namespace {

// Frames (and passes) until `how.frames` are in, a step fails or a line does
// not go out.
int captureFrames(SensorLine &line, const Invocation &how, FrameLines &lines) {
    // The lines are written by listeners of the frame stream, as the window's
    // recording writes them; the loop here only publishes. A line that does
    // not go out ends the capture.
    int failed = ExitSuccess;
    lines.listen([&failed] { failed = ExitUsage; });

    for (int n = 0; n < how.frames && !failed; n++) {
        FrameWords words{};
        if (Step step = line.frame(!how.video, &words); !step.ok)
            return sensorFailed(step);
        FrameDecoded(words.data());
        if (!how.video || failed)
            continue;
        VideoSamples samples{};
        if (Step step = line.videoSignal(&samples); !step.ok)
            return sensorFailed(step);
        unsigned short x[256];
        videoSampleX(x);
        VideoPassDecoded(x, samples.data());
    }
    return failed;
}

} // namespace

int runCapture(const Invocation &how) {
    if (how.video && how.csvPath.isEmpty()) {
        complain(QStringLiteral("capture --video needs --csv FILE (the video goes beside it)"));
        return ExitUsage;
    }
    FrameLines lines;
    if (!lines.open(how.csvPath, how.video))
        return ExitUsage;

    SensorLine line;
    if (!openLine(line, how))
        return ExitSensorFailed;
    // A file gets its description beside it (the sensor's firmware, CCD and
    // RAM); the video, as after the window's connect, needs the sensor's
    // parameters for its layout and the CCD info for its pixel count.
    const bool described = !how.csvPath.isEmpty();
    record::Description description;
    if (how.video || described) {
        ParameterSet set{};
        CcdInfo info{};
        QString firmware;
        Step step = described ? line.firmware(&firmware) : Step{true, {}};
        if (step.ok)
            step = line.readSet(false, &set);
        if (step.ok)
            step = line.ccdInfo(&info);
        if (!step.ok)
            return sensorFailed(step);
        if (how.video) {
            line.adopt(set);
            ccdmaxpixel = info.maxPixel;
        }
        description = {QStringLiteral("vexa-tb-ctl"),
                       line.device(),
                       firmware.toLatin1().toStdString(),
                       info.type,
                       info.maxPixel,
                       info.resolution,
                       set,
                       std::chrono::system_clock::now(),
                       std::nullopt,
                       0};
    }
    // A description that cannot be written is said, and the frames go on;
    // the exit code then says a file failed.
    QString problem;
    bool describedWell = !described || record::writeDescription(how.csvPath, description, &problem);
    if (!describedWell)
        complain(problem);

    const int result = captureFrames(line, how, lines);
    if (described && describedWell) {
        description.end = std::chrono::system_clock::now();
        description.frames = lines.framesWritten();
        describedWell = record::writeDescription(how.csvPath, description, &problem);
        if (!describedWell)
            complain(problem);
    }
    return result == ExitSuccess && !describedWell ? ExitUsage : result;
}

} // namespace ctl
