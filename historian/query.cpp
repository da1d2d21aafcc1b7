// The query commands: each reads the store through historian::Store only
// and makes a Table; one writer prints it as CSV or aligned. Times typed
// count from the `now` handed in; times written are local with milliseconds
// and offset, as the publisher writes them.
#include "historian/query.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <ostream>
#include <set>

#include "historian/changes.h"
#include "historian/report.h"
#include "historian/report_pdf.h"
#include "historian/time_spec.h"
#include "params/parameter_table.h"

namespace historian {

namespace {

const char *const EVENT_KINDS[] = {"out of tolerance", "back in tolerance", "no answer",
                                   "answering again",  "port lost",         "port back"};

struct Step {
    const char *text;
    int seconds;
};
const Step STEPS[] = {{"1s", 1},    {"10s", 10},  {"1m", 60},
                      {"10m", 600}, {"1h", 3600}, {"1d", 86400}};
constexpr long long TREND_LINES = 2000, TREND_LINES_MOST = 5000;

const std::vector<std::string> SPAN_OPTIONS = {"from", "to"};

bool takesSpan(const QueryCommand &command) {
    return std::find(command.options.begin(), command.options.end(), "from") !=
           command.options.end();
}

const QueryCommand *findCommand(const std::string &name) {
    for (const QueryCommand &command : queryCommands())
        if (name == command.name)
            return &command;
    return nullptr;
}

std::string optional(const std::optional<int> &value) {
    return value ? std::to_string(*value) : std::string();
}

std::string number(long long value) {
    return std::to_string(value);
}

// What a run of a query shares: the request, the store, where to write.
struct Run {
    Store &store;
    const QueryRequest &request;
    Millis now;
    std::ostream &out, &err;
    Span span;

    int print(const Table &table, const std::string &nothing) {
        if (table.rows.empty())
            err << nothing << "\n";
        if (request.table) {
            if (!table.rows.empty())
                writeAligned(table, out);
        } else {
            writeCsv(table, out);
        }
        return ExitSuccess;
    }

    std::string noData(const std::string &sensor) const {
        return "no data from " + formatTime(span.from) + " to " + formatTime(span.to) +
               (sensor.empty() ? std::string() : " for " + sensor);
    }

    // False after saying so when the store knows no such sensor.
    bool known(const std::string &sensor) {
        const std::vector<std::string> all = store.sensors();
        if (std::find(all.begin(), all.end(), sensor) != all.end())
            return true;
        std::string list;
        for (const std::string &name : all)
            list += (list.empty() ? "" : ", ") + name;
        err << "unknown sensor '" << sensor << "'; "
            << (all.empty() ? "the store holds no sensor yet" : "the store knows " + list) << "\n";
        return false;
    }

    std::string sensorWord() const {
        return request.names.empty() ? std::string() : request.names.front();
    }
};

int trend(Run &run) {
    const std::string sensor = run.sensorWord();
    if (!run.known(sensor))
        return ExitUsage;
    const Millis length = std::max<Millis>(run.span.to - run.span.from, 1);
    const auto lines = [length](int seconds) {
        return (length + seconds * 1000LL - 1) / (seconds * 1000LL);
    };
    const Step *step = nullptr;
    if (run.request.every.empty()) {
        for (const Step &s : STEPS)
            if (!step && lines(s.seconds) <= TREND_LINES)
                step = &s;
        if (!step)
            step = &STEPS[std::size(STEPS) - 1];
    } else {
        for (const Step &s : STEPS)
            if (run.request.every == s.text)
                step = &s;
        if (!step) {
            run.err << "--every takes 1s, 10s, 1m, 10m, 1h or 1d, not '" << run.request.every
                    << "'\n";
            return ExitUsage;
        }
        if (lines(step->seconds) > TREND_LINES_MOST) {
            const Step *given = step;
            step = &STEPS[std::size(STEPS) - 1];
            for (const Step &s : STEPS)
                if (s.seconds >= given->seconds && lines(s.seconds) <= TREND_LINES_MOST) {
                    step = &s;
                    break;
                }
            run.err << "--every " << given->text << " would give " << grouped(lines(given->seconds))
                    << " lines; " << step->text << " instead, at most " << grouped(TREND_LINES_MOST)
                    << "\n";
        }
    }
    Table table;
    table.columns = {{"start"},
                     {"frames", Table::Kind::Number},
                     {"mean", Table::Kind::Number},
                     {"min", Table::Kind::Number},
                     {"max", Table::Kind::Number},
                     {"lower", Table::Kind::Number},
                     {"upper", Table::Kind::Number},
                     {"gap"}};
    struct Line {
        Millis start;
        std::vector<std::string> cells;
    };
    std::vector<Line> rows;
    for (const TrendPoint &p : run.store.trend(sensor, run.span, step->seconds))
        rows.push_back({p.start,
                        {formatTime(p.start), number(p.count), fixed(p.mean, 2), number(p.min),
                         number(p.max), number(p.lower), number(p.upper), ""}});
    // A gap's line comes before a bucket that starts at the same time: the
    // gap began there, the frames after it.
    for (const GapRecord &g : run.store.gaps(sensor, run.span))
        rows.push_back({g.from - 1,
                        {formatTime(g.from), "0", "", "", "", "", "",
                         g.reason + ", until " + formatTime(g.to)}});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Line &a, const Line &b) { return a.start < b.start; });
    for (Line &line : rows)
        table.rows.push_back(std::move(line.cells));
    return run.print(table, run.noData(sensor));
}

int events(Run &run) {
    const std::string sensor = run.sensorWord();
    if (!sensor.empty() && !run.known(sensor))
        return ExitUsage;
    for (const std::string &kind : run.request.kinds)
        if (std::find(std::begin(EVENT_KINDS), std::end(EVENT_KINDS), kind) ==
            std::end(EVENT_KINDS)) {
            run.err << "--kind '" << kind << "' is no kind of event; the kinds: ";
            for (const char *known : EVENT_KINDS)
                run.err << (known == EVENT_KINDS[0] ? "" : ", ") << known;
            run.err << "\n";
            return ExitUsage;
        }
    Table table;
    table.columns = {{"time"},
                     {"sensor"},
                     {"kind"},
                     {"Mvalue", Table::Kind::Number},
                     {"lower", Table::Kind::Number},
                     {"upper", Table::Kind::Number},
                     {"duration", Table::Kind::Duration},
                     {"extreme", Table::Kind::Number},
                     {"id"}};
    for (const EventRecord &e : run.store.events(sensor, run.span, run.request.kinds))
        table.rows.push_back({formatTime(e.time), e.sensor, e.kind, optional(e.mvalue),
                              optional(e.lower), optional(e.upper),
                              e.durationMs ? number(*e.durationMs) : "", optional(e.extreme),
                              e.id});
    return run.print(table, run.noData(sensor));
}

int status(Run &run) {
    const std::string sensor = run.sensorWord();
    if (!run.known(sensor))
        return ExitUsage;
    Table table;
    table.columns = {{"state"}, {"from"}, {"to"}, {"duration", Table::Kind::Duration}};
    for (const StateSpan &s : stateSpans(run.store, sensor, run.span, run.now))
        table.rows.push_back(
            {s.state, formatTime(s.from), formatTime(s.to), number(s.to - s.from)});
    return run.print(table, run.noData(sensor));
}

int parameters(Run &run) {
    const std::string sensor = run.sensorWord();
    std::string problem;
    Millis at = run.now;
    if (!run.request.at.empty()) {
        const std::optional<Millis> typed = parseTime(run.request.at, run.now, problem);
        if (!typed) {
            run.err << "--at: " << problem << "\n";
            return ExitUsage;
        }
        at = *typed;
    }
    if (!run.known(sensor))
        return ExitUsage;
    Table table;
    table.columns = {{"name"}, {"value"}};
    if (const std::optional<InfoRecord> info = run.store.infoAt(sensor, at)) {
        table.rows = {{"time", formatTime(info->time)},
                      {"firmware", info->firmware},
                      {"ccd", info->ccd},
                      {"pixels", number(info->pixels)},
                      {"program", info->program}};
        for (int word = 0; word < PARAMETERS; ++word)
            table.rows.push_back({parameterTable[word].name,
                                  number(info->parameters[static_cast<std::size_t>(word)])});
    }
    return run.print(table, "no parameters of " + sensor + " kept at or before " + formatTime(at));
}

int changes(Run &run) {
    const std::string sensor = run.sensorWord();
    if (!sensor.empty() && !run.known(sensor))
        return ExitUsage;
    const std::vector<std::string> sensors =
        sensor.empty() ? run.store.sensors() : std::vector<std::string>{sensor};
    std::vector<ParameterChange> all;
    for (const std::string &name : sensors) {
        // The info in force before the span is what the first one in it changed.
        std::vector<InfoRecord> infos;
        if (std::optional<InfoRecord> before = run.store.infoAt(name, run.span.from - 1))
            infos.push_back(std::move(*before));
        for (InfoRecord &info : run.store.infos(name, run.span))
            infos.push_back(std::move(info));
        for (ParameterChange &change : parameterChanges(infos, FirstInfo::IsTheStart))
            all.push_back(std::move(change));
    }
    std::stable_sort(
        all.begin(), all.end(),
        [](const ParameterChange &a, const ParameterChange &b) { return a.time < b.time; });
    Table table;
    table.columns = {{"time"}, {"sensor"}, {"parameter"}, {"from"}, {"to"}, {"program"}};
    for (const ParameterChange &c : all)
        table.rows.push_back({formatTime(c.time), c.sensor, c.what, c.from, c.to, c.program});
    return run.print(table, run.noData(sensor));
}

int report(Run &run) {
    std::vector<int> minutes;
    std::string problem;
    if (!parseShifts(run.request.shifts.empty() ? "06:00,14:00,22:00" : run.request.shifts, minutes,
                     problem)) {
        run.err << "--shifts: " << problem << "\n";
        return ExitUsage;
    }
    const ShiftReport made = makeReport(run.store, run.span, minutes, run.now);
    if (!run.request.pdf.empty()) {
        if (const std::string failed = writeReportPdf(made, run.request.pdf); !failed.empty()) {
            run.err << "--pdf " << run.request.pdf << ": " << failed << "\n";
            return ExitUsage;
        }
        run.err << "wrote " << run.request.pdf << "\n";
    }
    return run.print(reportTable(made), run.noData(""));
}

std::string quoted(const std::string &cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos)
        return cell;
    std::string text = "\"";
    for (const char c : cell)
        text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + "\"";
}

} // namespace

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string shownCell(const Table::Column &column, const std::string &cell) {
    if (column.kind != Table::Kind::Duration || cell.empty() || cell == "-")
        return cell;
    return formatDuration(std::stoll(cell));
}

void writeCsv(const Table &table, std::ostream &out) {
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        out << (c ? "," : "") << quoted(table.columns[c].name);
    out << "\n";
    for (const std::vector<std::string> &row : table.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            std::string cell = row[c];
            if (table.columns[c].kind == Table::Kind::Duration && !cell.empty() && cell != "-")
                cell = fixed(static_cast<double>(std::stoll(cell)) / 1000.0, 3);
            out << (c ? "," : "") << quoted(cell);
        }
        out << "\n";
    }
}

void writeAligned(const Table &table, std::ostream &out) {
    std::vector<std::size_t> widths;
    for (const Table::Column &column : table.columns)
        widths.push_back(column.name.size());
    std::vector<std::vector<std::string>> shown;
    for (const std::vector<std::string> &row : table.rows) {
        shown.emplace_back();
        for (std::size_t c = 0; c < row.size(); ++c) {
            shown.back().push_back(shownCell(table.columns[c], row[c]));
            widths[c] = std::max(widths[c], shown.back().back().size());
        }
    }
    const auto line = [&](const std::vector<std::string> &cells) {
        std::string text;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const std::string pad(widths[c] - cells[c].size(), ' ');
            const bool right = table.columns[c].kind != Table::Kind::Text;
            text += (c ? "  " : "") + (right ? pad + cells[c] : cells[c] + pad);
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out << text << "\n";
    };
    std::vector<std::string> header;
    for (const Table::Column &column : table.columns)
        header.push_back(column.name);
    line(header);
    for (const std::vector<std::string> &cells : shown)
        line(cells);
}

const std::vector<QueryCommand> &queryCommands() {
    static const std::vector<QueryCommand> commands = {
        {"trend",
         "NAME",
         "the measured value of sensor NAME per step (start, frames, mean, min, max, lower, "
         "upper) with a line for each gap; --every 1s, 10s, 1m, 10m, 1h or 1d, by default the "
         "smallest that gives at most 2,000 lines",
         {"from", "to", "every"}},
        {"events",
         "[NAME]",
         "the events of sensor NAME (or of every sensor); --kind KIND, repeatable, picks kinds: "
         "out of tolerance, back in tolerance, no answer, answering again, port lost, port back",
         {"from", "to", "kind"}},
        {"status",
         "NAME",
         "the states of sensor NAME (online, no answer, port lost, offline) from when to when",
         {"from", "to"}},
        {"parameters",
         "NAME",
         "the parameters of sensor NAME in force at --at T (default now), with its firmware, CCD, "
         "pixels, the program that published them and since when",
         {"at"}},
        {"changes",
         "[NAME]",
         "each parameter change of sensor NAME (or of every sensor): time, sensor, parameter, "
         "from, to, program",
         {"from", "to"}},
        {"report",
         "",
         "per sensor and shift: frames, mean, standard deviation, min, max, Cp, Cpk, share out "
         "of tolerance, excursions and the longest, time not online; --shifts HH:MM,... "
         "(default 06:00,14:00,22:00), --pdf FILE also writes it as a PDF",
         {"from", "to", "shifts", "pdf"}},
    };
    return commands;
}

std::string queryHelp() {
    std::string text =
        "Query commands (vexa-tb-historian query COMMAND ... [--db DB] [--table]):\n";
    for (const QueryCommand &command : queryCommands()) {
        std::string head = std::string(command.name) +
                           (*command.arguments ? std::string(" ") + command.arguments : "");
        if (takesSpan(command))
            head += " --from T [--to T]";
        static const std::pair<const char *, const char *> values[] = {
            {"every", " [--every STEP]"},
            {"kind", " [--kind KIND]..."},
            {"at", " [--at T]"},
            {"shifts", " [--shifts HH:MM,...]"},
            {"pdf", " [--pdf FILE]"}};
        for (const auto &[option, shown] : values)
            if (std::find(command.options.begin(), command.options.end(), option) !=
                command.options.end())
                head += shown;
        text += "  " + head + "\n      " + command.help + "\n";
    }
    text += "\nTimes (T): 2026-12-08T06:00 (local), 2026-12-08T06:00:00+01:00, now, -8h, -30m, "
            "-7d, -90s, today 06:00, yesterday 22:00, 22:00 (today). --to is now unless given.\n";
    return text;
}

std::string checkQuery(const QueryRequest &request) {
    const QueryCommand *command = findCommand(request.command);
    if (!command)
        return request.command.empty() ? "query: no command given"
                                       : "query: unknown command '" + request.command + "'";
    const std::string arguments = command->arguments;
    const std::size_t most = arguments.empty() ? 0 : 1, least = arguments == "NAME" ? 1 : 0;
    if (request.names.size() < least)
        return std::string("query ") + command->name + " needs the sensor's NAME";
    if (request.names.size() > most)
        return std::string("query ") + command->name +
               (most ? " takes one sensor's NAME" : " takes no NAME");
    for (const std::string &option : request.options)
        if (option != "db" && option != "table" &&
            std::find(command->options.begin(), command->options.end(), option) ==
                command->options.end())
            return std::string("query ") + command->name + " does not take --" + option;
    if (takesSpan(*command) && request.from.empty())
        return std::string("query ") + command->name + " needs --from T";
    return "";
}

int runQuery(Store &store, const QueryRequest &request, Millis now, std::ostream &out,
             std::ostream &err) {
    if (const std::string problem = checkQuery(request); !problem.empty()) {
        err << problem << "\n";
        return ExitUsage;
    }
    const QueryCommand &command = *findCommand(request.command);
    Run run{store, request, now, out, err, {now, now}};
    if (takesSpan(command)) {
        std::string problem;
        if (!parseSpan(request.from, request.to.empty() ? "now" : request.to, now, run.span,
                       problem)) {
            err << problem << "\n";
            return ExitUsage;
        }
    }
    static const std::pair<const char *, std::function<int(Run &)>> handlers[] = {
        {"trend", trend},           {"events", events},   {"status", status},
        {"parameters", parameters}, {"changes", changes}, {"report", report}};
    for (const auto &[name, handler] : handlers)
        if (request.command == name)
            return handler(run);
    return ExitUsage;
}

std::vector<StateSpan> stateSpans(Store &store, const std::string &sensor, Span span, Millis now) {
    std::vector<StateSpan> spans;
    const Millis end = std::min(span.to, now);
    const auto add = [&](const std::string &state, Millis at) {
        at = std::max(at, span.from);
        if (at >= end)
            return;
        if (!spans.empty() && spans.back().state == state)
            return;
        if (!spans.empty() && spans.back().from == at) {
            spans.back().state = state;
            return;
        }
        if (!spans.empty())
            spans.back().to = at;
        spans.push_back({state, at, end});
    };
    if (const std::optional<StatusRecord> before = store.statusAt(sensor, span.from))
        add(before->state, before->time);
    for (const StatusRecord &s : store.statuses(sensor, span))
        add(s.state, s.time);
    return spans;
}

} // namespace historian
