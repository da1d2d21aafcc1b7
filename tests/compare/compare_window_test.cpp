// The compare window: which cells it marks, what a column that could not be
// read says, that looking changes nothing until a column is used and that a
// used column is what a Get of that set shows, the one-exchange rule, and the
// bytes it sends.
#include "compare_fixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <set>
#include <utility>

#include "display/live_loop.h"
#include "link/exchange_guard.h"
#include "params/panel_binding.h"
#include "params/transfer_buttons.h"

namespace compare_test {
namespace {

struct Change {
    Column column;
    int word;
    unsigned short value;
};

struct HighlightCase {
    const char *name;
    std::vector<Change> changes; // against kStart; each one a marked cell
};

void PrintTo(const HighlightCase &c, std::ostream *os) {
    *os << c.name;
}

class Highlights : public CompareTest, public testing::WithParamInterface<HighlightCase> {};

TEST_P(Highlights, MarkExactlyTheValuesUnlikeThePanels) {
    sim::Words ram = kStart, eeprom = kStart, file = kStart;
    std::set<std::pair<int, Column>> expected;
    for (const Change &c : GetParam().changes) {
        sim::Words &set = c.column == Column::Ram      ? ram
                          : c.column == Column::Eeprom ? eeprom
                                                       : file;
        set[static_cast<std::size_t>(c.word)] = c.value;
        expected.insert({c.word, c.column});
    }
    connectSensor();
    scriptSensor(ram, eeprom);
    window_->readSensor();
    window_->loadFile(QString::fromStdString(writeFile("set.dat", file)));

    for (int word = 0; word < PNUM; word++) {
        EXPECT_EQ(cell(word, Column::Panel)->text().toStdString(),
                  std::to_string(kStart[static_cast<std::size_t>(word)]));
        for (Column column : {Column::Panel, Column::Ram, Column::Eeprom, Column::File}) {
            const bool marked = expected.count({word, column}) == 1;
            EXPECT_EQ(highlighted(word, column), marked)
                << "word " << word << " column " << static_cast<int>(column);
            EXPECT_EQ(cell(word, column)->toolTip().startsWith(QStringLiteral("Panel: ")), marked);
        }
    }
    const auto cells = window_->comparison().differences();
    EXPECT_EQ(cells.size(), expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Sets, Highlights,
    testing::Values(
        HighlightCase{"AllAlike", {}},
        HighlightCase{"RamPowerAndPara15", {{Column::Ram, 0, 700}, {Column::Ram, 15, 900}}},
        HighlightCase{"EachColumnAnother",
                      {{Column::Ram, 2, 300}, {Column::Eeprom, 9, 50}, {Column::File, 13, 200}}},
        HighlightCase{"SameWordEverywhere",
                      {{Column::Ram, 5, 2}, {Column::Eeprom, 5, 3}, {Column::File, 5, 0}}},
        HighlightCase{"OutOfRangeValue", {{Column::Eeprom, 0, 1500}, {Column::File, 14, 4}}}),
    [](const testing::TestParamInfo<HighlightCase> &info) { return info.param.name; });

// Each row names its parameter with the table's label, then its range and
// what replaces a value outside it.
TEST_F(CompareTest, RowsNameTheParameterItsRangeAndItsReplacement) {
    for (int word = 0; word < PNUM; word++) {
        const ParameterEntry &p = parameterTable[word];
        EXPECT_EQ(table()->item(word, 0)->text().toStdString(), p.label);
        // The range and the replacement say the table's bounds and values.
        const QString range = table()->item(word, 1)->text();
        const QString replacement = table()->item(word, 2)->text();
        if (p.upper == NO_CHECK) {
            EXPECT_EQ(range, QStringLiteral("unchecked")) << p.name;
            continue;
        }
        EXPECT_EQ(range, QStringLiteral("%1-%2").arg(p.lower).arg(p.upper)) << p.name;
        EXPECT_TRUE(
            replacement.startsWith(QString::number(p.upperReplVar ? *p.upperReplVar : p.upperRepl)))
            << p.name;
        EXPECT_EQ(replacement.contains(QStringLiteral("%1 below").arg(p.lowerRepl)), p.lower != 0)
            << p.name;
    }
    const struct {
        int word;
        const char *name, *range, *replacement;
    } rows[] = {{2, "Video threshold", "0-1023", "512"},
                {7, "Edge right", "0-1024", "1024 (pixels of the CCD)"},
                {12, "CCD mode", "unchecked", "-"},
                {15, "Parameter 15 (not on the panels)", "800-1200", "1200 above, 800 below"}};
    for (const auto &r : rows) {
        const char *const shown[] = {r.name, r.range, r.replacement};
        for (int column = 0; column < 3; column++)
            EXPECT_EQ(table()->item(r.word, column)->text().toStdString(), shown[column]);
    }
}

TEST_F(CompareTest, MarkedCellSaysThePanelValue) {
    connectSensor();
    sim::Words ram = kStart;
    ram[0] = 1500;
    scriptSensor(ram, kStart);
    window_->readSensor();
    EXPECT_EQ(cell(0, Column::Ram)->toolTip().toStdString(),
              "Panel: 500\nOut of range: a Get shows 500");
    EXPECT_EQ(cell(0, Column::Eeprom)->toolTip().toStdString(), "");
}

TEST_F(CompareTest, SilentSensorShowsTheTimeoutInRamAndEeprom) {
    connectSensor();
    window_->readSensor();
    for (Column column : {Column::Ram, Column::Eeprom}) {
        EXPECT_EQ(cell(0, column)->text().toStdString(), "Timeout-RS-232...");
        EXPECT_EQ(table()->rowSpan(0, compare::tableColumn(column)), PNUM);
    }
    EXPECT_FALSE(window_->findChild<QPushButton *>("useRamButton")->isEnabled());
    EXPECT_EQ(sensor_.orders(), (std::vector<std::uint16_t>{2, 4}));
}

TEST_F(CompareTest, ColumnReadAfterATimeoutShowsItsNumbersAgain) {
    connectSensor();
    window_->readSensor();
    scriptSensor(kStart, kStart);
    window_->readSensor();
    EXPECT_EQ(table()->rowSpan(0, compare::tableColumn(Column::Ram)), 1);
    EXPECT_EQ(cell(1, Column::Ram)->text().toStdString(), "0");
}

struct BadFile {
    const char *name;
    const char *text; // nullptr: no such file; "/": a folder of that name
    const char *shown;
};

void PrintTo(const BadFile &b, std::ostream *os) {
    *os << b.name;
}

class BadFiles : public CompareTest, public testing::WithParamInterface<BadFile> {};

TEST_P(BadFiles, ShowWhyInTheFileColumn) {
    const BadFile &bad = GetParam();
    std::string file = path(bad.text ? "bad.dat" : "missing.dat");
    if (bad.text && std::string(bad.text) == "/")
        std::filesystem::create_directory(file);
    else if (bad.text)
        writeFile("bad.dat", std::string(bad.text));
    window_->loadFile(QString::fromStdString(file));
    EXPECT_EQ(cell(0, Column::File)->text().toStdString(), bad.shown);
    EXPECT_EQ(table()->rowSpan(0, compare::tableColumn(Column::File)), PNUM);
    EXPECT_FALSE(window_->findChild<QPushButton *>("useFileButton")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFiles,
    testing::Values(BadFile{"Missing", nullptr,
                            "Cannot read parameter file!\nmissing.dat: No such file or directory"},
                    BadFile{"Folder", "/",
                            "Cannot read parameter file!\nbad.dat: not a regular file"},
                    BadFile{"Short", "1 2 3",
                            "Cannot read parameter file!\nbad.dat: not sixteen readable numbers"},
                    BadFile{"Letters", "500 0 abc 64 1 1 1 1024 512 100 1 1 0 1 0 1000",
                            "Cannot read parameter file!\nbad.dat: not sixteen readable numbers"}),
    [](const testing::TestParamInfo<BadFile> &info) { return info.param.name; });

// A set with values the range checks replace: power, tolerance, eEnd, para15.
const sim::Words kOutOfRange = {1500, 1, 300, 70, 0, 2, 10, 1025, 400, 513, 0, 1, 1, 200, 3, 1300};

class UseColumn : public CompareTest, public testing::WithParamInterface<Column> {
  protected:
    // What a Get from the column's target leaves behind, then the start state again.
    std::vector<int> stateAfterGet(const std::string &file) {
        const Column column = GetParam();
        target = column == Column::Ram ? RAM : column == Column::Eeprom ? EEPROM : DATFILE;
        SetFileSelectHook([file](const FileSelectRequest &, std::string &out) {
            out = file;
            return 1;
        });
        CC_BTNGet(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
        const std::vector<int> state = programState();
        SetFileSelectHook(nullptr);
        target = RAM;
        return state;
    }
};

TEST_P(UseColumn, PanelsStayUntilUsedThenShowWhatAGetShows) {
    connectSensor();
    scriptSensor(kOutOfRange, kOutOfRange);
    const std::string file = writeFile("set.dat", kOutOfRange);
    const std::vector<int> byGet = stateAfterGet(file);
    ASSERT_EQ(power, 500);   // replaced
    ASSERT_EQ(para15, 1200); // replaced

    // Back to the start values on the panels and in the variables.
    for (int word = 0; word < PNUM; word++)
        *parameterTable[word].var = kStart[static_cast<std::size_t>(word)];
    SetPanelValues();
    const std::vector<int> before = programState();
    const std::string status = statusLine();

    window_->readSensor();
    window_->loadFile(QString::fromStdString(file));
    EXPECT_EQ(programState(), before);
    EXPECT_EQ(statusLine(), status);

    sensor_.clearRequests();
    window_->useColumn(GetParam());
    EXPECT_EQ(programState(), byGet);
    expectLineSilent();
}

INSTANTIATE_TEST_SUITE_P(Columns, UseColumn,
                         testing::Values(Column::Ram, Column::Eeprom, Column::File),
                         [](const testing::TestParamInfo<Column> &info) {
                             return std::string(info.param == Column::Ram      ? "Ram"
                                                : info.param == Column::Eeprom ? "Eeprom"
                                                                               : "File");
                         });

TEST_F(CompareTest, RequestsAreAGetsRequestsPackedFromTheVariables) {
    connectSensor();
    scriptSensor(kStart, kStart);
    // Variables unlike the panels: a request carries the variables.
    power = 777, tTol = 42, para15 = 1111;
    for (int i = 0; i < PNUM; i++)
        pp[i] = static_cast<unsigned short>(i);
    order = 8;
    sim::Words vars{};
    for (int word = 0; word < PNUM; word++)
        vars[static_cast<std::size_t>(word)] = *parameterTable[word].var;

    window_->readSensor();
    ASSERT_TRUE(sensor_.waitForRequests(2, std::chrono::seconds(2)));
    const std::vector<sim::Telegram> requests = sensor_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], sim::makeRequest(2, vars));
    EXPECT_EQ(requests[1], sim::makeRequest(4, vars));
    // pp and order as they were, for requests that carry pp as it stands.
    for (int i = 0; i < PNUM; i++)
        EXPECT_EQ(pp[i], i);
    EXPECT_EQ(order, 8);

    // A Get's request is the same telegram.
    sensor_.clearRequests();
    CC_BTNGet(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(onlyRequest(), requests[0]);
}

TEST_F(CompareTest, ReadIsRefusedWhileAnotherExchangeRuns) {
    connectSensor();
    BeginExchange();
    window_->readSensor();
    EXPECT_EQ(statusLine(), "Busy - press Stop or wait!");
    EXPECT_EQ(note(), "Busy - press Stop or wait!");
    EndExchange();
    expectLineSilent();
}

TEST_F(CompareTest, DuringALoopNeitherReadsNorPutsAColumnOnThePanels) {
    connectSensor();
    sensor_.script(sim::order::Frame, sim::makeReply(sim::order::Frame, kStart),
                   std::chrono::milliseconds(10));
    sim::Words file = kStart;
    file[0] = 800;
    window_->loadFile(QString::fromStdString(writeFile("set.dat", file)));
    std::string status;
    int powerDuringLoop = -1;
    QTimer::singleShot(300, [&] {
        window_->readSensor();
        status = statusLine();
        window_->useColumn(Column::File);
        powerDuringLoop = intValue(panelHandle, NEDITPower);
        stop_flag = 1;
    });
    CC_BTNRun(panelHandle, CTRL_Busy1, EVENT_COMMIT, nullptr, 0, 0);

    EXPECT_EQ(status, "Busy - press Stop or wait!");
    EXPECT_EQ(powerDuringLoop, 500);
    for (std::uint16_t o : sensor_.orders())
        EXPECT_EQ(o, sim::order::Frame);
    window_->useColumn(Column::File); // the loop has ended
    EXPECT_EQ(intValue(panelHandle, NEDITPower), 800);
}

} // namespace
} // namespace compare_test
