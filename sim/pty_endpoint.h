// The sensor's end of the serial line: a pseudo-terminal served by a background thread.
#pragma once

#include "sim/framer.h"
#include "sim/usb_adapter.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sim {

// Owns one file descriptor.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : fd_(other.release()) {}
    Fd &operator=(Fd &&other) noexcept;
    ~Fd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

  private:
    int fd_ = -1;
};

// Bytes per second of a line at `baud` with 8N1 framing (10 bits a byte); 0 = no pacing.
constexpr unsigned bytesPerSecondOf(unsigned baud) {
    return baud / 10;
}

// A pseudo-terminal whose slave side stands in for the sensor's serial port, and the thread
// that serves its master side.
//
// The slave is put into raw mode once, so every byte passes unchanged both ways. Nobody keeps
// the slave open on this side: until the program opens it the master reports a hang-up, which
// only means "not yet connected" (the thread retries every 10 ms); once a peer has been seen,
// a hang-up means the program closed the port again.
//
// Outgoing bytes are paced like a serial line, on absolute times of the monotonic clock: byte
// k of a transmission leaves at its start + k/rate s, so a late wake-up delays the bytes then
// due but never shifts the ones after them. With a chunk of N the bytes are handed over in
// groups of N, each group when its last byte leaves (as a UART's FIFO would pass them on); the
// last byte of a transmission leaves at the same time whatever N is. With a USB adapter set,
// the bytes that left the line go through it (sim/usb_adapter.h) before the program sees them.
//
// Derived classes supply the hooks, call start() at the end of their constructor and stop()
// at the start of their destructor. The hooks run on the serving thread with mutex_ held.
class PtyEndpoint {
  public:
    PtyEndpoint(const PtyEndpoint &) = delete;
    PtyEndpoint &operator=(const PtyEndpoint &) = delete;
    virtual ~PtyEndpoint();

    const std::string &slavePath() const { return slavePath_; }

    // Ends the serving thread (idempotent); the master stays open until destruction.
    void stop();
    // The serving thread has ended by itself: hang-up done, or the peer closed the line
    // (with stopWhenPeerCloses).
    bool finished() const { return finished_.load(); }
    // A program has had the slave open at some time.
    bool peerSeen() const { return peerSeen_.load(); }

  protected:
    explicit PtyEndpoint(unsigned bytesPerSecond);

    void start();

    // Hook: bytes read from the master.
    virtual void received(const std::uint8_t *data, std::size_t n, Clock::time_point now) = 0;
    // Hook: called on every pass of the serving loop.
    virtual void tick(Clock::time_point) {}
    // Hook: the next time tick() must run at the latest.
    virtual std::optional<Clock::time_point> nextTick() const { return std::nullopt; }

    // With mutex_ held: queue bytes to go out no earlier than `earliest` and after everything
    // queued before; with hangUpAfter the master is closed once they are out.
    void transmit(std::vector<std::uint8_t> bytes, Clock::time_point earliest,
                  bool hangUpAfter = false);
    // Without mutex_ held: end the serving thread and close the master; whatever is still
    // queued is lost.
    void closeLine();
    // With mutex_ held: how long the program took from the last reply's last byte, as it
    // was handed over, to the first byte it sent since; taken once, then empty.
    std::optional<Clock::duration> takeTurnaround() { return std::exchange(turnaround_, {}); }
    // With mutex_ held: new line rate for replies queued from now on.
    void setBytesPerSecond(unsigned bytesPerSecond) { rate_ = bytesPerSecond; }
    unsigned bytesPerSecond() const { return rate_; }
    // With mutex_ held: bytes handed over together in replies queued from now on (0 counts
    // as 1).
    void setChunk(std::size_t bytes) { chunk_ = std::max<std::size_t>(bytes, 1); }
    std::size_t chunk() const { return chunk_; }
    // With mutex_ held: a USB adapter between the line and the program from now on (a
    // latency of zero: none).
    void setAdapter(Clock::duration latency, std::size_t packet) {
        adapter_ = UsbAdapter(latency, packet);
    }

    // Wake the serving thread (after queueing from another thread).
    void wake();

    void setStopWhenPeerCloses(bool on) { stopWhenPeerCloses_ = on; }
    // For this long after a reply the serving thread does not sleep but looks at the line
    // again and again, so that the next request is timed when its bytes come, not when the
    // scheduler wakes the thread (30-80 us later in a virtual machine). For turnaround times.
    void setWatchAfterReply(Clock::duration d) { watchAfterReply_ = d; }

    mutable std::mutex mutex_;

  private:
    // One transmission: byte k leaves at start + k/rate s, in groups of `chunk` bytes.
    struct Outgoing {
        std::vector<std::uint8_t> bytes;
        Clock::time_point start;
        unsigned rate = 0;
        std::size_t chunk = 1;
        std::size_t sent = 0;
        bool hangUpAfter = false;

        // How many of the bytes may have been handed over at `now`.
        std::size_t dueAt(Clock::time_point now) const;
        // When the group after the bytes sent so far is due.
        Clock::time_point nextDue() const;
    };

    void run();
    // With mutex_ held: write what is due; returns when the next byte is due.
    std::optional<Clock::time_point> sendDue(Clock::time_point now, bool &wantWrite,
                                             bool &closeNow);
    // With mutex_ held: write what the adapter passes on; returns when it passes on more.
    std::optional<Clock::time_point> handOverDue(Clock::time_point now, bool &wantWrite);
    // Nothing on its way to the program: neither on the line nor in the adapter.
    bool lineIdle() const { return queue_.empty() && adapter_.empty() && handedOver_.empty(); }
    void readMaster(bool &hup);
    void lingerUntilDrained();

    Fd master_;
    Fd wakeRead_;
    Fd wakeWrite_;
    std::string slavePath_;
    unsigned rate_;
    std::size_t chunk_ = 1;
    UsbAdapter adapter_;
    std::vector<std::uint8_t> handedOver_;        // passed on by the adapter, not yet written
    bool hangUpWhenIdle_ = false;                 // a hang-up waits for the adapter's last bytes
    std::optional<Clock::time_point> replyEnded_; // the last reply's last byte went out
    std::optional<Clock::duration> turnaround_;
    std::deque<Outgoing> queue_;
    Clock::time_point lineFreeAt_{};
    bool stopWhenPeerCloses_ = false;
    Clock::duration watchAfterReply_{};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> peerSeen_{false};
    std::thread thread_;
};

} // namespace sim
