// The event log as a file: its header and lines with the zone's offset and
// empty fields, a file it replaces, a folder it cannot write, a disk that
// fills part-way (in a child process under a file size limit), and the
// status bar's excursion text.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include <QTemporaryDir>

#include "limits/event_log.h"
#include "limits/supervisor.h"
#include "tests/support/full_disk.h"

namespace {

using limits::EventKind;
using limits::LimitEvent;

// Central European time, with its summer time, whatever the machine's zone.
class EventLog : public testing::Test {
  protected:
    void SetUp() override {
        if (const char *zone = std::getenv("TZ"))
            oldZone_ = zone;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override {
        oldZone_ ? setenv("TZ", oldZone_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    std::string path(const char *name) const { return dir_.filePath(name).toStdString(); }

    // A UTC time of day on a day of 2026, plus milliseconds.
    static stream::Clock::time_point utc(int month, int day, int h, int m, int s, int ms) {
        std::tm tm{};
        tm.tm_year = 126, tm.tm_mon = month - 1, tm.tm_mday = day;
        tm.tm_hour = h, tm.tm_min = m, tm.tm_sec = s;
        return stream::Clock::from_time_t(timegm(&tm)) + std::chrono::milliseconds(ms);
    }

    static std::string contents(const std::string &file) {
        std::ifstream in(file);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

  private:
    QTemporaryDir dir_;
    std::optional<std::string> oldZone_;
};

LimitEvent event(stream::Clock::time_point time, EventKind kind) {
    return LimitEvent{time, kind, {}, {}, {}, {}, {}};
}

TEST_F(EventLog, WritesTheHeaderAndOneLinePerEventWithEmptyFieldsWhereNoValueIs) {
    const std::string file = path("events.csv");
    std::ofstream(file) << std::string(2000, 'x') << '\n'; // longer than the new log
    LimitEvent out = event(utc(12, 7, 12, 5, 1, 123), EventKind::OutOfTolerance);
    out.mvalue = 640, out.lower = 412, out.upper = 612;
    LimitEvent back = event(utc(7, 1, 10, 0, 0, 7), EventKind::BackInTolerance);
    back.mvalue = 412, back.lower = 412, back.upper = 612, back.durationMs = 90061,
    back.extreme = 0;
    limits::EventLog log;
    ASSERT_TRUE(log.open(file)) << log.reason();
    for (const LimitEvent &e : {out, back, event(utc(1, 2, 23, 30, 0, 999), EventKind::NoAnswer),
                                event(utc(1, 2, 23, 30, 1, 0), EventKind::AnsweringAgain),
                                event(utc(1, 2, 23, 30, 2, 50), EventKind::PortLost),
                                event(utc(1, 2, 23, 30, 3, 500), EventKind::PortBack)})
        EXPECT_TRUE(log.write(e));
    EXPECT_EQ(contents(file),
              "time,kind,Mvalue,lower,upper,duration_ms,extreme\n"
              "2026-12-07T13:05:01.123+01:00,out of tolerance,640,412,612,,\n"
              "2026-07-01T12:00:00.007+02:00,back in tolerance,412,412,612,90061,0\n"
              "2026-01-03T00:30:00.999+01:00,no answer,,,,,\n"
              "2026-01-03T00:30:01.000+01:00,answering again,,,,,\n"
              "2026-01-03T00:30:02.050+01:00,port lost,,,,,\n"
              "2026-01-03T00:30:03.500+01:00,port back,,,,,\n");

    limits::EventLog nowhere;
    EXPECT_FALSE(nowhere.open(path("gone/events.csv")));
    EXPECT_EQ(nowhere.reason(), std::strerror(ENOENT));
    EXPECT_FALSE(nowhere.write(out));
}

TEST_F(EventLog, SaysHowManyExcursionsAndWhenTheLastWas) {
    const auto last = utc(12, 7, 11, 4, 31, 900); // 12:04:31 in Central Europe
    EXPECT_EQ(limits::excursionsText(0, std::nullopt), "no excursions");
    EXPECT_EQ(limits::excursionsText(1, last), "1 excursion, last 12:04:31");
    EXPECT_EQ(limits::excursionsText(3, last), "3 excursions, last 12:04:31");
}

// The disk fills in the middle of the third event's line: that line and
// every later one fail with the reason and leave the file at its last whole
// line; once there is room again the next event is written whole.
TEST_F(EventLog, ADiskThatFillsPartWayKeepsWholeLinesAndSaysWhy) {
    const std::string file = path("events.csv");
    LimitEvent out = event(utc(12, 7, 12, 5, 1, 123), EventKind::OutOfTolerance);
    out.mvalue = 640, out.lower = 412, out.upper = 612;
    const std::string header = limits::eventLogHeader(), line = limits::eventLine(out);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        std::string said; // each write's outcome: "ok" or its reason
        limits::EventLog log;
        {
            const FullDisk full(header.size() + line.size() * 5 / 2);
            said += log.open(file) ? "ok" : log.reason();
            for (int i = 0; i < 4; ++i)
                said += ";" + (log.write(out) ? std::string("ok") : log.reason());
        }
        said += ";" + (log.write(out) ? std::string("ok") : log.reason());
        const bool sent =
            write(pipeEnds[1], said.data(), said.size()) == static_cast<ssize_t>(said.size());
        _exit(sent ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string tooLarge = std::strerror(EFBIG);
    EXPECT_EQ(said, "ok;ok;ok;" + tooLarge + ";" + tooLarge + ";ok");
    EXPECT_EQ(contents(file), header + line + line + line);
}

} // namespace
