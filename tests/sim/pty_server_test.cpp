#include "sim/pty_server.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <thread>

using namespace simtest;
using sim::PtyServer;

namespace {

sim::ServerOptions unpaced() {
    sim::ServerOptions o;
    o.baud = 0;
    return o;
}

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

bool waitFinished(const PtyServer &server, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!server.finished() && Clock::now() < end)
        std::this_thread::sleep_for(5ms);
    return server.finished();
}

} // namespace

TEST(PtyServer, AnswersAnEchoRequestOnTheSlave) {
    PtyServer server(sim::Sensor{}, unpaced());
    Port port(server.slavePath());
    ASSERT_TRUE(port.isOpen()) << server.slavePath();
    sim::Words w{};
    w[0] = 0x1234;
    ASSERT_TRUE(port.write(request(sim::order::Echo, w)));
    const auto reply = port.read(36, 2000ms);
    ASSERT_EQ(reply.size(), 36u);
    EXPECT_EQ(reply[1], 0xAA);
    EXPECT_EQ(reply[3], 0x05);
    EXPECT_EQ(reply[4], 0x12);
    EXPECT_EQ(reply[5], 0x34);
    EXPECT_TRUE(port.readFor(50ms).empty()) << "nothing after the reply";
}

// The time from a reply's last byte to the next request's first byte is
// the program's, counted by the request's order and the order the reply
// answered: the test asks again at once, then after 30 ms. Watching the line
// after a reply must not change what is served or measured.
TEST(PtyServer, MeasuresTheProgramsTurnaroundFromReplyToNextRequest) {
    for (const auto watch : {Clock::duration{}, Clock::duration{500us}}) {
        sim::ServerOptions o = unpaced();
        o.watchAfterReply = watch;
        PtyServer server(sim::Sensor{}, o);
        Port port(server.slavePath());
        ASSERT_TRUE(port.isOpen());
        ASSERT_TRUE(port.write(request(sim::order::Echo, {})));
        ASSERT_EQ(port.read(36, 2000ms).size(), 36u);
        EXPECT_TRUE(server.turnarounds(sim::order::Echo).empty()) << "no request followed a reply";
        ASSERT_TRUE(port.write(request(sim::order::CcdInfo, {})));
        ASSERT_EQ(port.read(36, 2000ms).size(), 36u);
        std::this_thread::sleep_for(30ms);
        ASSERT_TRUE(port.write(request(sim::order::ReadRam, {})));
        ASSERT_EQ(port.read(36, 2000ms).size(), 36u);
        EXPECT_TRUE(server.turnarounds(sim::order::Echo).empty());
        const auto atOnce = server.turnarounds(sim::order::CcdInfo);
        const auto later = server.turnarounds(sim::order::ReadRam);
        ASSERT_EQ(atOnce.size(), 1u);
        ASSERT_EQ(later.size(), 1u);
        EXPECT_EQ(server.turnarounds(sim::order::Echo, sim::order::CcdInfo), atOnce);
        EXPECT_EQ(server.turnarounds(sim::order::CcdInfo, sim::order::ReadRam), later);
        EXPECT_TRUE(server.turnarounds(sim::order::Echo, sim::order::ReadRam).empty());
        EXPECT_LT(atOnce[0], 30ms);
        EXPECT_GE(later[0], 30ms);
        EXPECT_LT(later[0], 1000ms);
    }
}

// A request the sensor leaves unanswered, sent while a reply is on its way,
// does not change the order the next turnaround is counted after.
TEST(PtyServer, CountsTheTurnaroundAfterTheOrderTheLastReplyAnswered) {
    sim::SensorConfig c;
    c.faults.delayMsByOrder[sim::order::Echo] = 50;
    PtyServer server(sim::Sensor(c), unpaced());
    Port port(server.slavePath());
    ASSERT_TRUE(port.write(request(sim::order::Echo)));
    ASSERT_TRUE(port.write(request(sim::order::WriteRam)));
    ASSERT_EQ(port.read(36, 2000ms).size(), 36u);
    ASSERT_TRUE(port.write(request(sim::order::CcdInfo)));
    ASSERT_EQ(port.read(36, 2000ms).size(), 36u);
    EXPECT_EQ(server.turnarounds(sim::order::Echo, sim::order::CcdInfo).size(), 1u);
}

TEST(PtyServer, ControlCharactersPassUnchangedBothWays) {
    PtyServer server(sim::Sensor{}, unpaced());
    Port port(server.slavePath());
    ASSERT_TRUE(port.isOpen());
    // CR/LF, XON/XOFF, DEL, ^C, ^D, ^Z, ^U, ^W, ^V, ^R, ^\, 0xFF
    const sim::Words w{0x0A0D, 0x0D0A, 0x1113, 0x7F03, 0x0304, 0x1A15, 0x1716, 0x121C,
                       0xFF00, 0x0A0A, 0x0D0D, 0x1111, 0x1313, 0x7F7F, 0x0303, 0x00FF};
    const auto req = request(sim::order::Echo, w);
    ASSERT_TRUE(port.write(req));
    const auto reply = port.read(36, 2000ms);
    ASSERT_EQ(reply.size(), 36u);
    EXPECT_EQ(std::vector<std::uint8_t>(reply.begin() + 4, reply.end()),
              std::vector<std::uint8_t>(req.begin() + 4, req.end()));
}

TEST(PtyServer, ServesAgainAfterTheProgramReopensThePort) {
    PtyServer server(sim::Sensor{}, unpaced());
    for (int round = 0; round < 3; ++round) {
        Port port(server.slavePath());
        ASSERT_TRUE(port.isOpen());
        ASSERT_TRUE(port.write(request(sim::order::CcdInfo)));
        EXPECT_EQ(port.read(36, 2000ms).size(), 36u) << "round " << round;
        port.close();
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_FALSE(server.finished());
}

TEST(PtyServer, OnceEndsWhenTheProgramClosesThePortButNotBeforeItOpenedIt) {
    sim::ServerOptions o = unpaced();
    o.once = true;
    PtyServer server(sim::Sensor{}, o);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(server.finished()) << "nobody has opened the port yet";
    {
        Port port(server.slavePath());
        ASSERT_TRUE(port.write(request(sim::order::Echo)));
        EXPECT_EQ(port.read(36, 2000ms).size(), 36u);
        EXPECT_FALSE(server.finished());
    }
    EXPECT_TRUE(waitFinished(server, 2000ms));
}

TEST(PtyServer, HangsUpAfterTheNthFrame) {
    sim::SensorConfig c;
    c.faults.hangupAfterFrames = 2;
    PtyServer server(sim::Sensor(c), unpaced());
    Port port(server.slavePath());
    ASSERT_TRUE(port.write(request(sim::order::Frame)));
    EXPECT_EQ(port.read(36, 2000ms).size(), 36u);
    EXPECT_FALSE(server.finished());
    ASSERT_TRUE(port.write(request(sim::order::Frame)));
    bool gone = false;
    EXPECT_EQ(port.read(36, 2000ms, nullptr, &gone).size(), 36u) << "the last frame comes";
    EXPECT_TRUE(waitFinished(server, 2000ms));
    port.read(1, 500ms, nullptr, &gone);
    EXPECT_TRUE(gone) << "the line is hung up";
}

TEST(PtyServer, GarbageOnTheLineDoesNotWedgeTheSensor) {
    PtyServer server(sim::Sensor{}, unpaced());
    Port port(server.slavePath());
    ASSERT_TRUE(port.write({0x55, 0xAA, 0x00, 0x13, 0x00, 0x00, 0x00, 0x11}));
    ASSERT_TRUE(port.write(request(sim::order::Echo)));
    const auto reply = port.read(36, 2000ms);
    ASSERT_EQ(reply.size(), 36u);
    EXPECT_EQ(reply[3], 5);
    EXPECT_TRUE(port.readFor(50ms).empty());
}

TEST(PtyServer, AnIncompleteRequestIsDroppedAfter200Ms) {
    PtyServer server(sim::Sensor{}, unpaced());
    Port port(server.slavePath());
    const auto partial = request(sim::order::ReadRam);
    ASSERT_TRUE(port.write({partial.begin(), partial.begin() + 20}));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(port.write(request(sim::order::Echo)));
    const auto reply = port.read(36, 2000ms);
    ASSERT_EQ(reply.size(), 36u);
    EXPECT_EQ(reply[3], 5) << "the echo, not a parameter frame made of two halves";
    EXPECT_TRUE(port.readFor(100ms).empty());
}

TEST(PtyServer, ADelayedReplyComesNoEarlierThanItsDelay) {
    sim::SensorConfig c;
    c.faults.delayMsByOrder[5] = 300;
    PtyServer server(sim::Sensor(c), unpaced());
    Port port(server.slavePath());
    const auto t0 = Clock::now();
    ASSERT_TRUE(port.write(request(sim::order::Echo)));
    std::vector<Clock::time_point> times;
    ASSERT_EQ(port.read(36, 3000ms, &times).size(), 36u);
    EXPECT_GE(msBetween(t0, times.front()), 300.0);
    EXPECT_LT(msBetween(t0, times.front()), 1500.0);
}

// Sends `blocks` video requests in one write; returns when each reply byte arrived.
std::vector<Clock::time_point> videoBurst(unsigned baud, int blocks, Clock::time_point &sent) {
    sim::ServerOptions o;
    o.baud = baud;
    PtyServer server(sim::Sensor{}, o);
    Port port(server.slavePath());
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < blocks; ++i) {
        const auto r = videoRequest(static_cast<std::uint16_t>(64 * (i % 4)));
        burst.insert(burst.end(), r.begin(), r.end());
    }
    std::this_thread::sleep_for(30ms);
    sent = Clock::now();
    EXPECT_TRUE(port.write(burst));
    std::vector<Clock::time_point> times;
    EXPECT_EQ(port.read(128u * blocks, 5000ms, &times).size(), 128u * blocks);
    return times;
}

double bytesPerSecond(const std::vector<Clock::time_point> &times) {
    return (times.size() - 1) / (msBetween(times.front(), times.back()) / 1000.0);
}

// The line emulation at the default 19200 baud (1920 bytes/s): a request counts 36 byte times
// after its first byte, the reply's first byte leaves then and its last 127 byte times later.
// (line_timing_test.cpp checks how exactly.)
TEST(PtyServerPacing, VideoBlockArrivesAfterTheRequestsAndTheRepliesLineTime) {
    Clock::time_point t0;
    const auto times = videoBurst(19200, 1, t0);
    ASSERT_EQ(times.size(), 128u);
    const double first = msBetween(t0, times.front());
    const double last = msBetween(t0, times.back());
    EXPECT_GE(first, 36 * 1000.0 / 1920) << "the first byte waits for the request's time";
    EXPECT_GE(last, (36 + 127) * 1000.0 / 1920) << "never before the line could carry it";
    EXPECT_LT(last, 1000.0) << "and not held back by anything else";
}

TEST(PtyServerPacing, ByteRateOfBackToBackRepliesIsWithinTwoPercentOfATenthOfTheBaud) {
    Clock::time_point t0;
    const auto at19200 = videoBurst(19200, 16, t0); // 2048 bytes, about 1.07 s
    ASSERT_EQ(at19200.size(), 2048u);
    EXPECT_NEAR(bytesPerSecond(at19200), 1920.0, 1920.0 * 0.02);
    const auto at9600 = videoBurst(9600, 8, t0); // 1024 bytes, about 1.07 s
    ASSERT_EQ(at9600.size(), 1024u);
    EXPECT_NEAR(bytesPerSecond(at9600), 960.0, 960.0 * 0.02);
}

TEST(PtyServerPacing, AtZeroBaudRepliesAreNotPaced) {
    Clock::time_point t0;
    const auto times = videoBurst(0, 32, t0);
    ASSERT_EQ(times.size(), 4096u);
    // At 19200 baud these 4096 bytes would need 2.1 s.
    EXPECT_LT(msBetween(t0, times.back()), 1000.0);
}
