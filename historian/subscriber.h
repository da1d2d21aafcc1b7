// The historian's subscription: vexa-tb/+/status, info, frame and event at
// QoS 1 in a session the broker keeps (clean session off, a fixed client
// id), so that the broker holds the events, statuses and infos that come
// while the historian is away and hands them over when it is back. Paho's
// asynchronous client receives on its own thread; each message goes, with
// the time it arrived, into a bounded queue that the writer empties, and is
// dropped and counted when the queue is full: Paho's thread never waits.
// Connecting and reconnecting is the subscriber's own keeper thread's work
// (1 s, growing to 10 s), as in broker/publisher.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "broker/target.h"
#include "historian/records.h"

namespace historian {

// A message as it arrived: topic, JSON text and the historian's clock then.
struct Message {
    std::string topic, payload;
    Millis arrival = 0;
};

// Between Paho's thread and the writer: push never waits.
class MessageQueue {
  public:
    explicit MessageQueue(std::size_t limit) : limit_(limit) {}

    // False, counted as dropped, when the queue is full.
    bool push(Message message);
    // Everything waiting, after waiting up to `ms` for anything to come.
    std::deque<Message> take(int ms);
    // Wakes a take() that waits.
    void wake();

    long long received() const;
    long long dropped() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> messages_;
    std::size_t limit_;
    long long received_ = 0, dropped_ = 0;
    bool woken_ = false;
};

// "vexa-tb-historian-<hostname>".
std::string defaultClientId();

class Subscriber {
  public:
    // `broker` as checked by broker::parseUrl/checkTarget (url, user,
    // password, CA file); the name is not used.
    Subscriber(broker::Target broker, std::string clientId, MessageQueue &queue);
    ~Subscriber(); // stop()
    Subscriber(const Subscriber &) = delete;
    Subscriber &operator=(const Subscriber &) = delete;

    // Each change of the broker's state, once, in words ("broker connected",
    // "broker unreachable: connection refused", "connection lost: ...",
    // "the message queue is full: messages are dropped"); on a background
    // thread. Set before start().
    void onNews(std::function<void(const std::string &text)> callback);

    // Begins connecting in the background; "" when started, else why the
    // client could not be made.
    std::string start();
    // Disconnects: nothing arrives afterwards. The broker keeps the
    // session and the QoS 1 messages that come meanwhile.
    void stop();

    bool connected() const;
    // The broker refused the credentials ("bad user name or password",
    // "not authorized"): no retry helps, the subscriber stopped trying.
    bool refused() const;
    std::string refusal() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace historian
