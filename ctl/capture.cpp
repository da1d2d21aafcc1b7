// capture: the Run loop's frames, or with --video the Data loop's passes, as
// the window's recording writes them (record/frame_csv), through the frame
// stream as the window's loops hand them on. Each line is written
// whole as soon as its frame is in, so a capture that ends early (a sensor
// that stops answering, a killed program) keeps every frame taken so far; a
// write that fails part-way (a full disk, a file size limit) is cut back to
// the last whole line (record/line_file), as the window's recording does,
// and ends the capture with the reason.
#include <QFile>

#include <algorithm>
#include <string>

#include "ctl/commands.h"
#include "ctl/exit_codes.h"
#include "display/video_loop.h"
#include "link/video_layout.h"
#include "record/frame_csv.h"
#include "record/line_file.h"
#include "shell/globals.h"
#include "stream/publish.h"
#include "stream/stream.h"

namespace ctl {

namespace {

// Words 0 to 12 of the reply as they came, as the window's recording takes
// them in both loops: in0 too, which the Data loop does not show.
template <typename Words> record::FrameValues frameValues(const Words &words) {
    record::FrameValues values{};
    std::copy_n(words.begin(), values.size(), values.begin());
    return values;
}

QString reasonOf(const record::LineFile &sink) {
    return QString::fromLocal8Bit(sink.reason().c_str());
}

bool openSink(record::LineFile &sink, const QString &path) {
    if (sink.open(QFile::encodeName(path).toStdString()))
        return true;
    complain(QStringLiteral("cannot write %1: %2").arg(path, reasonOf(sink)));
    return false;
}

bool writeLine(record::LineFile &sink, const std::string &line) {
    if (sink.write(line))
        return true;
    const QString name = QFile::decodeName(sink.name().c_str());
    complain(QStringLiteral("cannot write to %1: %2").arg(name, reasonOf(sink)));
    return false;
}

// The x positions of the samples, as the window lays out the video graph.
void videoX(unsigned short x[256]) {
    unsigned short start = 0;
    if (VideoWindowStart(&start))
        WindowX(start, x);
    else
        FullLineX(x);
}

} // namespace

int runCapture(const Invocation &how) {
    record::LineFile frames; // stdout without --csv
    record::LineFile video;
    if (how.video && how.csvPath.isEmpty()) {
        complain(QStringLiteral("capture --video needs --csv FILE (the video goes beside it)"));
        return ExitUsage;
    }
    const QString videoPath =
        QString::fromStdString(record::videoPathFor(QFile::encodeName(how.csvPath).toStdString()));
    if ((!how.csvPath.isEmpty() && !openSink(frames, how.csvPath)) ||
        (how.video && !openSink(video, videoPath)))
        return ExitUsage;
    if (!writeLine(frames, record::frameHeader() + '\n') ||
        (how.video && !writeLine(video, record::videoHeader() + '\n')))
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
    // recording writes them; the loop here only publishes.
    int failed = ExitSuccess; // a listener's write failed
    stream::FrameStream &program = stream::programStream();
    const stream::Subscription frameLines = program.frames.subscribe([&](const stream::Frame &f) {
        std::string text;
        record::appendFrameLine(text, record::isoLocalTime(f.time), frameValues(f.words));
        if (!failed && !writeLine(frames, text))
            failed = ExitUsage;
    });
    const stream::Subscription videoLines =
        program.videoPasses.subscribe([&](const stream::VideoPass &pass) {
            std::string text;
            record::appendVideoLine(text, record::isoLocalTime(pass.time), pass.x.data(),
                                    pass.y.data());
            if (!failed && !writeLine(video, text))
                failed = ExitUsage;
        });

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
        videoX(x);
        VideoPassDecoded(x, samples.data());
    }
    return failed;
}

} // namespace ctl
