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
#include "shell/globals.h"
#include "stream/publish.h"

namespace ctl {

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
    if (how.video) {
        // As after the window's connect: the sensor's parameters choose the
        // video layout, the CCD info its pixel count.
        ParameterSet set{};
        CcdInfo info{};
        Step step = line.readSet(false, &set);
        if (step.ok) {
            line.adopt(set);
            step = line.ccdInfo(&info);
        }
        if (!step.ok)
            return sensorFailed(step);
        ccdmaxpixel = info.maxPixel;
    }

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

} // namespace ctl
