// The program's frame stream: every frame, video pass, port event and loop
// start and end the loops and the link publish, for any number of
// listeners, and the recent history of frames, video passes and trend
// points, so that no listener has to read numbers back out of a graph.
// Everything runs on the program's one thread.
#pragma once

#include <cstddef>
#include <optional>

#include "stream/channel.h"
#include "stream/frame.h"
#include "stream/history.h"

namespace stream {

class FrameStream {
  public:
    // The trend chart shows 100 points; the history keeps as many frames.
    static constexpr std::size_t HISTORY_POINTS = 100;

    Channel<Frame> frames;
    Channel<VideoPass> videoPasses;
    Channel<PortEvent> portEvents;
    Channel<LoopEvent> loops;

    History<Frame> recentFrames{HISTORY_POINTS};
    // What the graphs show, for the data export: the trend chart's points
    // as drawn, oldest first, and the video graph's curve as last drawn.
    History<TrendPoint> trend{HISTORY_POINTS};
    std::optional<VideoCurve> videoCurve;

    void publish(const Frame &frame) {
        recentFrames.push(frame);
        frames.publish(frame);
    }
    void publish(const VideoPass &pass) { videoPasses.publish(pass); }
    void publish(const PortEvent &event) { portEvents.publish(event); }
    void publish(const LoopEvent &event) { loops.publish(event); }

    // Forgets the history, as at the program's start.
    void clearHistory() {
        recentFrames.clear();
        trend.clear();
        videoCurve.reset();
    }
};

// The one stream of the program (and of vexa-tb-ctl).
FrameStream &programStream();

} // namespace stream
