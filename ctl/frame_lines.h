// The frame and video lines of capture and monitor, in the recording's
// format (record/frame_csv): the frames to a file or stdout, with the Data
// loop's passes to <base>-video.csv beside it. The lines are written by
// listeners of the frame stream, as the window's recording writes them; each
// goes out whole, and a line the disk takes only in part is cut back off
// (record/line_file).
#pragma once

#include <QString>

#include <functional>
#include <string>

#include "record/line_file.h"
#include "stream/channel.h"

namespace ctl {

class FrameLines {
  public:
    // Opens `path` (empty: stdout) and, with `video`, its video file, and
    // writes their headers; false after saying why on stderr.
    bool open(const QString &path, bool video);
    // Writes every frame and pass of the program's stream from now on;
    // `failed` hears of each line that did not go out. The first of a run
    // of failures is said on stderr, the rest only when a line went out
    // between.
    void listen(std::function<void()> failed);
    // Frame lines written so far.
    long long framesWritten() const { return framesWritten_; }

  private:
    struct Sink {
        record::LineFile file; // stdout until open() names a file
        bool failing = false;  // the last write failed and was said
    };
    bool writeLine(Sink &sink, const std::string &line);

    Sink frames_, video_;
    std::string line_; // reused for each line
    long long framesWritten_ = 0;
    std::function<void()> failed_;
    stream::Subscription frameSub_, videoSub_;
};

// The x positions of the samples, as the window lays out the video graph.
void videoSampleX(unsigned short x[256]);

} // namespace ctl
