#include "sim/scripted_sensor.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <thread>

using namespace simtest;
using sim::ScriptedSensor;

namespace {

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

} // namespace

TEST(ScriptedSensor, RecordsEveryRequestInOrder) {
    ScriptedSensor sensor;
    Port port(sensor.slavePath());
    ASSERT_TRUE(port.isOpen());
    sim::Words w{};
    w[3] = 0xBEEF;
    ASSERT_TRUE(port.write(request(sim::order::Echo, w)));
    ASSERT_TRUE(port.write(request(sim::order::ReadRam)));
    ASSERT_TRUE(sensor.waitForRequests(2, 2000ms));
    const auto got = sensor.requests();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(bytesOf(got[0]), request(sim::order::Echo, w));
    EXPECT_EQ(sensor.orders(), (std::vector<std::uint16_t>{5, 2}));
    EXPECT_EQ(sensor.requestTimes().size(), 2u);
    EXPECT_EQ(sensor.receivedBytes().size(), 72u);
}

TEST(ScriptedSensor, AnswersAnOrderWithItsScriptedReplyEveryTime) {
    ScriptedSensor sensor;
    std::vector<std::uint8_t> reply(200); // any length
    for (std::size_t i = 0; i < reply.size(); ++i)
        reply[i] = static_cast<std::uint8_t>(i * 7);
    sensor.script(sim::order::Echo, reply);
    Port port(sensor.slavePath());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(port.write(request(sim::order::Echo)));
        EXPECT_EQ(port.read(200, 2000ms), reply) << i;
    }
}

TEST(ScriptedSensor, OnceRepliesAreUsedUpBeforeTheStandingReply) {
    ScriptedSensor sensor;
    sensor.script(sim::order::CcdInfo, {1, 2, 3}, 0ms, ScriptedSensor::Repeat::Once);
    sensor.script(sim::order::CcdInfo, {9});
    sensor.script(sim::order::CcdInfo, {4, 5}, 0ms, ScriptedSensor::Repeat::Once);
    Port port(sensor.slavePath());
    const std::vector<std::vector<std::uint8_t>> expected = {{1, 2, 3}, {4, 5}, {9}, {9}};
    for (const auto &e : expected) {
        ASSERT_TRUE(port.write(request(sim::order::CcdInfo)));
        EXPECT_EQ(port.read(e.size(), 2000ms), e);
    }
    EXPECT_TRUE(port.readFor(50ms).empty());
}

TEST(ScriptedSensor, OrdersWithoutScriptOrWithAnEmptyReplyGetNoAnswer) {
    ScriptedSensor sensor;
    sensor.script(sim::order::Teach, {});
    sensor.script(sim::order::Echo, {7});
    sensor.clearScript(sim::order::Echo);
    Port port(sensor.slavePath());
    ASSERT_TRUE(port.write(request(sim::order::Teach)));
    ASSERT_TRUE(port.write(request(sim::order::Firmware)));
    ASSERT_TRUE(port.write(request(sim::order::Echo)));
    ASSERT_TRUE(sensor.waitForRequests(3, 2000ms));
    EXPECT_TRUE(port.readFor(100ms).empty());
}

TEST(ScriptedSensor, ADelayedReplyComesNoEarlierThanItsDelay) {
    ScriptedSensor sensor;
    sensor.script(sim::order::Echo, sim::makeReply(sim::order::Echo), 250ms);
    Port port(sensor.slavePath());
    const auto t0 = Clock::now();
    ASSERT_TRUE(port.write(request(sim::order::Echo)));
    std::vector<Clock::time_point> times;
    ASSERT_EQ(port.read(36, 2000ms, &times).size(), 36u);
    EXPECT_GE(msBetween(t0, times.front()), 250.0);
}

TEST(ScriptedSensor, SendPushesBytesToTheProgramUnasked) {
    ScriptedSensor sensor;
    Port port(sensor.slavePath());
    sensor.send({0x00, 0xAA, 0x0A, 0x0D, 0x11, 0x13});
    EXPECT_EQ(port.read(6, 2000ms),
              (std::vector<std::uint8_t>{0x00, 0xAA, 0x0A, 0x0D, 0x11, 0x13}));
}

TEST(ScriptedSensor, BytesSentBeforeThePortIsOpenWaitForTheProgram) {
    ScriptedSensor sensor;
    sensor.send({1, 2, 3});
    std::this_thread::sleep_for(50ms);
    Port port(sensor.slavePath());
    EXPECT_EQ(port.read(3, 2000ms), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(ScriptedSensor, WaitingForRequestsThatNeverComeTimesOut) {
    ScriptedSensor sensor;
    const auto t0 = Clock::now();
    EXPECT_FALSE(sensor.waitForRequests(1, 150ms));
    EXPECT_GE(msBetween(t0, Clock::now()), 150.0);
}

TEST(ScriptedSensor, HangUpTakesTheLineAway) {
    ScriptedSensor sensor;
    Port port(sensor.slavePath());
    ASSERT_TRUE(port.write(request(sim::order::Echo)));
    ASSERT_TRUE(sensor.waitForRequests(1, 2000ms));
    sensor.hangUp();
    EXPECT_TRUE(sensor.finished());
    bool gone = false;
    port.read(1, 1000ms, nullptr, &gone);
    EXPECT_TRUE(gone);
    EXPECT_EQ(sensor.requests().size(), 1u) << "what came stays readable";
}

TEST(ScriptedSensor, GarbageIsSkippedButKeptInTheRawBytes) {
    ScriptedSensor sensor;
    Port port(sensor.slavePath());
    ASSERT_TRUE(port.write({0x42, 0x43}));
    ASSERT_TRUE(port.write(request(sim::order::Teach)));
    ASSERT_TRUE(sensor.waitForRequests(1, 2000ms));
    EXPECT_EQ(sensor.orders(), (std::vector<std::uint16_t>{6}));
    const auto raw = sensor.receivedBytes();
    ASSERT_EQ(raw.size(), 38u);
    EXPECT_EQ(raw[0], 0x42);
    sensor.clearRequests();
    EXPECT_TRUE(sensor.requests().empty());
    EXPECT_TRUE(sensor.receivedBytes().empty());
}

TEST(ScriptedSensor, WithABaudRateRepliesArePaced) {
    ScriptedSensor sensor;
    sensor.setBaud(19200);
    Port port(sensor.slavePath());
    std::vector<std::uint8_t> bytes(192, 0x5A);
    const auto t0 = Clock::now();
    sensor.send(bytes);
    std::vector<Clock::time_point> times;
    ASSERT_EQ(port.read(192, 3000ms, &times).size(), 192u);
    EXPECT_GE(msBetween(t0, times.back()), 192 * 1000.0 / 1920 - 1.0);
}
