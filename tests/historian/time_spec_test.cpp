// The times a person types at the queries, in Berlin's zone on the day the
// clocks went forward (2026-03-29, 02:00 CET to 03:00 CEST), "now" being
// noon that day: each row is a rule of the time specs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "historian/time_spec.h"

using namespace historian;

namespace {

// The zone for the test's life, and back afterwards.
class BerlinTime : public testing::Test {
  protected:
    void SetUp() override {
        const char *before = std::getenv("TZ");
        hadZone_ = before != nullptr;
        zone_ = before ? before : "";
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        if (hadZone_)
            setenv("TZ", zone_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    bool hadZone_ = false;
    std::string zone_;
};

// "2026-03-29T10:00:00.000" in UTC, by the C library's own timegm.
Millis utc(const char *text) {
    std::tm fields{};
    int millis = 0;
    std::sscanf(text, "%d-%d-%dT%d:%d:%d.%d", &fields.tm_year, &fields.tm_mon, &fields.tm_mday,
                &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &millis);
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    return static_cast<Millis>(timegm(&fields)) * 1000 + millis;
}

const char *const NOON = "2026-03-29T10:00:00.000"; // 12:00 CEST

} // namespace

TEST_F(BerlinTime, TypedTimesNameTheirMomentAcrossTheClockChange) {
    struct Case {
        const char *typed, *utc;
    };
    const Case cases[] = {
        {"now", NOON},
        {"-8h", "2026-03-29T02:00:00.000"},
        {"-30m", "2026-03-29T09:30:00.000"},
        {"-7d", "2026-03-22T10:00:00.000"},
        {"-90s", "2026-03-29T09:58:30.000"},
        {"today 06:00", "2026-03-29T04:00:00.000"},     // summer time already
        {"today 01:00", "2026-03-29T00:00:00.000"},     // still winter time
        {"yesterday 22:00", "2026-03-28T21:00:00.000"}, // winter time
        {"22:00", "2026-03-29T20:00:00.000"},
        {"22:00:30", "2026-03-29T20:00:30.000"},
        {"2026-12-08T06:00", "2026-12-08T05:00:00.000"},
        {"2026-12-08 06:00:05", "2026-12-08T05:00:05.000"},
        {"2026-07-08T06:00", "2026-07-08T04:00:00.000"},
        {"2026-12-08T06:00:01.25Z", "2026-12-08T06:00:01.250"},
        {"2026-12-08T06:00:00+01:00", "2026-12-08T05:00:00.000"},
        {"2026-12-08T06:00:00.5-0130", "2026-12-08T07:30:00.500"},
        {"2026-12-08T01:12:20.248+00:00", "2026-12-08T01:12:20.248"},
        {"2026-10-25T02:30",
         "2026-10-25T00:30:00.000"}, // the hour that comes twice: its first pass
        {"2026-12-08", "2026-12-07T23:00:00.000"},
    };
    for (const Case &c : cases) {
        std::string problem;
        const std::optional<Millis> at = parseTime(c.typed, utc(NOON), problem);
        ASSERT_TRUE(at) << c.typed << ": " << problem;
        EXPECT_EQ(*at, utc(c.utc)) << c.typed << " gave " << formatTime(*at);
    }
}

TEST_F(BerlinTime, TimesThatAreNoneAreRefusedSayingWhy) {
    struct Case {
        const char *typed, *said;
    };
    const Case cases[] = {
        {"today 02:30", "the clocks skip it"},
        {"2026-03-29T02:30", "the clocks skip it"},
        {"2026-02-30T06:00", "not a date and time on the calendar"},
        {"2026-12-08T24:00", "not a date and time on the calendar"},
        {"25:00", "not a time of day"},
        {"yesterday", "is not a time: give e.g."},
        {"-8x", "is not a time: give e.g."},
        {"", "is not a time: give e.g."},
    };
    for (const Case &c : cases) {
        std::string problem;
        EXPECT_FALSE(parseTime(c.typed, utc(NOON), problem)) << c.typed;
        EXPECT_NE(problem.find(c.said), std::string::npos) << c.typed << ": " << problem;
    }
}

TEST_F(BerlinTime, ASpanWhoseStartLiesAfterItsEndIsRefused) {
    Span span;
    std::string problem;
    EXPECT_TRUE(parseSpan("-8h", "now", utc(NOON), span, problem)) << problem;
    EXPECT_EQ(span.to - span.from, 8 * 3600000);
    EXPECT_TRUE(parseSpan("now", "now", utc(NOON), span, problem)) << problem;
    EXPECT_FALSE(parseSpan("now", "-1h", utc(NOON), span, problem));
    EXPECT_EQ(problem, "--from 2026-03-29T12:00:00.000+02:00 lies after --to "
                       "2026-03-29T11:00:00.000+02:00");
    EXPECT_FALSE(parseSpan("-1h", "soon", utc(NOON), span, problem));
    EXPECT_EQ(problem.rfind("--to: 'soon' is not a time", 0), 0u) << problem;
}

TEST_F(BerlinTime, TimesAreWrittenLocallyWithMillisecondsAndOffset) {
    struct Case {
        const char *utc, *written;
    };
    const Case cases[] = {
        {NOON, "2026-03-29T12:00:00.000+02:00"},
        {"2026-12-08T05:00:00.007", "2026-12-08T06:00:00.007+01:00"},
        {"2026-10-25T00:30:00.000", "2026-10-25T02:30:00.000+02:00"},
        {"2026-10-25T01:30:00.000", "2026-10-25T02:30:00.000+01:00"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatTime(utc(c.utc)), c.written);
}

TEST(Durations, AreWrittenAsThePlantReadsThem) {
    struct Case {
        Millis span;
        const char *written;
    };
    const Case cases[] = {{0, "0 s"},
                          {850, "850 ms"},
                          {12000, "12 s"},
                          {62000, "1 min 02 s"},
                          {3723000, "1 h 02 min 03 s"},
                          {(2 * 86400 + 3 * 3600 + 4 * 60) * 1000LL, "2 d 03 h 04 min"}};
    for (const Case &c : cases)
        EXPECT_EQ(formatDuration(c.span), c.written);
    EXPECT_EQ(grouped(1234567), "1,234,567");
    EXPECT_EQ(grouped(999), "999");
}
