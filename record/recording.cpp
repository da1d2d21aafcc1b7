// See recording.h for why lines are held back and written whole.
#include "record/recording.h"

#include "runtime/one_step_file.h"

#include <QFileInfo>

#include <utility>

namespace record {

namespace {

constexpr QIODevice::OpenMode WRITE_MODE =
    QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered;

std::string now() {
    return isoLocalTime(std::chrono::system_clock::now());
}

} // namespace

Recording::Recording(QObject *parent) : QObject(parent) {
    writeTimer_.setInterval(WRITE_INTERVAL_MS);
    connect(&writeTimer_, &QTimer::timeout, this, [this] { writeOut(); });
}

Recording::~Recording() {
    blockSignals(true); // nobody is left to tell
    stop();
}

bool Recording::start(const QString &framesPath, QString &problem) {
    stop();
    frames_.file.setFileName(framesPath);
    if (!frames_.file.open(WRITE_MODE)) {
        problem = tr("Cannot record to %1: %2").arg(framesPath, frames_.file.errorString());
        return false;
    }
    frames_.held = frameHeader() + '\n';
    frames_.heldLines = 0;
    frames_.written = 0;
    frames_.linesWritten = 0;
    clock_.start();
    // The video file is made with the first video pass: a recording of the
    // live loop alone has none. One left from an earlier recording under this
    // name goes now (replacing it was asked with the frame file), or a replay
    // would pair the new frames with its passes.
    video_.file.setFileName(QString::fromStdString(videoPathFor(framesPath.toStdString())));
    QFile::remove(video_.file.fileName());
    writeTimer_.start();
    return true;
}

void Recording::stop() {
    writeTimer_.stop();
    if (isActive())
        lastedMs_ = clock_.elapsed();
    if (!writeOut())
        return; // already closed
    frames_.file.close();
    video_.file.close();
    if (QString problem; !describeEnd(&problem))
        emit failed(tr("Recording stopped: %1").arg(problem));
}

bool Recording::describe(const Description &description, QString &problem) {
    description_.reset();
    if (!isActive() || !QFileInfo(framesPath()).isFile())
        return true;
    if (!writeDescription(framesPath(), description, &problem)) {
        // None rather than one of an earlier recording under this name.
        const QString old = QFile::decodeName(
            descriptionPathFor(QFile::encodeName(framesPath()).toStdString()).c_str());
        if (QFileInfo(old).isFile())
            QFile::remove(old);
        return false;
    }
    description_ = description;
    return true;
}

bool Recording::describeEnd(QString *problem) {
    if (!description_)
        return true;
    Description ended = *std::exchange(description_, std::nullopt);
    ended.end = std::chrono::system_clock::now();
    ended.frames = static_cast<long long>(frames_.linesWritten);
    return writeDescription(frames_.file.fileName(), ended, problem);
}

void Recording::addFrame(const FrameValues &values) {
    if (!isActive())
        return;
    appendFrameLine(frames_.held, now(), values);
    ++frames_.heldLines;
    if (frames_.held.size() >= WRITE_AT_BYTES)
        writeOut(frames_);
}

void Recording::addVideoPass(const std::uint16_t *x, const std::uint16_t *y) {
    if (!isActive() || (!video_.file.isOpen() && !openVideo()))
        return;
    appendVideoLine(video_.held, now(), x, y);
    ++video_.heldLines;
    if (video_.held.size() >= WRITE_AT_BYTES)
        writeOut(video_);
}

bool Recording::writeOut() {
    return writeOut(frames_) && writeOut(video_);
}

bool Recording::openVideo() {
    if (!video_.file.open(WRITE_MODE)) {
        fail(video_, video_.file.errorString());
        return false;
    }
    video_.held = videoHeader() + '\n';
    video_.heldLines = 0;
    video_.written = 0;
    video_.linesWritten = 0;
    return true;
}

bool Recording::writeOut(Sink &sink) {
    if (!sink.file.isOpen() || sink.held.empty())
        return true;
    const auto size = static_cast<qint64>(sink.held.size());
    if (!rt::writeWhole(sink.file, sink.held.data(), size)) {
        // A full disk may have taken part of the lines: cut the file back to
        // the last whole one.
        const QString reason = sink.file.errorString();
        sink.file.resize(sink.written);
        fail(sink, reason);
        return false;
    }
    sink.written += size;
    sink.linesWritten += sink.heldLines;
    sink.held.clear();
    sink.heldLines = 0;
    return true;
}

void Recording::fail(const Sink &sink, const QString &reason) {
    const QString message =
        tr("Recording stopped: cannot write %1: %2").arg(sink.file.fileName(), reason);
    writeTimer_.stop();
    lastedMs_ = clock_.elapsed();
    for (Sink *s : {&frames_, &video_}) {
        s->held.clear();
        s->heldLines = 0;
        s->file.close();
    }
    // The description still says how far the frame file goes, where the
    // disk takes it; the failure told is the frame file's.
    QString ignored;
    describeEnd(&ignored);
    emit failed(message);
}

} // namespace record
