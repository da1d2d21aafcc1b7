// `vexa-tb-historian query COMMAND ...`: what the store kept, as a table —
// CSV with a header line on stdout for scripts, or aligned columns for
// people (--table); messages for people on stderr. The commands come from
// one table (name, arguments, options, help), which the program's --help
// and its checks of the command line read too.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "historian/store.h"

namespace historian {

// What the program ends with, as vexa-tb-ctl's codes.
enum ExitCode : int {
    ExitSuccess = 0,
    // The broker refused the credentials, or the store cannot be opened at all.
    ExitFailed = 1,
    // A bad command line or file: an unknown sensor, a time that is none,
    // --from after --to.
    ExitUsage = 2,
};

// A result: named columns, rows of cells. A duration cell holds
// milliseconds: seconds in the CSV ("62.500"), "1 min 02 s" in --table.
struct Table {
    enum class Kind { Text, Number, Duration };
    struct Column {
        std::string name;
        Kind kind = Kind::Text;
    };
    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
};

// One line a row; a cell with a comma, a quote or a line end is quoted.
void writeCsv(const Table &table, std::ostream &out);
// Columns padded to their widest cell, numbers to the right.
void writeAligned(const Table &table, std::ostream &out);
// A cell as the aligned table shows it.
std::string shownCell(const Table::Column &column, const std::string &cell);

struct QueryRequest {
    std::string command;
    std::vector<std::string> names; // the words after the command
    std::string from, to, every, at, shifts, pdf;
    std::vector<std::string> kinds;
    bool table = false;
    std::vector<std::string> options; // the options given, by name, for the checks
};

struct QueryCommand {
    const char *name;
    const char *arguments; // "NAME", "[NAME]" or ""
    const char *help;
    std::vector<std::string> options; // taken beside --db and --table
};
const std::vector<QueryCommand> &queryCommands();
// "Query commands:\n  trend NAME --from T --to T [--every STEP]  ..." for --help.
std::string queryHelp();

// "" when the command, its words and its options fit together; else why
// not (exit 2), found before the store is opened.
std::string checkQuery(const QueryRequest &request);

// Runs a checked request against the store; the exit code. `now` is the
// time "now", "-8h" and "today" count from.
int runQuery(Store &store, const QueryRequest &request, Millis now, std::ostream &out,
             std::ostream &err);

// A sensor's state from one change to the next, within a span.
struct StateSpan {
    std::string state;
    Millis from = 0, to = 0;
};
// The states of `sensor` in [span.from, min(span.to, now)), starting with
// the one in force at span.from; a state that repeats is one span.
std::vector<StateSpan> stateSpans(Store &store, const std::string &sensor, Span span, Millis now);

// "12.35": a number with `decimals` places.
std::string fixed(double value, int decimals);

} // namespace historian
