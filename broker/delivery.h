// What the publisher knows to have reached the broker. Events are kept until
// the broker acknowledges them (QoS 1), sent again after a reconnection, and
// the oldest goes when too many wait. Frames go out at QoS 0, which the
// broker never acknowledges; a QoS 1 summary behind them does, and as the
// connection keeps order, its acknowledgement vouches for every frame handed
// over before it. Frames that no acknowledgement vouches for when the
// connection goes count as dropped. Plain bookkeeping: the publisher calls
// these under its own lock, with the tokens the client library gives.
#pragma once

#include <deque>
#include <functional>
#include <string>

namespace broker {

class EventQueue {
  public:
    explicit EventQueue(std::size_t limit) : limit_(limit) {}

    // Keeps an event's message; false when the oldest waiting one had to go
    // to make room for it.
    bool add(std::string payload);
    // Hands each message not yet sent on this connection to `send`, in
    // order; `send` gives the token of the message, or 0 when it could not
    // be sent (it stays for the next connection).
    void sendWaiting(const std::function<int(const std::string &payload)> &send);
    // The broker acknowledged the message of this token: it is done.
    void acknowledged(int token);
    // The connection went: every message not acknowledged waits again.
    void connectionLost();

    std::size_t waiting() const { return kept_.size(); }
    long long dropped() const { return dropped_; }

  private:
    struct Kept {
        std::string payload;
        int token = 0; // 0: not sent on this connection
    };
    std::size_t limit_;
    std::deque<Kept> kept_;
    long long dropped_ = 0;
};

class FrameLedger {
  public:
    // A frame went to the client library.
    void handedOver() { ++unvouched_; }
    // A summary went out with this token behind the frames handed over.
    void summarySent(int token);
    // The broker acknowledged that summary: the frames before it arrived.
    void summaryAcknowledged(int token);
    // The connection went: what no acknowledgement vouched for counts as
    // dropped; returns how many frames that is.
    long long connectionLost();

  private:
    struct Checkpoint {
        int token;
        long long frames; // handed over since the checkpoint before
    };
    long long unvouched_ = 0; // handed over since the last summary went out
    std::deque<Checkpoint> sent_;
};

} // namespace broker
