// capture: the Run loop's frames, or with --video the Data loop's passes, as
// the window's recording writes them (record/frame_csv). Each line is written
// whole as soon as its frame is in, so a capture that ends early (a sensor
// that stops answering, a killed program) keeps every frame taken so far.
#include <QFile>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "ctl/commands.h"
#include "ctl/exit_codes.h"
#include "display/video_loop.h"
#include "link/video_layout.h"
#include "record/frame_csv.h"
#include "shell/globals.h"

namespace ctl {

namespace {

// Where the lines go: a file, or stdout for the frames without --csv.
class CsvSink {
  public:
    bool openFile(const QString &path) {
        file_ = std::make_unique<QFile>(path);
        return file_->open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    bool write(const std::string &line) {
        if (!file_) {
            const bool whole = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
            return std::fflush(stdout) == 0 && whole;
        }
        const auto size = static_cast<qint64>(line.size());
        return file_->write(line.data(), size) == size && file_->flush();
    }
    QString name() const { return file_ ? file_->fileName() : QStringLiteral("stdout"); }

  private:
    std::unique_ptr<QFile> file_;
};

record::FrameValues frameValues() {
    return {Ledge,   Redge, Mvalue,   tVal,   tTol,   pix1, edcnt,
            mvstart, mvend, pixdelta, anaMax, anaMin, in0};
}

std::string now() {
    return record::isoLocalTime(std::chrono::system_clock::now());
}

bool writeLine(CsvSink &sink, const std::string &line) {
    if (sink.write(line))
        return true;
    complain(QStringLiteral("cannot write to %1").arg(sink.name()));
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
    CsvSink frames;
    CsvSink video;
    if (how.video && how.csvPath.isEmpty()) {
        complain(QStringLiteral("capture --video needs --csv FILE (the video goes beside it)"));
        return ExitUsage;
    }
    if (!how.csvPath.isEmpty() && !frames.openFile(how.csvPath)) {
        complain(QStringLiteral("cannot write %1").arg(how.csvPath));
        return ExitUsage;
    }
    const QString videoPath =
        QString::fromStdString(record::videoPathFor(QFile::encodeName(how.csvPath).toStdString()));
    if (how.video && !video.openFile(videoPath)) {
        complain(QStringLiteral("cannot write %1").arg(videoPath));
        return ExitUsage;
    }
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

    for (int n = 0; n < how.frames; n++) {
        if (Step step = line.frame(!how.video); !step.ok)
            return sensorFailed(step);
        const std::string time = now();
        std::string text;
        record::appendFrameLine(text, time, frameValues());
        if (!writeLine(frames, text))
            return ExitUsage;
        if (!how.video)
            continue;
        VideoSamples samples{};
        if (Step step = line.videoSignal(&samples); !step.ok)
            return sensorFailed(step);
        unsigned short x[256];
        videoX(x);
        text.clear();
        record::appendVideoLine(text, time, x, samples.data());
        if (!writeLine(video, text))
            return ExitUsage;
    }
    return ExitSuccess;
}

} // namespace ctl
