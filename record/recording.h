// A recording: the frame file and, once the Data loop has sent a pass, the
// video file beside it. Lines are collected whole and written out with one
// write each at most every half second (or sooner when much has piled up),
// so that a killed program leaves only whole lines behind and the loops pay
// for a write only now and then. The first failing write ends the recording
// and says why; the loops that feed it go on.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <string>

#include "record/description.h"
#include "record/frame_csv.h"

namespace record {

class Recording : public QObject {
    Q_OBJECT

  public:
    explicit Recording(QObject *parent = nullptr);
    ~Recording() override; // writes out what is held

    // Opens (and empties) the frame file. False, with the reason in
    // `problem`, when it cannot be opened.
    bool start(const QString &framesPath, QString &problem);
    // Writes `description` beside the running recording's frame file
    // (<base>.json) now, and again with the end time and the frames written
    // when the recording ends. False, with the file and the reason in
    // `problem`, when it cannot be written; the recording goes on. A
    // recording into a device (a FIFO, /dev/null) has none.
    bool describe(const Description &description, QString &problem);
    // Writes out what is held and closes the files; a description that
    // cannot be written again is said through failed().
    void stop();
    bool isActive() const { return frames_.file.isOpen(); }
    QString framesPath() const { return frames_.file.fileName(); }
    // The frames whose lines are in the frame file (held ones are not yet),
    // and how long the recording has run or ran.
    quint64 framesWritten() const { return frames_.linesWritten; }
    qint64 elapsedMs() const { return isActive() ? clock_.elapsed() : lastedMs_; }

    void addFrame(const FrameValues &values);
    void addVideoPass(const std::uint16_t *x, const std::uint16_t *y);
    // Writes out what is held now. False when a write failed (the recording
    // has then ended and failed() was sent).
    bool writeOut();

    // Interval of the writes while lines come in, and the amount held that
    // is written at once.
    static constexpr int WRITE_INTERVAL_MS = 500;
    static constexpr std::size_t WRITE_AT_BYTES = 64 * 1024;

  signals:
    // The recording ended because a file could not be written; `message`
    // names the file and the reason.
    void failed(const QString &message);

  private:
    struct Sink {
        QFile file;
        std::string held; // whole lines not yet written
        quint64 heldLines = 0;
        qint64 written = 0;
        quint64 linesWritten = 0;
    };
    void add(Sink &sink, const std::string &header);
    bool writeOut(Sink &sink);
    void fail(const Sink &sink, const QString &reason);
    bool openVideo();
    // The description with the end time and the frames written; false with
    // the reason in `problem` when it cannot be written.
    bool describeEnd(QString *problem);

    Sink frames_;
    Sink video_;
    QTimer writeTimer_;
    QElapsedTimer clock_;
    qint64 lastedMs_ = 0;
    std::string line_; // reused for each line
    std::optional<Description> description_; // while the recording runs
};

} // namespace record
