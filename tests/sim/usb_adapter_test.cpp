// vexa-sim behind a USB adapter: reply bytes reach the program when a packet
// is full, or when the latency timer has run out after the last byte came.
#include "sim/pty_server.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace simtest;

namespace {

struct AdapterCase {
    const char *what;
    std::uint16_t order; // 5: a 36-byte reply, 9: 128 bytes
    int latencyMs;
    std::size_t packet;
    std::size_t byte; // the reply's byte whose arrival is timed
    double earliestMs, latestMs;
};

} // namespace

// Unpaced line, so what is timed is the adapter's alone. Bytes may come late
// on a busy machine but never early: the earliest bound holds for every
// exchange, the latest for the quickest of three.
TEST(UsbAdapter, HandsBytesOverWhenAPacketIsFullOrTheLatencyHasRunOut) {
    const AdapterCase cases[] = {
        {"a reply shorter than a packet waits for the timer", 5, 16, 62, 0, 10, 1000},
        {"a 1 ms timer passes it on well under 10 ms", 5, 1, 62, 35, 0, 10},
        {"a full packet goes at once", 5, 200, 36, 35, 0, 100},
        {"two full packets of a video block go at once", 9, 200, 62, 123, 0, 100},
        {"the block's last four bytes wait for the timer", 9, 200, 62, 124, 150, 3000},
    };
    for (const AdapterCase &c : cases) {
        SCOPED_TRACE(c.what);
        sim::ServerOptions o;
        o.baud = 0;
        o.adapterLatency = std::chrono::milliseconds(c.latencyMs);
        o.adapterPacket = c.packet;
        sim::PtyServer server(sim::Sensor{}, o);
        Port port(server.slavePath());
        ASSERT_TRUE(port.isOpen());
        const std::size_t length = c.order == sim::order::Video ? 128 : 36;
        double quickest = 1e9;
        for (int i = 0; i < 3; ++i) {
            const auto asked = Clock::now();
            ASSERT_TRUE(
                port.write(c.order == sim::order::Video ? videoRequest(0) : request(c.order)));
            std::vector<Clock::time_point> times;
            ASSERT_EQ(port.read(length, 3000ms, &times).size(), length);
            const double ms =
                std::chrono::duration<double, std::milli>(times[c.byte] - asked).count();
            EXPECT_GE(ms, c.earliestMs);
            quickest = std::min(quickest, ms);
        }
        EXPECT_LE(quickest, c.latestMs);
    }
}
