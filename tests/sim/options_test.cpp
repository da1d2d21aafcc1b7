#include "sim/options.h"

#include <gtest/gtest.h>

TEST(SimOptions, DefaultsAreA19200BaudType1SensorWithoutFaults) {
    sim::Options o;
    EXPECT_EQ(sim::parseOptions({}, o), "");
    EXPECT_EQ(o.baud, 19200u);
    EXPECT_EQ(o.chunk, 1u);
    EXPECT_EQ(o.sensor.ccdType, 1);
    EXPECT_EQ(o.sensor.resolution, 250);
    EXPECT_FALSE(o.once);
    EXPECT_TRUE(o.sensor.faults.noReply.empty());
    EXPECT_EQ(o.sensor.faults.hangupAfterFrames, 0u);
}

TEST(SimOptions, TakesEveryOption) {
    sim::Options o;
    ASSERT_EQ(
        sim::parseOptions({"--link",         "/tmp/x",    "--once",       "--eeprom=/tmp/e.dat",
                           "--ccd-type",     "3",         "--resolution", "750",
                           "--seed",         "42",        "--baud",       "0",
                           "--no-reply",     "5,10",      "--bad-header", "5",
                           "--bad-echo",     "10",        "--delay-ms",   "30",
                           "--delay-ms",     "9:700,8:5", "--cut",        "7:40",
                           "--extra",        "9:1,8:2",   "--garbage",    "2",
                           "--hangup-after", "3",         "--chunk",      "8",
                           "--stats",        "--replay",  "/tmp/r.csv"},
                          o),
        "");
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_TRUE(o.stats);
    EXPECT_TRUE(o.once);
    EXPECT_EQ(o.eeprom, "/tmp/e.dat");
    EXPECT_EQ(o.replay, "/tmp/r.csv");
    EXPECT_EQ(o.sensor.ccdType, 3);
    EXPECT_EQ(o.sensor.resolution, 750);
    EXPECT_EQ(o.sensor.seed, 42u);
    EXPECT_EQ(o.baud, 0u);
    const sim::Faults &f = o.sensor.faults;
    EXPECT_EQ(f.noReply, (std::set<std::uint16_t>{5, 10}));
    EXPECT_EQ(f.badHeader, (std::set<std::uint16_t>{5}));
    EXPECT_EQ(f.badEcho, (std::set<std::uint16_t>{10}));
    EXPECT_EQ(f.delayMs, 30u);
    EXPECT_EQ(f.delayMsByOrder, (std::map<std::uint16_t, unsigned>{{8, 5}, {9, 700}}));
    EXPECT_EQ(f.cut, (std::map<std::uint16_t, std::size_t>{{7, 40}}));
    EXPECT_EQ(f.extra, (std::map<std::uint16_t, std::size_t>{{8, 2}, {9, 1}}));
    EXPECT_EQ(f.garbage, (std::set<std::uint16_t>{2}));
    EXPECT_EQ(f.hangupAfterFrames, 3u);
    EXPECT_EQ(o.chunk, 8u);
    ASSERT_EQ(sim::parseOptions({"--adapter-latency", "16", "--adapter-packet=64"}, o), "");
    EXPECT_EQ(o.adapterLatencyMs, 16u);
    EXPECT_EQ(o.adapterPacket, 64u);
}

TEST(SimOptions, RefusesWhatItCannotUse) {
    const std::vector<std::vector<std::string>> bad = {{"--frobnicate"},
                                                       {"--ccd-type", "4"},
                                                       {"--ccd-type"},
                                                       {"--no-reply", "12"},
                                                       {"--no-reply", "5,"},
                                                       {"--cut", "8"},
                                                       {"--extra", "x:1"},
                                                       {"--baud", "-1"},
                                                       {"--baud", "5"},
                                                       {"--hangup-after", "0"},
                                                       {"--delay-ms", "9:"},
                                                       {"--once=yes"},
                                                       {"--link"},
                                                       {"--resolution", "65536"},
                                                       {"--chunk", "0"},
                                                       {"--chunk", "4097"},
                                                       {"--chunk"},
                                                       {"--replay"},
                                                       {"--adapter-latency", "0"},
                                                       {"--adapter-latency", "256"},
                                                       {"--adapter-packet", "0"}};
    for (const auto &args : bad) {
        sim::Options o;
        EXPECT_NE(sim::parseOptions(args, o), "") << args[0];
    }
}
