// The Get button: the parameters from the sensor's RAM or EEPROM, or from a
// parameter file, onto the panels.
#include "sensor_fixture.h"

#include <QSpinBox>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "link/exchange_guard.h"
#include "params/parameter_table.h"
#include "params/transfer_buttons.h"

namespace params_test {
namespace {

// A parameter set with every value in range, each unlike the start values.
const sim::Words kSensorWords = {700, 1, 300, 70, 0, 2, 10, 1000, 400, 50, 0, 0, 1, 200, 3, 900};

class Get : public SensorTest {
  protected:
    void get() { CC_BTNGet(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0); }

    void answerLoadWith(const std::string &chosen, int result = 1) {
        SetFileSelectHook([this, chosen, result](const FileSelectRequest &r, std::string &out) {
            asked_.push_back(r);
            out = chosen;
            return result;
        });
    }

    std::string fileWith(const char *text) {
        const std::string file = path("load.dat");
        std::ofstream(file) << text;
        return file;
    }

    void expectShowsSensorWords() {
        EXPECT_EQ(power, 700);
        EXPECT_EQ(vThd, 300);
        EXPECT_EQ(tVal, 400);
        EXPECT_EQ(pStart, 200);
        EXPECT_EQ(para15, 900);
        EXPECT_EQ(intValue(panelHandle, NEDITPower), 700);
        EXPECT_EQ(intValue(panelHandle, NEDITVideoThreshold), 300);
        EXPECT_EQ(intValue(panelPopUp, NEDITTeach), 400);
        EXPECT_EQ(intValue(panelPopUp, NUM_PixelEnd), 455);
    }

    void setParameters(unsigned short base) {
        for (int i = 0; i < PNUM; i++)
            pp[i] = static_cast<unsigned short>(base + i);
        power = base, rs232Mode = 1, vThd = 333, bVal = 44, polarity = 0, eMode = 2;
        eBeg = 5, eEnd = 900, tVal = 600, tTol = 60, iGain = 0, ePoti = 0, ccdMode = 1;
        pStart = 100, anaMode = 2, para15 = 1100;
    }

    std::vector<FileSelectRequest> asked_;
};

TEST_F(Get, WithRamSelectedReadsOrder2AndShowsTheReply) {
    connectSensor();
    sensor_.script(sim::order::ReadRam, sim::makeReply(sim::order::ReadRam, kSensorWords));
    get();
    EXPECT_EQ(sim::requestOrder(onlyRequest()), 2);
    EXPECT_EQ(order, 2);
    expectShowsSensorWords();
    EXPECT_STREQ(szStatus, "Parameter-frame received! - Line Ok!");
    EXPECT_EQ(SensorBusy(), 0);
}

TEST_F(Get, WithEepromSelectedReadsOrder4) {
    connectSensor();
    target = EEPROM;
    sensor_.script(sim::order::ReadEeprom, sim::makeReply(sim::order::ReadEeprom, kSensorWords));
    get();
    EXPECT_EQ(sim::requestOrder(onlyRequest()), 4);
    EXPECT_EQ(order, 4);
    expectShowsSensorWords();
}

TEST_F(Get, ClickActsOnItsCommit) {
    connectSensor();
    sensor_.script(sim::order::ReadRam, sim::makeReply(sim::order::ReadRam, kSensorWords));
    QWidget *button = byName(panelHandle, "BTNGet");
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
    EXPECT_EQ(sim::requestOrder(onlyRequest()), 2);
    expectShowsSensorWords();
}

TEST_F(Get, ReplacesUnsentEditsWithTheSensorsValues) {
    connectSensor();
    sensor_.script(sim::order::ReadRam, sim::makeReply(sim::order::ReadRam, kSensorWords));
    SetCtrlVal(panelHandle, NEDITPower, 999);
    get();
    EXPECT_EQ(intValue(panelHandle, NEDITPower), 700);

    // A field cleared by the user still holds its last value; a Get that
    // reads that same value shows it again.
    auto *power = qobject_cast<QSpinBox *>(byName(panelHandle, "NEDITPower"));
    ASSERT_NE(power, nullptr);
    QTest::keyClick(power, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(power, Qt::Key_Backspace);
    ASSERT_EQ(power->cleanText(), QString());
    get();
    EXPECT_EQ(power->cleanText(), QStringLiteral("700"));
}

TEST_F(Get, IsRefusedWhileAnotherExchangeRuns) {
    connectSensor();
    BeginExchange();
    get();
    EXPECT_EQ(statusLine(), "Busy - press Stop or wait!");
    EndExchange();
    expectLineSilent();
}

TEST_F(Get, OtherEventsReadNothing) {
    connectSensor();
    CC_BTNGet(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0);
    CC_BTNGet(panelHandle, 0, EVENT_VAL_CHANGED, nullptr, 0, 0);
    expectLineSilent();
}

TEST_F(Get, WithFileSelectedReadsTheFileAndSendsNothing) {
    connectSensor();
    target = DATFILE;
    const std::string file =
        fileWith("700\n1\n300\n70\n0\n2\n10\n1000\n400\n50\n0\n0\n1\n200\n3\n900\n");
    answerLoadWith(file);
    get();
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].directory, dir_);
    EXPECT_EQ(asked_[0].defaultName, "VEXApara.dat");
    EXPECT_EQ(asked_[0].fileTypes, "*.dat");
    EXPECT_EQ(asked_[0].title, "V-EXA-TB-Parameter File");
    EXPECT_EQ(asked_[0].buttonLabel, VAL_LOAD_BUTTON);
    EXPECT_TRUE(asked_[0].restrictExtension);
    EXPECT_STREQ(file_name, file.c_str());
    expectShowsSensorWords();
    for (int i = 0; i < PNUM; i++)
        EXPECT_EQ(pp[i], kSensorWords[static_cast<std::size_t>(i)]);
    expectLineSilent();
}

TEST_F(Get, LoadedFileKeepsTheLastResultInTheStatusLine) {
    target = DATFILE;
    answerLoadWith(fileWith("700 1 300 70 0 2 10 1000 400 50 0 0 1 200 3 900"));
    get();
    EXPECT_STREQ(szStatus, "InitVars");
    EXPECT_EQ(statusLine(), "InitVars");
}

// Both sides of every bound of the parameter table: a file's value on the
// bound is taken as it is, one past it replaced, in the variable and on the
// panel alike.
TEST_F(Get, LoadedValuesAreTakenOnTheirBoundsAndReplacedOnePast) {
    target = DATFILE;
    const sim::Words start = {500, 0, 512, 64, 1, 1, 1, 1024, 512, 100, 1, 1, 0, 1, 0, 1000};
    for (int word = 0; word < PNUM; word++) {
        const ParameterEntry &p = parameterTable[word];
        if (p.upper == NO_CHECK)
            continue;
        const unsigned short upperRepl = p.upperReplVar ? *p.upperReplVar : p.upperRepl;
        std::vector<std::pair<int, int>> rows = {{p.upper, p.upper}, {p.upper + 1, upperRepl}};
        if (p.lower != 0)
            rows.insert(rows.end(), {{p.lower, p.lower}, {p.lower - 1, p.lowerRepl}});
        for (const auto &[inFile, shown] : rows) {
            std::string text;
            for (int i = 0; i < PNUM; i++)
                text +=
                    std::to_string(i == word ? inFile : start[static_cast<std::size_t>(i)]) + "\n";
            answerLoadWith(fileWith(text.c_str()));
            get();
            EXPECT_EQ(*p.var, shown) << p.name << " " << inFile;
            if (p.panel) {
                EXPECT_EQ(intValue(*p.panel, p.control), shown) << p.name << " " << inFile;
            }
        }
    }
}

TEST_F(Get, LoadedValueAbove65535KeepsItsLow16Bits) {
    target = DATFILE;
    // 66236 = 65536 + 700
    answerLoadWith(fileWith(
        " 66236\n 0\n 512\n 64\n 1\n 1\n 1\n 1024\n 512\n 100\n 1\n 1\n 0\n 1\n 0\n 1000\n"));
    get();
    EXPECT_EQ(power, 700);
    EXPECT_EQ(intValue(panelHandle, NEDITPower), 700);
}

TEST_F(Get, ALoadDialogWithoutAFileStillReplacesUnsentEdits) {
    target = DATFILE;
    answerLoadWith(fileWith("700 1 300 70 0 2 10 1000 400 50 0 0 1 200 3 900"));
    get();                       // the last file loaded stays named in the dialog's result
    for (int result : {0, -1}) { // cancelled, failed
        power = 500;
        SetCtrlVal(panelHandle, NEDITPower, 999);
        answerLoadWith(path("whatever.dat"), result);
        get();
        EXPECT_EQ(power, 500) << result;
        EXPECT_EQ(intValue(panelHandle, NEDITPower), 500) << result;
    }
    EXPECT_EQ(asked_.size(), 3u);
}

TEST_F(Get, FromFileNeedsNoSensorSoRunsDuringAnExchange) {
    target = DATFILE;
    answerLoadWith(fileWith("700 1 300 70 0 2 10 1000 400 50 0 0 1 200 3 900"));
    BeginExchange();
    get();
    EndExchange();
    EXPECT_EQ(power, 700);
}

TEST_F(Get, SavedFileLoadsBackUnchanged) {
    target = DATFILE;
    const std::string file = path("round.dat");
    SetFileSelectHook([file](const FileSelectRequest &, std::string &out) {
        out = file;
        return 2;
    });
    SetCtrlVal(panelHandle, NEDITPower, 765);
    SetCtrlVal(panelPopUp, NEDITTolerance, 33);
    para15 = 1200;
    CC_BTNSend(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0);
    power = 1, tTol = 1, para15 = 900;
    get();
    EXPECT_EQ(power, 765);
    EXPECT_EQ(tTol, 33);
    EXPECT_EQ(para15, 1200);
}

// A file that cannot be read leaves pp and the variables as they are and says so.
class UnreadableFile : public Get, public testing::WithParamInterface<const char *> {};

TEST_P(UnreadableFile, LeavesTheParametersAndReportsIt) {
    target = DATFILE;
    std::string file = path("missing.dat");
    if (std::strcmp(GetParam(), "missing") != 0)
        file = fileWith(GetParam());
    answerLoadWith(file);
    setParameters(700);
    unsigned short before[PNUM];
    std::memcpy(before, pp, sizeof before);

    get();

    for (int i = 0; i < PNUM; i++)
        EXPECT_EQ(pp[i], before[i]);
    EXPECT_EQ(power, 700);
    EXPECT_EQ(vThd, 333);
    EXPECT_EQ(para15, 1100);
    EXPECT_EQ(intValue(panelHandle, NEDITPower), 700); // the unchanged variables
    EXPECT_STREQ(szStatus, "Cannot read parameter file!");
    EXPECT_EQ(statusLine(), "Cannot read parameter file!");
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableFile,
    testing::Values("missing", "", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15",
                    "500\n0\nabc\n64\n1\n1\n1\n1024\n512\n100\n1\n1\n0\n1\n0\n1000\n"));

} // namespace
} // namespace params_test
