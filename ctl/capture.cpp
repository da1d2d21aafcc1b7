// capture: the Run loop's frames, or with --video the Data loop's passes, as
// the window's recording writes them (record/frame_csv), through the frame
// stream as the window's loops hand them on. Each line is written
// whole as soon as its frame is in, so a capture that ends early (a sensor
// that stops answering, a killed program) keeps every frame taken so far; a
// write that fails part-way (a full disk, a file size limit) is cut back to
// the last whole line, as the window's recording does, and ends the capture
// with the reason.
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>

#include "ctl/commands.h"
#include "ctl/exit_codes.h"
#include "display/video_loop.h"
#include "link/video_layout.h"
#include "record/frame_csv.h"
#include "shell/globals.h"
#include "stream/publish.h"
#include "stream/stream.h"

namespace ctl {

namespace {

// Where the lines go: a file, or stdout for the frames without --csv.
class CsvSink {
  public:
    CsvSink() = default;
    ~CsvSink() {
        if (fd_ != STDOUT_FILENO)
            ::close(fd_);
    }
    CsvSink(const CsvSink &) = delete;
    CsvSink &operator=(const CsvSink &) = delete;

    bool openFile(const QString &path) {
        name_ = path;
        fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                     0666);
        error_ = fd_ < 0 ? errno : 0;
        return fd_ >= 0;
    }
    // The whole line, or false with the file as it was before it.
    bool write(const std::string &line) {
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                error_ = n < 0 ? errno : EIO;
                cutBack(done);
                return false;
            }
        }
        return true;
    }
    QString name() const { return name_; }
    QString reason() const { return QString::fromLocal8Bit(std::strerror(error_)); }

  private:
    // Takes back the `done` bytes of a line that did not go out whole. Only
    // a regular file can be cut; what went into a pipe has gone.
    void cutBack(std::size_t done) const {
        struct stat st {};
        if (done == 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
            return;
        const bool appending = (::fcntl(fd_, F_GETFL) & O_APPEND) != 0;
        const off_t end = appending ? st.st_size : ::lseek(fd_, 0, SEEK_CUR);
        const off_t whole = end - static_cast<off_t>(done);
        if (end >= 0 && whole >= 0 && ::ftruncate(fd_, whole) == 0 && !appending)
            ::lseek(fd_, whole, SEEK_SET);
    }

    int fd_ = STDOUT_FILENO;
    int error_ = 0;
    QString name_ = QStringLiteral("stdout");
};

// Words 0 to 12 of the reply as they came, as the window's recording takes
// them in both loops: in0 too, which the Data loop does not show.
template <typename Words> record::FrameValues frameValues(const Words &words) {
    record::FrameValues values{};
    std::copy_n(words.begin(), values.size(), values.begin());
    return values;
}

bool openSink(CsvSink &sink, const QString &path) {
    if (sink.openFile(path))
        return true;
    complain(QStringLiteral("cannot write %1: %2").arg(path, sink.reason()));
    return false;
}

bool writeLine(CsvSink &sink, const std::string &line) {
    if (sink.write(line))
        return true;
    complain(QStringLiteral("cannot write to %1: %2").arg(sink.name(), sink.reason()));
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
