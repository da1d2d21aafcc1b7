// The recording's CSV lines: what is written, and what the reader takes and
// refuses.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "record/frame_csv.h"

namespace {

using record::FrameRecord;
using record::FrameValues;
using record::VideoRecord;

TEST(FrameCsv, HeadersNameTheColumnsInWordOrder) {
    EXPECT_EQ(record::frameHeader(), "time,Ledge,Redge,Mvalue,tVal,tTol,pix1,edcnt,mvstart,mvend,"
                                     "pixdelta,anaMax,anaMin,in0");
    const std::string video = record::videoHeader();
    EXPECT_EQ(video.substr(0, 17), "time,x0,x1,x2,x3,");
    EXPECT_NE(video.find(",x255,y0,y1,"), std::string::npos);
    EXPECT_EQ(video.substr(video.size() - 10), ",y254,y255");
}

TEST(FrameCsv, AFrameLineIsTheTimeAndTheThirteenValuesInWordOrder) {
    const FrameValues v{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 65535, 0};
    std::string line;
    record::appendFrameLine(line, "2026-12-07T13:05:01.123", v);
    EXPECT_EQ(line, "2026-12-07T13:05:01.123,1,2,3,4,5,6,7,8,9,10,11,65535,0\n");

    FrameRecord back;
    std::string problem;
    ASSERT_TRUE(record::parseFrameLine(line, back, problem)) << problem;
    EXPECT_EQ(back.time, "2026-12-07T13:05:01.123");
    EXPECT_EQ(back.values, v);
}

TEST(FrameCsv, AVideoLineHoldsTheXValuesThenTheSamples) {
    std::uint16_t x[256], y[256];
    for (int i = 0; i < 256; ++i) {
        x[i] = static_cast<std::uint16_t>(4 * i);
        y[i] = static_cast<std::uint16_t>(1000 - i);
    }
    std::string line;
    record::appendVideoLine(line, "2026-12-07T13:05:01.123", x, y);
    EXPECT_EQ(line.substr(0, 35), "2026-12-07T13:05:01.123,0,4,8,12,16");
    EXPECT_NE(line.find(",1016,1020,1000,999,"), std::string::npos);

    VideoRecord back;
    std::string problem;
    ASSERT_TRUE(record::parseVideoLine(line, back, problem)) << problem;
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(back.x[i], x[i]);
        EXPECT_EQ(back.y[i], y[i]);
    }
}

TEST(FrameCsv, LocalTimeHasMillisecondsAndNoZone) {
    std::tm local{};
    local.tm_year = 2026 - 1900, local.tm_mon = 11, local.tm_mday = 7;
    local.tm_hour = 13, local.tm_min = 5, local.tm_sec = 1, local.tm_isdst = -1;
    const auto when =
        std::chrono::system_clock::from_time_t(std::mktime(&local)) + std::chrono::milliseconds(23);
    EXPECT_EQ(record::isoLocalTime(when), "2026-12-07T13:05:01.023");
    EXPECT_EQ(record::isoLocalTime(when + std::chrono::milliseconds(1000)),
              "2026-12-07T13:05:02.023");
}

TEST(FrameCsv, TimeWithOffsetNamesTheZonesOffsetInHoursAndMinutes) {
    struct Zone {
        const char *tz;
        const char *offset;
    };
    const char *const before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    for (const Zone zone : {Zone{"UTC0", "+00:00"}, Zone{"CET-1", "+01:00"},
                            Zone{"IST-5:30", "+05:30"}, Zone{"EST5", "-05:00"}}) {
        ::setenv("TZ", zone.tz, 1);
        ::tzset();
        std::tm local{};
        local.tm_year = 2026 - 1900, local.tm_mon = 11, local.tm_mday = 7;
        local.tm_hour = 13, local.tm_min = 5, local.tm_sec = 1, local.tm_isdst = -1;
        const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local)) +
                          std::chrono::milliseconds(23);
        EXPECT_EQ(record::isoLocalTimeWithOffset(when),
                  std::string("2026-12-07T13:05:01.023") + zone.offset)
            << zone.tz;
    }
    if (before)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

struct BadLine {
    const char *line;
    const char *problem; // part of the reason given
};

TEST(FrameCsv, MalformedFrameLinesAreRefusedWithTheirReason) {
    const BadLine cases[] = {
        {"2026-12-07 13:05:01.123,1,2,3,4,5,6,7,8,9,10,11,12,13", "time"},
        {"2026-12-07T13:05:01,1,2,3,4,5,6,7,8,9,10,11,12,13", "time"},
        {"2026-12-07T13:05:01.123,1,2,3,4,5,6,7,8,9,10,11,12", "13 values expected, 12"},
        {"2026-12-07T13:05:01.123,1,2,3,4,5,6,7,8,9,10,11,12,13,14", "more than 13"},
        {"2026-12-07T13:05:01.123,1,2,3,4,5,6,7,8,9,10,11,12,65536", "value 13"},
        {"2026-12-07T13:05:01.123,1,2,3,-4,5,6,7,8,9,10,11,12,13", "value 4"},
        {"2026-12-07T13:05:01.123,1,2,3,4,,6,7,8,9,10,11,12,13", "value 5"},
        {"2026-12-07T13:05:01.123,1,2,3,4,5,6,7,8,9,10,11,12,1 3", "value 13"},
        {"", "time"},
    };
    for (const BadLine &c : cases) {
        FrameRecord out;
        std::string problem;
        EXPECT_FALSE(record::parseFrameLine(c.line, out, problem)) << c.line;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.line << ": " << problem;
    }
}

TEST(FrameCsv, AWindowsLineEndAndAByteOrderMarkAreTaken) {
    FrameRecord out;
    std::string problem;
    EXPECT_TRUE(record::parseFrameLine("2026-12-07T13:05:01.123,1,2,3,4,5,6,7,8,9,10,11,12,13\r\n",
                                       out, problem))
        << problem;
    EXPECT_EQ(out.values[12], 13);
    EXPECT_TRUE(record::isFrameHeader("\xEF\xBB\xBF" + record::frameHeader() + "\r\n"));
    EXPECT_TRUE(record::isVideoHeader(record::videoHeader() + "\n"));
    EXPECT_FALSE(record::isFrameHeader(record::videoHeader()));
    EXPECT_FALSE(record::isVideoHeader(record::frameHeader()));
}

TEST(FrameCsv, TheVideoFileAndTheEventLogLieBesideTheFrameFile) {
    const std::pair<const char *, const char *> cases[] = {
        {"/tmp/vexa-frames-20261207-130501.csv", "/tmp/vexa-frames-20261207-130501-video.csv"},
        {"run.CSV", "run.CSV-video.csv"},
        {"run", "run-video.csv"},
        {".csv", ".csv-video.csv"},
    };
    for (const auto &[frames, video] : cases)
        EXPECT_EQ(record::videoPathFor(frames), video) << frames;
    EXPECT_EQ(record::eventsPathFor("/tmp/run.csv"), "/tmp/run-events.csv");
    EXPECT_EQ(record::eventsPathFor("run"), "run-events.csv");
}

} // namespace
