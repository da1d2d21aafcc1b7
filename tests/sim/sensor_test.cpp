#include "sim/sensor.h"

#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace simtest;
using sim::Sensor;
using sim::Words;
namespace order = sim::order;
namespace param = sim::param;
namespace frame = sim::frame;

namespace {

Words wordsOf(const std::vector<std::uint8_t> &reply) {
    sim::Telegram t{};
    std::copy_n(reply.begin(), std::min(reply.size(), t.size()), t.begin());
    return sim::dataWords(t);
}

std::vector<std::uint8_t> ask(Sensor &s, std::uint16_t code, const Words &words = {}) {
    return s.handle(sim::makeRequest(code, words)).bytes;
}

Words frameOf(Sensor &s) {
    return wordsOf(ask(s, order::Frame));
}

Words with(Words w, std::size_t index, std::uint16_t value) {
    w[index] = value;
    return w;
}

Sensor sensorWith(std::size_t index, std::uint16_t value, std::uint16_t ccdType = 1) {
    sim::SensorConfig c;
    c.ccdType = ccdType;
    c.eeprom = with(sim::defaultParameters(), index, value);
    return Sensor(c);
}

// Advances until the object lies wholly inside the line, well away from its ends.
Words frameWithObjectInside(Sensor &s) {
    for (int i = 0; i < 2000; ++i) {
        Words f = frameOf(s);
        if (f[frame::edcnt] == 2 && f[frame::Ledge] > 200 && f[frame::Redge] < s.pixels() - 200)
            return f;
    }
    ADD_FAILURE() << "object never inside the line";
    return {};
}

void expectHead(const std::vector<std::uint8_t> &reply, std::uint16_t echo) {
    ASSERT_EQ(reply.size(), 36u);
    EXPECT_EQ(sim::getWord(reply.data()), 0x00AA);
    EXPECT_EQ(sim::getWord(reply.data() + 2), echo);
}

} // namespace

TEST(SensorParameters, RamAndEepromStartWithTheDefaultsSentHighByteFirst) {
    Sensor s;
    const auto reply = ask(s, order::ReadRam);
    expectHead(reply, 2);
    const std::vector<std::uint8_t> head{0x01, 0xF4, 0x00, 0x00, 0x02, 0x00, 0x00, 0x40};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), reply.begin() + 4));
    const Words expected{500, 0, 512, 64, 1, 1, 1, 1024, 512, 100, 1, 1, 0, 1, 0, 1000};
    EXPECT_EQ(wordsOf(reply), expected);
    expectHead(ask(s, order::ReadEeprom), 4);
    EXPECT_EQ(wordsOf(ask(s, order::ReadEeprom)), expected);
}

TEST(SensorParameters, WritesAreSilentAndEachSetReadsBackItsOwnValues) {
    Sensor s;
    Words saved{};
    int saves = 0;
    s.onEepromWritten([&](const Words &w) {
        saved = w;
        ++saves;
    });
    Words ram{};
    for (std::size_t i = 0; i < ram.size(); ++i)
        ram[i] = static_cast<std::uint16_t>(0xFF00 + i);
    const Words eeprom = with(sim::defaultParameters(), param::vThd, 300);

    EXPECT_TRUE(ask(s, order::WriteRam, ram).empty());
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(ask(s, order::WriteEeprom, eeprom).empty());
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(saved, eeprom);
    EXPECT_EQ(wordsOf(ask(s, order::ReadRam)), ram);
    EXPECT_EQ(wordsOf(ask(s, order::ReadEeprom)), eeprom);
}

TEST(SensorOrders, EchoReturnsTheRequestWords) {
    Sensor s;
    Words w{};
    for (std::size_t i = 0; i < w.size(); ++i)
        w[i] = static_cast<std::uint16_t>(i * 4097);
    const auto reply = ask(s, order::Echo, w);
    expectHead(reply, 5);
    EXPECT_EQ(wordsOf(reply), w);
}

TEST(SensorOrders, FirmwareIs72BytesOfZeroTerminatedTextInTheLowBytes) {
    Sensor s;
    const auto reply = ask(s, order::Firmware);
    ASSERT_EQ(reply.size(), 72u);
    std::string text;
    for (std::size_t i = 0; i < 36 && reply[2 * i + 1] != 0; ++i)
        text += static_cast<char>(reply[2 * i + 1]);
    EXPECT_EQ(text, "V-EXA-TB sim firmware 1.0");
    for (std::size_t i = 0; i < 36; ++i)
        EXPECT_EQ(reply[2 * i], 0) << "high byte of word " << i;
}

TEST(SensorOrders, UnknownOrdersAreNotAnswered) {
    Sensor s;
    for (std::uint16_t code : {0, 12, 0x55, 0x0108, 0xFFFF})
        EXPECT_TRUE(ask(s, code).empty()) << "order " << code;
}

TEST(SensorOrders, TeachStoresTheCurrentMeasuredValueAsTeachValueInRam) {
    Sensor s = sensorWith(param::eMode, 0);
    const Words f = frameWithObjectInside(s);
    ASSERT_NE(f[frame::Mvalue], 512);
    expectHead(ask(s, order::Teach), 6);
    EXPECT_EQ(wordsOf(ask(s, order::ReadRam))[param::tVal], f[frame::Mvalue]);
    EXPECT_EQ(frameOf(s)[frame::tVal], f[frame::Mvalue]);
    EXPECT_EQ(s.eeprom()[param::tVal], 512);
}

TEST(SensorOrders, MaxAndMinFollowTheMeasuredValueUntilAReset) {
    Sensor s;
    std::uint16_t hi = 0, lo = 1023;
    for (int i = 0; i < 400; ++i) {
        const Words f = frameOf(s);
        if (f[frame::edcnt] > 0) {
            hi = std::max(hi, f[frame::Mvalue]);
            lo = std::min(lo, f[frame::Mvalue]);
        }
        ASSERT_EQ(f[frame::anaMax], hi) << "frame " << i;
        ASSERT_EQ(f[frame::anaMin], lo) << "frame " << i;
    }
    EXPECT_GT(hi - lo, 300) << "the object should travel across the line";

    expectHead(ask(s, order::ResetMaxMin), 11);
    const Words f = frameOf(s);
    ASSERT_GE(f[frame::edcnt], 1);
    EXPECT_EQ(f[frame::anaMax], f[frame::Mvalue]);
    EXPECT_EQ(f[frame::anaMin], f[frame::Mvalue]);
}

TEST(SensorOrders, WithoutAnyMeasuredValueMaxIs0AndMinIs1023) {
    Sensor s = sensorWith(param::vThd, 0); // nothing lies below 0: no edge
    const Words f = frameOf(s);
    EXPECT_EQ(f[frame::edcnt], 0);
    EXPECT_EQ(f[frame::Mvalue], 0);
    EXPECT_EQ(f[frame::anaMax], 0);
    EXPECT_EQ(f[frame::anaMin], 1023);
}

TEST(SensorOrders, CcdInfoReportsTypePixelCountAndResolution) {
    const struct {
        std::uint16_t type, resolution, pixels;
    } cases[] = {{1, 250, 1024}, {2, 250, 1024}, {2, 750, 1024}, {3, 250, 512}};
    for (const auto &c : cases) {
        sim::SensorConfig config;
        config.ccdType = c.type;
        config.resolution = c.resolution;
        Sensor s(config);
        const auto reply = ask(s, order::CcdInfo);
        expectHead(reply, 10);
        const Words w = wordsOf(reply);
        EXPECT_EQ(w[0], c.type);
        EXPECT_EQ(w[1], c.pixels);
        EXPECT_EQ(w[2], c.resolution);
        EXPECT_EQ(s.line().samples().size(), c.pixels);
    }
}

TEST(SensorFrame, CarriesTeachValueAndToleranceFromRamAndIgnoresTheRequestWords) {
    Words ram = with(sim::defaultParameters(), param::tVal, 321);
    ram[param::tTol] = 45;
    Sensor s, other;
    ask(s, order::WriteRam, ram);
    ask(other, order::WriteRam, ram);
    const auto reply = ask(s, order::Frame, Words{7, 7, 7, 7, 7, 7, 7, 7, 7, 7});
    expectHead(reply, 8);
    const Words f = wordsOf(reply);
    EXPECT_EQ(f[frame::tVal], 321);
    EXPECT_EQ(f[frame::tTol], 45);
    EXPECT_EQ(f[frame::in0], 0);
    EXPECT_EQ(f[13] | f[14] | f[15], 0);
    EXPECT_EQ(reply, ask(other, order::Frame, ram));
}

TEST(SensorFrame, EdgesLieInsideTheWindowAndInOrder) {
    for (std::uint16_t ccdType : {1, 3}) {
        const struct {
            std::uint16_t beg, end;
        } windows[] = {{1, 1024}, {100, 400}, {300, 900}, {50, 60}, {700, 700}};
        for (const auto &win : windows) {
            Sensor s = sensorWith(param::eBeg, win.beg, ccdType);
            ask(s, order::WriteRam, with(s.ram(), param::eEnd, win.end));
            const unsigned last = std::min<unsigned>(win.end, s.pixels());
            for (int i = 0; i < 250; ++i) {
                const Words f = frameOf(s);
                SCOPED_TRACE(testing::Message() << "type " << ccdType << " window " << win.beg
                                                << ".." << win.end << " frame " << i);
                const std::uint16_t n = f[frame::edcnt], L = f[frame::Ledge], R = f[frame::Redge];
                ASSERT_LE(n, 2);
                if (n == 0) {
                    ASSERT_EQ(L | R, 0);
                } else {
                    ASSERT_GE(L, win.beg);
                    ASSERT_LE(R, last);
                    ASSERT_EQ(n == 2, L < R);
                }
                ASSERT_EQ(f[frame::pixdelta], n == 2 ? R - L : 0);
            }
        }
    }
}

TEST(SensorFrame, EdgesFindTheObjectAsItMovesAFewPixelsPerFrame) {
    Sensor s;
    int inside = 0, moved = 0;
    Words prev{};
    for (int i = 0; i < 300; ++i) {
        const Words f = frameOf(s);
        const auto &line = s.line();
        if (line.objectLeft() < 5 || line.objectRight() > s.pixels() - 5)
            continue;
        ++inside;
        ASSERT_EQ(f[frame::edcnt], 2) << "frame " << i;
        // Pixel p spans p-1..p: the first dark pixel is the one past the border.
        EXPECT_NEAR(f[frame::Ledge], line.objectLeft() + 1, 3.0);
        EXPECT_NEAR(f[frame::Redge], line.objectRight() + 1, 3.0);
        const int step =
            (f[frame::Ledge] + f[frame::Redge]) - (prev[frame::Ledge] + prev[frame::Redge]);
        if (prev[frame::edcnt] == 2 && step != 0 && std::abs(step) <= 16)
            ++moved;
        prev = f;
    }
    EXPECT_GT(inside, 100);
    EXPECT_GT(moved, inside / 2);
}

TEST(SensorFrame, EdgeModeChoosesTheMeasuredValue) {
    for (std::uint16_t mode : {0, 1, 2, 3, 4}) {
        Sensor s = sensorWith(param::eMode, mode);
        const Words f = frameWithObjectInside(s);
        const int L = f[frame::Ledge], R = f[frame::Redge];
        const int expected = mode == 0 ? L : mode == 1 ? R : mode == 2 ? R - L : (L + R) / 2;
        EXPECT_EQ(f[frame::Mvalue], expected) << "eMode " << mode;
    }
}

TEST(SensorFrame, AWindowCuttingTheObjectLeavesOneEdgeAndTellsWhereTheBackgroundIs) {
    Sensor s;
    const Words f = frameWithObjectInside(s);
    const auto middle = static_cast<std::uint16_t>((f[frame::Ledge] + f[frame::Redge]) / 2);

    ask(s, order::WriteRam, with(sim::defaultParameters(), param::eBeg, middle));
    Words g = frameOf(s);
    ASSERT_EQ(g[frame::edcnt], 1);
    EXPECT_EQ(g[frame::Ledge], g[frame::Redge]);
    EXPECT_NEAR(g[frame::Ledge], f[frame::Redge], 12);
    EXPECT_LT(g[frame::mvstart], g[frame::mvend]) << "dark at the window start, bright at its end";

    ask(s, order::WriteRam, with(sim::defaultParameters(), param::eEnd, middle));
    g = frameOf(s);
    ASSERT_EQ(g[frame::edcnt], 1);
    EXPECT_NEAR(g[frame::Ledge], f[frame::Ledge], 12);
    EXPECT_GT(g[frame::mvstart], g[frame::mvend]);
}

TEST(SensorFrame, PolarityZeroTakesTheBrightPartForTheObject) {
    Sensor dark, bright = sensorWith(param::polarity, 0);
    const Words d = frameWithObjectInside(dark);
    Words b{};
    while (bright.line().exposure() < dark.line().exposure())
        b = frameOf(bright);
    // Bright from the line's start to the dark object and again after it: the only entry into
    // a bright part is the dark object's right edge.
    EXPECT_EQ(b[frame::edcnt], 1);
    EXPECT_EQ(b[frame::Ledge], d[frame::Redge]);
}

TEST(SensorFrame, WindowStartFollowsTheCcdMode) {
    Sensor s = sensorWith(param::ccdMode, 1);
    ask(s, order::WriteRam, with(s.ram(), param::pStart, 333));
    EXPECT_EQ(frameOf(s)[frame::pix1], 333);

    ask(s, order::WriteRam, with(with(s.ram(), param::ccdMode, 2), param::eMode, 2));
    for (int i = 0; i < 300; ++i) {
        const Words f = frameOf(s);
        ASSERT_GE(f[frame::pix1], 1);
        ASSERT_LE(f[frame::pix1], 1024 - 255);
        if (f[frame::edcnt] == 2) {
            const int centre = (f[frame::Ledge] + f[frame::Redge]) / 2;
            ASSERT_EQ(f[frame::pix1], std::clamp(centre - 128, 1, 1024 - 255)) << "frame " << i;
        }
    }
    ask(s, order::WriteRam, with(s.ram(), param::ccdMode, 0));
    EXPECT_EQ(frameOf(s)[frame::pix1], 1);
}

TEST(SensorVideo, BlocksAre128BytesOfTheRequestedQuarterWithoutHeader) {
    Sensor s;
    frameOf(s);
    const std::vector<std::uint16_t> all = s.videoSamples();
    ASSERT_EQ(all.size(), 256u);
    for (std::uint16_t first : {0, 64, 128, 192}) {
        const auto reply = ask(s, order::Video, Words{first, first == 192});
        ASSERT_EQ(reply.size(), 128u);
        for (std::size_t i = 0; i < 64; ++i)
            ASSERT_EQ(sim::getWord(reply.data() + 2 * i), all[first + i]) << first + i;
    }
    EXPECT_LE(*std::max_element(all.begin(), all.end()), 1023);
    EXPECT_EQ(ask(s, order::Video), ask(s, order::Video)) << "same line until the next frame";
}

TEST(SensorVideo, SamplesFollowTheCcdMode) {
    struct Case {
        std::uint16_t ccdType, ccdMode, eMode, pStart;
        int step;  // full line: every step-th pixel
        int start; // window: first pixel (0: the frame's pix1)
    };
    const Case cases[] = {
        {1, 0, 1, 1, 4, -1},    {3, 0, 1, 1, 2, -1}, // full line of 1024 and of 512 pixels
        {1, 1, 1, 100, 0, 100},                      // window from pStart
        {1, 2, 2, 1, 0, 0},                          // window the sensor put around the object
        {1, 2, 1, 1, 4, -1},                         // edge mode without a window: full line
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.ccdType << " mode " << c.ccdMode);
        Sensor s = sensorWith(param::ccdMode, c.ccdMode, c.ccdType);
        ask(s, order::WriteRam,
            with(with(s.ram(), param::eMode, c.eMode), param::pStart, c.pStart));
        const Words f = frameWithObjectInside(s);
        const auto all = s.videoSamples();
        const auto &line = s.line().samples();
        const int start = c.start == 0 ? f[frame::pix1] : c.start;
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(all[i], c.step ? line[c.step * i] : line[start + i - 1]) << i;
    }
}

TEST(SensorVideo, AWindowPastTheLineEndIsDark) {
    Sensor s = sensorWith(param::ccdMode, 1);
    ask(s, order::WriteRam, with(s.ram(), param::pStart, 1000));
    const auto all = s.videoSamples();
    EXPECT_EQ(all[24], s.line().samples()[1023]);
    EXPECT_TRUE(std::all_of(all.begin() + 25, all.end(), [](auto v) { return v == 0; }));
}

TEST(SensorFaults, EachFaultChangesOnlyTheNamedOrders) {
    sim::SensorConfig c;
    c.faults.noReply = {5, 10};
    c.faults.badHeader = {4};
    c.faults.badEcho = {2};
    c.faults.cut[7] = 40;
    c.faults.extra[9] = 3;
    c.faults.garbage = {11, 1};
    Sensor s(c), plain;

    EXPECT_TRUE(ask(s, order::Echo).empty());
    EXPECT_TRUE(ask(s, order::CcdInfo).empty());

    const auto header = ask(s, order::ReadEeprom);
    EXPECT_EQ(std::vector<std::uint8_t>(header.begin(), header.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x55, 0x00, 0x04}));

    const auto echo = ask(s, order::ReadRam);
    EXPECT_EQ(sim::getWord(echo.data()), 0x00AA);
    EXPECT_EQ(sim::getWord(echo.data() + 2), 3);
    EXPECT_EQ(wordsOf(echo), s.ram()) << "the data words stay right";

    const auto cut = ask(s, order::Firmware), full = ask(plain, order::Firmware);
    ASSERT_EQ(cut.size(), 40u);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), full.begin()));

    const auto extra = ask(s, order::Video);
    ASSERT_EQ(extra.size(), 131u);
    EXPECT_TRUE(std::equal(extra.begin(), extra.begin() + 128, ask(plain, order::Video).begin()));
    EXPECT_EQ(extra[128] & extra[129] & extra[130], sim::kExtraByte);

    const auto garbage = ask(s, order::ResetMaxMin);
    ASSERT_EQ(garbage.size(), 36u);
    EXPECT_NE(garbage, ask(plain, order::ResetMaxMin));
    EXPECT_NE(ask(s, order::ResetMaxMin), garbage) << "fresh garbage every time";
    EXPECT_EQ(ask(s, order::WriteRam).size(), 36u) << "garbage even where no reply is due";

    expectHead(ask(s, order::Teach), 6);
}

TEST(SensorFaults, DelayPerOrderOverridesTheCommonDelay) {
    sim::SensorConfig c;
    c.faults.delayMs = 100;
    c.faults.delayMsByOrder[9] = 700;
    Sensor s(c), plain;
    EXPECT_EQ(s.handle(sim::makeRequest(order::Echo)).delay, 100ms);
    EXPECT_EQ(s.handle(sim::makeRequest(order::Video)).delay, 700ms);
    EXPECT_EQ(plain.handle(sim::makeRequest(order::Echo)).delay, 0ms);
}

TEST(SensorFaults, HangUpComesWithTheNthFrameWhichIsStillAnswered) {
    sim::SensorConfig c;
    c.faults.hangupAfterFrames = 2;
    Sensor s(c);
    EXPECT_FALSE(s.handle(sim::makeRequest(order::Frame)).hangUp);
    EXPECT_FALSE(s.handle(sim::makeRequest(order::Echo)).hangUp);
    const sim::Reply second = s.handle(sim::makeRequest(order::Frame));
    EXPECT_TRUE(second.hangUp);
    EXPECT_EQ(second.bytes.size(), 36u);
}

TEST(SensorExchange, ResynchronisesAfterGarbageAndJoinsSplitRequests) {
    Sensor s;
    const auto req = request(order::ReadEeprom);
    std::vector<std::uint8_t> in{0x12, 0x00, 0xAA, 0x55, 0x00, 0x00};
    in.insert(in.end(), req.begin(), req.begin() + 20);
    EXPECT_TRUE(s.exchange(in).empty());
    const auto out = s.exchange({req.begin() + 20, req.end()});
    expectHead(out, 4);
}
