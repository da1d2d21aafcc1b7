#include "stream/stream.h"

#include <algorithm>

#include "stream/publish.h"

namespace stream {

stream::FrameStream &programStream() {
    static FrameStream stream;
    return stream;
}

} // namespace stream

using stream::programStream;

void FrameDecoded(const unsigned short *words) {
    stream::Frame frame;
    frame.time = stream::Clock::now();
    std::copy(words, words + FRAME_WORDS_SEEN, frame.words.begin());
    programStream().publish(frame);
}

void VideoPassDecoded(const unsigned short *x, const unsigned short *y) {
    stream::VideoPass pass;
    pass.time = stream::Clock::now();
    std::copy(x, x + VIDEO_PASS_SAMPLES, pass.x.begin());
    std::copy(y, y + VIDEO_PASS_SAMPLES, pass.y.begin());
    programStream().publish(pass);
}

void LoopRunning(int running) {
    programStream().publish(stream::LoopEvent{running != 0});
}

void TrendPointPlotted(double upper, double lower, double teach, double measured, double selected) {
    // The Run loop publishes a frame just before it draws its point.
    stream::FrameStream &program = programStream();
    const stream::Clock::time_point time =
        program.recentFrames.empty() ? stream::Clock::now() : program.recentFrames.newest().time;
    program.trend.push({upper, lower, teach, measured, selected, time});
}

void VideoCurvePlotted(const unsigned short *x, const unsigned short *y,
                       const unsigned short *threshold) {
    stream::VideoCurve curve;
    std::copy(x, x + VIDEO_PASS_SAMPLES, curve.x.begin());
    std::copy(y, y + VIDEO_PASS_SAMPLES, curve.y.begin());
    std::copy(threshold, threshold + VIDEO_PASS_SAMPLES, curve.threshold.begin());
    programStream().videoCurve = curve;
}

void PortOpened(int port, int result) {
    programStream().publish(stream::PortEvent{stream::PortEvent::Kind::Opened, port, result});
}

void PortLost(int port) {
    programStream().publish(stream::PortEvent{stream::PortEvent::Kind::Lost, port});
}

void ExchangeEnded(int port, int replied) {
    using Kind = stream::PortEvent::Kind;
    programStream().publish(stream::PortEvent{replied ? Kind::Answered : Kind::NoAnswer, port});
}
