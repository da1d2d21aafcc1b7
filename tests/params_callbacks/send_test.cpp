// The Send button: a write telegram to the sensor's RAM or EEPROM, or a
// parameter file.
#include "sensor_fixture.h"

#include <fstream>
#include <string>
#include <vector>

#include "params/panel_binding.h"
#include "params/parameter_file.h"
#include "params/parameter_table.h"
#include "params/transfer_buttons.h"

namespace params_test {
namespace {

class Send : public SensorTest {
  protected:
    void send() { CC_BTNSend(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0); }

    // Answers the save dialog with `chosen` (result 2: a new file) and keeps
    // what was asked.
    void answerSaveWith(const std::string &chosen, int result = 2) {
        SetFileSelectHook([this, chosen, result](const FileSelectRequest &r, std::string &out) {
            asked_.push_back(r);
            out = chosen;
            return result;
        });
    }

    static std::vector<std::string> linesOf(const std::string &file) {
        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::vector<FileSelectRequest> asked_;
};

TEST_F(Send, WithRamSelectedWritesOrder1WithThePanelValues) {
    connectSensor();
    SetCtrlVal(panelHandle, NEDITPower, 777); // edited, not yet sent
    para15 = 1111;
    send();
    const sim::Telegram t = onlyRequest();
    EXPECT_EQ(sim::getWord(t.data()), 0x0055);
    EXPECT_EQ(sim::requestOrder(t), 1);
    const sim::Words words = sim::dataWords(t);
    EXPECT_EQ(words[sim::param::power], 777);
    EXPECT_EQ(words[sim::param::para15], 1111);
    EXPECT_EQ(power, 777); // the panels were read first
    EXPECT_EQ(order, 1);
}

TEST_F(Send, WithEepromSelectedWritesOrder3) {
    connectSensor();
    target = EEPROM;
    send();
    EXPECT_EQ(sim::requestOrder(onlyRequest()), 3);
    EXPECT_EQ(order, 3);
}

TEST_F(Send, AppliesNoRangeCheck) {
    connectSensor();
    SetCtrlVal(panelHandle, NEDITPower, 1500);
    SetCtrlVal(panelPopUp, NEDITBVal, 2000);
    send();
    const sim::Words words = sim::dataWords(onlyRequest());
    EXPECT_EQ(words[sim::param::power], 1500);
    EXPECT_EQ(words[sim::param::bVal], 2000);
    EXPECT_EQ(power, 1500);
}

TEST_F(Send, CompleteWriteShowsLineOkAsNoteOnly) {
    connectSensor();
    send();
    onlyRequest();
    EXPECT_EQ(nBytesW, 36);
    EXPECT_EQ(statusLine(), "Line Ok!");
    EXPECT_STREQ(szStatus, "InitVars");
}

TEST_F(Send, FailedWriteKeepsTransmitInTheStatusLine) {
    send(); // the port is not open
    EXPECT_NE(nBytesW, 36);
    EXPECT_EQ(statusLine(), "Transmit...");
    EXPECT_STREQ(szStatus, "InitVars");
}

TEST_F(Send, KeyboardActivationDoesNothingWhileAClickSends) {
    connectSensor();
    QWidget *button = byName(panelHandle, "BTNSend");
    ASSERT_NE(button, nullptr);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    settle();
    expectLineSilent();
    EXPECT_EQ(statusLine(), "InitVars");

    QTest::mouseClick(button, Qt::LeftButton);
    settle();
    EXPECT_EQ(sim::requestOrder(onlyRequest()), 1);
}

TEST_F(Send, WithFileSelectedWritesTheFileAndNothingToTheSensor) {
    connectSensor();
    target = DATFILE;
    const std::string file = path("mine.dat");
    answerSaveWith(file);
    send();
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].directory, dir_);
    EXPECT_EQ(asked_[0].defaultName, "VEXApara.dat");
    EXPECT_EQ(asked_[0].fileTypes, "*.dat");
    EXPECT_EQ(asked_[0].title, "V-EXA-TB-Series Parameter File");
    EXPECT_EQ(asked_[0].buttonLabel, VAL_OK_BUTTON);
    EXPECT_TRUE(asked_[0].restrictExtension);
    EXPECT_STREQ(file_name, file.c_str());
    EXPECT_EQ(linesOf(file).size(), 16u);
    EXPECT_EQ(statusLine(), "Transmit...");
    expectLineSilent();
}

TEST_F(Send, FileOfTheStartValuesHoldsThemLineByLine) {
    SetParameterStartValues();
    SetPanelValues(); // the panels show them
    target = DATFILE;
    const std::string file = path("VEXApara.dat");
    answerSaveWith(file);
    send();
    const std::vector<std::string> expected = {" 500", "   0", " 512", "  64", "   1", "   1",
                                               "   1", "1024", " 512", " 100", "   1", "   1",
                                               "   0", "   1", "   0", "1000"};
    EXPECT_EQ(linesOf(file), expected);
}

TEST_F(Send, ASaveDialogWithoutAFileLeavesTheLastSavedFileAlone) {
    target = DATFILE;
    const std::string file = path("earlier.dat");
    answerSaveWith(file);
    send();
    const std::vector<std::string> saved = linesOf(file);
    ASSERT_EQ(saved.size(), 16u);
    SetCtrlVal(panelHandle, NEDITPower, 777);
    const struct {
        int result;
        const char *status;
    } cases[] = {{0, "Transmit..."}, {-1, "Cannot write parameter file!"}}; // cancelled, failed
    for (const auto &c : cases) {
        answerSaveWith(path("never.dat"), c.result);
        send();
        EXPECT_EQ(linesOf(file), saved) << c.result;
        EXPECT_FALSE(std::filesystem::exists(path("never.dat"))) << c.result;
        EXPECT_EQ(statusLine(), c.status) << c.result;
    }
    EXPECT_EQ(asked_.size(), 3u);
}

TEST_F(Send, FileThatCannotBeWrittenIsReported) {
    target = DATFILE;
    answerSaveWith(path("no-such-folder/p.dat"));
    send();
    EXPECT_STREQ(szStatus, "Cannot write parameter file!");
    EXPECT_EQ(statusLine(), "Cannot write parameter file!");
}

TEST_F(Send, OtherEventsSendNothing) {
    connectSensor();
    CC_BTNSend(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    CC_BTNSend(panelHandle, 0, EVENT_VAL_CHANGED, nullptr, 0, 0);
    expectLineSilent();
    EXPECT_EQ(statusLine(), "InitVars");
}

} // namespace
} // namespace params_test
