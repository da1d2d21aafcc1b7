// One sensor's messages to an MQTT broker: status, info, frames, video passes
// and limit events under vexa-tb/<name>/. Every call from the program's
// thread returns at once (a frame takes microseconds); the client library's
// own thread connects, reconnects and sends. While no broker is connected,
// frames and video passes are dropped and counted, events wait in a bounded
// buffer (the oldest goes first when it is full), and the latest status and
// info go out on every (re)connection.
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
    long long dropped() const; // frames and video passes not sent
    bool refused() const;
    std::string refusal() const; // the broker's reason, "" unless refused
    // connectionText(connected(), dropped()); once refused "broker: refused, " and the reason.
    std::string state() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace broker
