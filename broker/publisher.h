// One sensor's messages to an MQTT broker: status, info, frames, video passes,
// limit events and a summary a second under vexa-tb/<name>/. Every call from
// the program's thread returns at once (a frame takes microseconds); the
// client library's own thread connects, reconnects and sends. While no
// broker is connected, frames and video passes are dropped and counted;
// events wait until the broker has acknowledged them, in a bounded queue
// (the oldest goes first when it is full), and go out again after a
// reconnection; the latest status and info go out on every (re)connection.
// A broker that stops answering counts as gone within a few seconds.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "broker/messages.h"
#include "broker/target.h"

namespace broker {

// "broker: connected", or "broker: reconnecting, 120 frames dropped".
std::string connectionText(bool connected, long long dropped);

class Publisher {
  public:
    explicit Publisher(Target target);
    ~Publisher(); // stop()
    Publisher(const Publisher &) = delete;
    Publisher &operator=(const Publisher &) = delete;

    // Set before start(). Both run on a background thread of the client
    // library, never the caller's: hand the news to your own thread (e.g. a
    // queued QMetaObject::invokeMethod) and return at once.
    void onConnectionChanged(std::function<void(bool connected)> callback);
    // The broker refused the credentials; `reason` is "bad user name or
    // password" or "not authorized". The publisher stops trying.
    void onRefused(std::function<void(const std::string &reason)> callback);
    // Each change of the broker's state, once, in words: "broker connected",
    // "broker unreachable: connection refused", "connection lost: the broker
    // stopped answering", "taken over by another client with the name
    // line3", "the event queue is full: the oldest events are dropped".
    // Runs on a background thread, one call at a time.
    void onNews(std::function<void(const std::string &text)> callback);

    // Begins connecting in the background (retrying 1 s, growing to 10 s,
    // until a broker answers). "" when started, else why the client could
    // not be made (nothing connects then).
    std::string start();

    void status(State state);
    void info(const SensorInfo &info);
    void frame(const stream::Frame &frame);    // every frameEvery-th goes out
    void video(const stream::VideoPass &pass); // only with Target::video
    void event(const limits::LimitEvent &event);

    // Publishes status "offline" (retained, QoS 1), waits at most about 2 s
    // for the broker to take it, disconnects. Nothing is sent afterwards.
    void stop();

    bool connected() const;
    // Frames and video passes that did not reach the broker: sent while no
    // broker was connected, or handed over but gone with the connection
    // before the broker acknowledged a message behind them.
    long long dropped() const;
    long long eventsDropped() const;     // given up by the full queue
    long long eventsUndelivered() const; // still unacknowledged when stop() ended
    std::string lastProblem() const;     // the last news that was not "broker connected"
    bool refused() const;
    std::string refusal() const; // the broker's reason, "" unless refused
    // connectionText(connected(), dropped()); once refused "broker: refused, " and the reason.
    std::string state() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace broker
