// The query commands against an SQLite file filled through the ingest with
// the publisher's own messages (a sensor's status, infos, frames with a gap,
// an excursion, a spell without answer): each command's header and a row,
// the aligned table, and the exit codes and texts for what is refused; then
// the report's own rules (Cp and Cpk, shifts across a change of the clocks).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "broker/messages.h"
#include "historian/ingest.h"
#include "historian/query.h"
#include "historian/report.h"
#include "historian/sqlite_store.h"
#include "historian/time_spec.h"
#include "params/parameter_table.h"

using namespace historian;

namespace {

constexpr Millis T0 = 1796709600000; // 2026-12-08T06:00:00Z

stream::Clock::time_point at(Millis ms) {
    return stream::Clock::time_point(std::chrono::milliseconds(ms));
}

// TZ for the test's life, and back afterwards.
class Zone {
  public:
    explicit Zone(const char *zone) {
        const char *before = std::getenv("TZ");
        had_ = before != nullptr;
        old_ = before ? before : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~Zone() {
        had_ ? setenv("TZ", old_.c_str(), 1) : unsetenv("TZ");
        tzset();
    }

  private:
    bool had_;
    std::string old_;
};

class Queries : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vexa-query-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        Ingest ingest;
        Batch batch;
        const auto take = [&](const std::string &leaf, const std::string &payload) {
            ASSERT_TRUE(ingest.take("vexa-tb/line1/" + leaf, payload, T0, batch))
                << ingest.lastForeign();
        };
        const broker::StatusDetails details{"/dev/ttyUSB0", "vexa-tb-ctl 1.41", "a1", 0, 0, ""};
        take("status", broker::statusJson(broker::State::Online, at(T0 - 60000), details));
        broker::SensorInfo info{"V-EXA-TB 1.4", "TCD1304", 3648, {}};
        info.parameters[TEACH_VALUE_WORD] = 500;
        take("info", broker::infoJson(info, at(T0 - 30000)));
        for (int seq = 1; seq <= 160; seq = seq == 120 ? 150 : seq + 1) {
            stream::Frame frame;
            frame.time = at(T0 + seq * 500);
            frame.words[FRAME_MVALUE] = static_cast<std::uint16_t>(495 + seq % 11);
            frame.words[FRAME_TVAL] = 500;
            frame.words[FRAME_TTOL] = 4;
            take("frame", broker::frameJson(seq, frame));
        }
        limits::LimitEvent out{
            at(T0 + 10000), limits::EventKind::OutOfTolerance, 505, 496, 504, std::nullopt,
            std::nullopt};
        take("event", broker::eventJson(out, "a1-1"));
        limits::LimitEvent back{
            at(T0 + 12000), limits::EventKind::BackInTolerance, 500, 496, 504, 2000, 505};
        take("event", broker::eventJson(back, "a1-2"));
        info.parameters[TEACH_VALUE_WORD] = 505;
        take("info", broker::infoJson(info, at(T0 + 120000)));
        take("status", broker::statusJson(broker::State::NoAnswer, at(T0 + 200000), details));
        take("status", broker::statusJson(broker::State::Online, at(T0 + 260000), details));
        ingest.flush(batch);
        SqliteStore(dir + "/plant.db").append(batch);
        store = std::make_unique<SqliteStore>(dir + "/plant.db", SqliteStore::Access::ReadOnly);
    }
    void TearDown() override {
        store.reset();
        std::filesystem::remove_all(dir);
    }

    struct Answer {
        int code;
        std::string out, err;
    };
    Answer ask(QueryRequest request) {
        for (const auto &[value, name] : {std::pair{&request.from, "from"},
                                          {&request.to, "to"},
                                          {&request.every, "every"},
                                          {&request.at, "at"},
                                          {&request.shifts, "shifts"}})
            if (!value->empty())
                request.options.push_back(name);
        if (!request.kinds.empty())
            request.options.push_back("kind");
        if (request.table)
            request.options.push_back("table");
        std::ostringstream out, err;
        const int code = runQuery(*store, request, T0 + 3600000, out, err);
        return {code, out.str(), err.str()};
    }

    Zone utc{"UTC"};
    std::string dir;
    std::unique_ptr<SqliteStore> store;
};

const std::string FROM = "2026-12-08T06:00Z", TO = "2026-12-08T06:10Z";

QueryRequest request(const char *command, std::vector<std::string> names = {},
                     std::string from = "", std::string to = "") {
    QueryRequest r;
    r.command = command;
    r.names = std::move(names);
    r.from = std::move(from);
    r.to = std::move(to);
    return r;
}
// The request with one more option's value.
QueryRequest with(QueryRequest r, std::string QueryRequest::*option, std::string value) {
    r.*option = std::move(value);
    return r;
}
QueryRequest withKind(QueryRequest r, std::string kind) {
    r.kinds.push_back(std::move(kind));
    return r;
}

} // namespace

TEST_F(Queries, EachCommandWritesItsHeaderAndItsRows) {
    struct Case {
        QueryRequest request;
        const char *header, *row;
    };
    const Case cases[] = {
        {with(request("trend", {"line1"}, FROM, TO), &QueryRequest::every, "1m"),
         "start,frames,mean,min,max,lower,upper,gap",
         "2026-12-08T06:00:00.000+00:00,119,500.00,495,505,496,504,\n"},
        {with(request("trend", {"line1"}, FROM, TO), &QueryRequest::every, "1m"),
         "start,frames,mean,min,max,lower,upper,gap",
         "2026-12-08T06:01:00.000+00:00,0,,,,,,\"seq 120 to 150, until "
         "2026-12-08T06:01:15.000+00:00\"\n"},
        {withKind(request("events", {}, FROM, TO), "back in tolerance"),
         "time,sensor,kind,Mvalue,lower,upper,duration,extreme,id",
         "2026-12-08T06:00:12.000+00:00,line1,back in tolerance,500,496,504,2.000,505,a1-2\n"},
        {request("status", {"line1"}, FROM, TO), "state,from,to,duration",
         "no answer,2026-12-08T06:03:20.000+00:00,2026-12-08T06:04:20.000+00:00,60.000\n"},
        {with(request("parameters", {"line1"}), &QueryRequest::at, "2026-12-08T06:01Z"),
         "name,value", "\ntVal,500\n"},
        {request("changes", {}, FROM, TO), "time,sensor,parameter,from,to,program",
         "2026-12-08T06:02:00.000+00:00,line1,tVal,500,505,vexa-tb-ctl 1.41\n"},
        {with(request("report", {}, FROM, TO), &QueryRequest::shifts, "06:00"),
         "shift,end,sensor,frames,mean,sd,min,max,lower,upper,Cp,Cpk,out_percent,excursions,"
         "longest_excursion,not_online",
         "2026-12-08T06:00:00.000+00:00,2026-12-08T06:10:00.000+00:00,line1,131,"},
    };
    for (const Case &c : cases) {
        const Answer answer = ask(c.request);
        EXPECT_EQ(answer.code, 0) << c.request.command << ": " << answer.err;
        EXPECT_EQ(answer.out.substr(0, answer.out.find('\n')), c.header) << c.request.command;
        EXPECT_NE(answer.out.find(c.row), std::string::npos)
            << c.request.command << " lacks " << c.row << " in\n"
            << answer.out;
    }
    // The parameters hold every one of the sixteen and who set them.
    const Answer parameters = ask(request("parameters", {"line1"}));
    EXPECT_EQ(std::count(parameters.out.begin(), parameters.out.end(), '\n'), 1 + 5 + 16);
    EXPECT_NE(parameters.out.find("tVal,505\n"), std::string::npos);
}

TEST_F(Queries, TheTableAlignsItsColumnsForPeople) {
    QueryRequest status = request("status", {"line1"}, FROM, TO);
    status.table = true;
    const Answer answer = ask(status);
    EXPECT_EQ(answer.out,
              "state      from                           to                          "
              "     duration\n"
              "online     2026-12-08T06:00:00.000+00:00  2026-12-08T06:03:20.000+00:00  "
              "3 min 20 s\n"
              "no answer  2026-12-08T06:03:20.000+00:00  2026-12-08T06:04:20.000+00:00  "
              "1 min 00 s\n"
              "online     2026-12-08T06:04:20.000+00:00  2026-12-08T06:10:00.000+00:00  "
              "5 min 40 s\n");
}

TEST_F(Queries, WhatIsRefusedSaysWhyWithExitCode2AndAnEmptySpanSaysSoWithExitCode0) {
    struct Case {
        QueryRequest request;
        int code;
        const char *said;
    };
    const Case cases[] = {
        {request("trend", {"line1"}, "yesterday 25:00"), 2,
         "--from: 'yesterday 25:00' is not a time of day"},
        {request("trend", {"line1"}, TO, FROM), 2,
         "--from 2026-12-08T06:10:00.000+00:00 lies after --to 2026-12-08T06:00:00.000+00:00"},
        {request("status", {"line9"}, FROM, TO), 2,
         "unknown sensor 'line9'; the store knows line1"},
        {withKind(request("events", {}, FROM, TO), "out of band"), 2,
         "--kind 'out of band' is no kind of event; the kinds: out of tolerance, "},
        {with(request("trend", {"line1"}, FROM, TO), &QueryRequest::every, "5s"), 2,
         "--every takes 1s, 10s, 1m, 10m, 1h or 1d"},
        {with(request("report", {}, FROM, TO), &QueryRequest::shifts, "6"), 2,
         "--shifts: '6' is not a clock time"},
        {request("status", {}, FROM, TO), 2, "query status needs the sensor's NAME"},
        {request("report", {"line1"}, FROM, TO), 2, "query report takes no NAME"},
        {request("trend", {"line1"}), 2, "query trend needs --from T"},
        {request("trend", {"line1"}, "2020-01-01T00:00Z", "2020-01-02T00:00Z"), 0,
         "no data from 2020-01-01T00:00:00.000+00:00 to 2020-01-02T00:00:00.000+00:00 for line1"},
        {with(request("trend", {"line1"}, "2026-12-08T00:00Z", "2026-12-08T08:00Z"),
              &QueryRequest::every, "1s"),
         0, "--every 1s would give 28,800 lines; 10s instead, at most 5,000"},
    };
    for (const Case &c : cases) {
        const Answer answer = ask(c.request);
        EXPECT_EQ(answer.code, c.code) << c.said;
        EXPECT_NE(answer.err.find(c.said), std::string::npos) << answer.err;
        if (c.code == 2) {
            EXPECT_EQ(answer.out, "") << c.said;
        }
    }
    EXPECT_EQ(ask(cases[9].request).out, "start,frames,mean,min,max,lower,upper,gap\n");
}

TEST(Report, CpAndCpkNeedTwoFramesAndSomeSpread) {
    struct Case {
        Stats stats;
        const char *cp, *cpk;
    };
    // Values 498, 500, 502, 504: mean 501, sample σ 2.582.
    const Case cases[] = {
        {{4, 2004, 1004024, 498, 504, 0, 490, 510}, "1.29", "1.16"},
        {{1, 500, 250000, 500, 500, 0, 490, 510}, "-", "-"},
        {{3, 1500, 750000, 500, 500, 0, 490, 510}, "-", "-"},
    };
    for (const Case &c : cases) {
        ShiftFigures figures;
        capability(c.stats, figures);
        EXPECT_EQ(figures.cp ? fixed(*figures.cp, 2) : "-", c.cp);
        EXPECT_EQ(figures.cpk ? fixed(*figures.cpk, 2) : "-", c.cpk);
    }
}

TEST(Report, AShiftAcrossTheClockChangeLastsAsTheClockSays) {
    const Zone berlin("Europe/Berlin");
    std::vector<int> minutes;
    std::string problem;
    ASSERT_TRUE(parseShifts("22:00,06:00,14:00", minutes, problem)) << problem;
    std::optional<Millis> from = parseTime("2026-03-28T22:00", 0, problem),
                          to = parseTime("2026-03-29T22:00", 0, problem);
    const std::vector<Span> shifts = shiftsIn({*from, *to}, minutes);
    ASSERT_EQ(shifts.size(), 3u);
    EXPECT_EQ(formatTime(shifts[0].from), "2026-03-28T22:00:00.000+01:00");
    EXPECT_EQ(shifts[0].to - shifts[0].from, 7 * 3600000) << "the night the clocks went forward";
    EXPECT_EQ(formatTime(shifts[2].to), "2026-03-29T22:00:00.000+02:00");
}
