#include "sim/framer.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

using namespace simtest;
using sim::RequestFramer;

namespace {

const Clock::time_point t0 = Clock::time_point() + std::chrono::hours(1);

void push(RequestFramer &f, const std::vector<std::uint8_t> &bytes, Clock::time_point at) {
    f.push(bytes.data(), bytes.size(), at);
}

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(RequestFramer, HandsOutARequestOnlyWhenAll36BytesAreThere) {
    RequestFramer f;
    const auto req = request(sim::order::Echo);
    push(f, {req.begin(), req.begin() + 35}, t0);
    EXPECT_FALSE(f.pop(t0));
    push(f, {req.back()}, t0);
    const auto r = f.pop(t0);
    ASSERT_TRUE(r);
    EXPECT_EQ(bytesOf(r->bytes), req);
    EXPECT_EQ(f.buffered(), 0u);
    EXPECT_FALSE(f.pop(t0));
}

TEST(RequestFramer, DropsBytesInFrontOfTheSyncWord) {
    RequestFramer f;
    const auto req = request(sim::order::CcdInfo);
    push(f, {0xFF, 0x55, 0x00, 0x00, 0xAA, 0x00}, t0);
    EXPECT_FALSE(f.pop(t0));
    EXPECT_EQ(f.buffered(), 1u) << "a lone 00 waits for its partner";
    push(f, {req.begin() + 1, req.end()}, t0);
    const auto r = f.pop(t0);
    ASSERT_TRUE(r);
    EXPECT_EQ(bytesOf(r->bytes), req);
    EXPECT_EQ(f.droppedBytes(), 5u);
}

TEST(RequestFramer, DropsARequestLeftIncompleteLongerThanTheStaleLimit) {
    RequestFramer f(0, 200ms);
    const auto stale = request(sim::order::ReadRam);
    push(f, {stale.begin(), stale.begin() + 20}, t0);
    EXPECT_FALSE(f.pop(t0 + 200ms));
    EXPECT_EQ(f.buffered(), 20u) << "not stale at the limit itself";
    ASSERT_TRUE(f.staleAt());
    EXPECT_EQ(*f.staleAt(), t0 + 200ms);

    const auto fresh = request(sim::order::Echo);
    push(f, fresh, t0 + 201ms);
    const auto r = f.pop(t0 + 201ms);
    ASSERT_TRUE(r);
    EXPECT_EQ(bytesOf(r->bytes), fresh);
    EXPECT_EQ(f.droppedBytes(), 20u);
    EXPECT_FALSE(f.staleAt());
}

TEST(RequestFramer, ARequestCountsWhenItsLastByteIsThroughTheLine) {
    const auto req = request(sim::order::Echo);
    auto usAfterT0 = [](const RequestFramer::Request &r) {
        return static_cast<double>(
            std::chrono::duration_cast<std::chrono::microseconds>(r.receivedAt - t0).count());
    };
    {
        RequestFramer unpaced; // no line rate: when the last byte arrives
        push(unpaced, {req.begin(), req.begin() + 10}, t0);
        push(unpaced, {req.begin() + 10, req.end()}, t0 + 5ms);
        EXPECT_EQ(usAfterT0(unpaced.pop(t0 + 5ms).value()), 5000.0);
    }
    {
        RequestFramer line(1920); // 36 byte times after the first byte; a burst one by one
        push(line, concat(req, request(sim::order::Frame)), t0);
        EXPECT_NEAR(usAfterT0(line.pop(t0).value()), 36e6 / 1920, 2.0);
        EXPECT_NEAR(usAfterT0(line.pop(t0).value()), 72e6 / 1920, 2.0);
    }
    {
        RequestFramer line(1920); // a late byte counts from its own arrival
        push(line, {req.begin(), req.begin() + 35}, t0);
        push(line, {req.back()}, t0 + 100ms);
        EXPECT_NEAR(usAfterT0(line.pop(t0 + 100ms).value()), 100000 + 1e6 / 1920, 2.0);
    }
}

// Line times are counted from the start of a run of back-to-back bytes, not added up byte by
// byte: 1/1920 s is 520833.3 ns, and a run of 1000 requests would drift by 12 us if each byte's
// time were rounded on its own.
TEST(RequestFramer, ALongBurstKeepsTheExactLineTimeOfEveryRequest) {
    RequestFramer line(1920, std::chrono::hours(1));
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < 1000; ++i) {
        const auto req = request(sim::order::Echo);
        burst.insert(burst.end(), req.begin(), req.end());
    }
    push(line, burst, t0);
    for (int i = 1; i <= 1000; ++i) {
        const auto r = line.pop(t0);
        ASSERT_TRUE(r) << i;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(r->receivedAt - t0);
        EXPECT_NEAR(static_cast<double>(ns.count()), i * 36 * 1e9 / 1920, 1.0) << i;
    }
}

TEST(RequestFramer, LineTimeIsRoundedUpToTheNanosecond) {
    EXPECT_EQ(sim::lineTime(0, 1920), std::chrono::nanoseconds(0));
    EXPECT_EQ(sim::lineTime(1, 1920), std::chrono::nanoseconds(520834));
    EXPECT_EQ(sim::lineTime(3, 1920), std::chrono::nanoseconds(1562500));
    EXPECT_EQ(sim::lineTime(36, 1920), std::chrono::nanoseconds(18750000));
    EXPECT_EQ(sim::lineTime(1000, 0), std::chrono::nanoseconds(0));
}
