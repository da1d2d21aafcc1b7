#include "ctl/frame_lines.h"

#include <QFile>

#include <algorithm>
#include <string>
#include <utility>

#include "ctl/commands.h"
#include "display/video_loop.h"
#include "link/video_layout.h"
#include "record/frame_csv.h"
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

} // namespace

// A disk that stays full would fail every line: the failure is said once,
// until a line goes out again.
bool FrameLines::writeLine(Sink &sink, const std::string &line) {
    if (sink.file.write(line)) {
        sink.failing = false;
        return true;
    }
    if (!std::exchange(sink.failing, true)) {
        const QString name = QFile::decodeName(sink.file.name().c_str());
        complain(QStringLiteral("cannot write to %1: %2").arg(name, reasonOf(sink.file)));
    }
    return false;
}

bool FrameLines::open(const QString &path, bool video) {
    const QString videoPath =
        QString::fromStdString(record::videoPathFor(QFile::encodeName(path).toStdString()));
    if ((!path.isEmpty() && !openSink(frames_.file, path)) ||
        (video && !openSink(video_.file, videoPath)))
        return false;
    return writeLine(frames_, record::frameHeader() + '\n') &&
           (!video || writeLine(video_, record::videoHeader() + '\n'));
}

void FrameLines::listen(std::function<void()> failed) {
    failed_ = std::move(failed);
    stream::FrameStream &program = stream::programStream();
    frameSub_ = program.frames.subscribe([this](const stream::Frame &f) {
        line_.clear();
        record::appendFrameLine(line_, record::isoLocalTime(f.time), frameValues(f.words));
        if (writeLine(frames_, line_))
            ++framesWritten_;
        else if (failed_)
            failed_();
    });
    videoSub_ = program.videoPasses.subscribe([this](const stream::VideoPass &pass) {
        line_.clear();
        record::appendVideoLine(line_, record::isoLocalTime(pass.time), pass.x.data(),
                                pass.y.data());
        if (!writeLine(video_, line_) && failed_)
            failed_();
    });
}

void videoSampleX(unsigned short x[256]) {
    unsigned short start = 0;
    if (VideoWindowStart(&start))
        WindowX(start, x);
    else
        FullLineX(x);
}

} // namespace ctl
