// A sensor stand-in whose replies a test writes down in advance, for testing the program's link.
#pragma once

#include "sim/protocol.h"
#include "sim/pty_endpoint.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace sim {

// Opens a pseudo-terminal (raw slave, path in slavePath()), records every complete 36-byte
// request that arrives and answers it by the script set for its order code:
//   - script(order, bytes, delay, Repeat::Always): the standing reply of that order;
//   - script(order, bytes, delay, Repeat::Once): a reply used once; once-replies are used up
//     in the order they were given, before the standing reply.
// A reply is any byte vector: any length, or empty for no reply. Orders without a script get
// no reply. Replies are not paced unless a baud rate is set; the delay counts from the
// request's arrival.
//
// Every wait has a time-out; nothing here can block a test for good.
class ScriptedSensor : public PtyEndpoint {
  public:
    enum class Repeat { Always, Once };

    explicit ScriptedSensor(unsigned baud = 0);
    ~ScriptedSensor() override;

    void script(std::uint16_t orderCode, std::vector<std::uint8_t> reply,
                std::chrono::milliseconds delay = std::chrono::milliseconds(0),
                Repeat repeat = Repeat::Always);
    // Forget the script of one order, or of all.
    void clearScript(std::uint16_t orderCode);
    void clearScript();

    // Send bytes to the program now, behind every reply already queued (delayed ones too).
    void send(std::vector<std::uint8_t> bytes);
    // Close the master: the program's port sees the line go away. Replies still queued are lost.
    void hangUp();
    // Emulate a line of this speed from now on (a request half received is dropped);
    // 0 = no pacing.
    void setBaud(unsigned baud);
    // Hand paced replies over in groups of this many bytes from now on (8: a 16550's FIFO);
    // each group goes when its last byte has left. Default 1.
    void setChunk(std::size_t bytes);

    // Complete requests received so far, and when each was complete.
    std::vector<Telegram> requests() const;
    std::vector<Clock::time_point> requestTimes() const;
    // Orders of the requests received so far.
    std::vector<std::uint16_t> orders() const;
    // Every byte received, also those that never formed a request.
    std::vector<std::uint8_t> receivedBytes() const;
    void clearRequests();

    // Waits until at least n requests have arrived in all; false on time-out.
    bool waitForRequests(std::size_t n, std::chrono::milliseconds timeout) const;

  protected:
    void received(const std::uint8_t *data, std::size_t n, Clock::time_point now) override;
    void tick(Clock::time_point now) override;
    std::optional<Clock::time_point> nextTick() const override;

  private:
    struct Entry {
        std::vector<std::uint8_t> bytes;
        std::chrono::milliseconds delay{0};
    };
    struct Script {
        std::deque<Entry> once;
        std::optional<Entry> always;
    };

    void answerComplete(Clock::time_point now);

    RequestFramer framer_;
    std::map<std::uint16_t, Script> scripts_;
    std::vector<Telegram> requests_;
    std::vector<Clock::time_point> times_;
    std::vector<std::uint8_t> raw_;
    mutable std::condition_variable arrived_;
};

} // namespace sim
