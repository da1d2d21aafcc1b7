// Serves a simulated sensor on a pseudo-terminal.
#pragma once

#include "sim/pty_endpoint.h"
#include "sim/sensor.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct ServerOptions {
    unsigned baud = 19200; // line speed to emulate; 0 answers at once
    bool once = false;     // end when the program closes the port again
    std::size_t chunk = 1; // reply bytes handed over together (8: a 16550's FIFO); 0 counts as 1
    Clock::duration watchAfterReply{}; // see PtyEndpoint::setWatchAfterReply
    // A USB adapter between the line and the program (sim/usb_adapter.h); zero: none.
    Clock::duration adapterLatency{};
    std::size_t adapterPacket = UsbAdapter::kFtdiPacket;
    // Called on the serving thread for every request and reply (for --verbose).
    std::function<void(const std::string &)> log;
};

// Opens a pseudo-terminal and answers the requests that arrive on it with a Sensor, in a
// background thread, until stopped, until the sensor hangs up, or (once) until the program
// closes the port after it had opened it.
//
// Requests are timed as on a line of the given speed: a request counts as received 36 bytes'
// time after its first byte came, the reply's first byte leaves at that moment and the others
// follow at the line's byte rate (in groups of `chunk`, each when its last byte leaves).
class PtyServer : public PtyEndpoint {
  public:
    explicit PtyServer(Sensor sensor, ServerOptions options = {});
    ~PtyServer() override;

    // How long the program took from a reply's last byte to the first byte of its next
    // request, for each request of this order code that followed a reply; or only for those
    // that followed a reply to `afterOrder`.
    std::vector<Clock::duration> turnarounds(std::uint16_t orderCode) const;
    std::vector<Clock::duration> turnarounds(std::uint16_t afterOrder,
                                             std::uint16_t orderCode) const;

    // Runs f on the sensor while the serving thread keeps its hands off it.
    template <typename F> auto withSensor(F &&f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(sensor_);
    }

  protected:
    void received(const std::uint8_t *data, std::size_t n, Clock::time_point now) override;
    void tick(Clock::time_point now) override;
    std::optional<Clock::time_point> nextTick() const override;

  private:
    void serveComplete(Clock::time_point now);

    Sensor sensor_;
    ServerOptions options_;
    RequestFramer framer_;
    std::optional<Clock::duration> nextTurnaround_;
    std::uint16_t lastAnswered_ = 0; // order code of the request the last reply answered
    // by (order answered by the reply, order of the request that followed it)
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::vector<Clock::duration>> turnarounds_;
};

// Stale limit of a partial request: 200 ms, or two requests' time on a slow line.
std::chrono::milliseconds staleLimitFor(unsigned bytesPerSecond);

} // namespace sim
