// Choosing the transfer target with the three radio buttons.
#include "panel_fixture.h"

#include "params/transfer_targets.h"

namespace params_test {
namespace {

class TargetSelection : public PanelTest {
  protected:
    void expectLit(int ram, int eeprom, int file) {
        EXPECT_EQ(intValue(panelHandle, RBTRam), ram);
        EXPECT_EQ(intValue(panelHandle, RBTEeprom), eeprom);
        EXPECT_EQ(intValue(panelHandle, RBTFile), file);
    }
};

TEST_F(TargetSelection, SwitchingEepromOnLightsItAloneAndMakesItTheTarget) {
    SetCtrlVal(panelHandle, RBTEeprom, 1);
    CC_RBTEeprom(panelHandle, RBTEeprom, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(target, EEPROM);
    expectLit(0, 1, 0);
}

TEST_F(TargetSelection, SwitchingFileOnLightsItAloneAndMakesItTheTarget) {
    SetCtrlVal(panelHandle, RBTEeprom, 1); // left lit by an earlier choice
    SetCtrlVal(panelHandle, RBTFile, 1);
    CC_RBTFile(panelHandle, RBTFile, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(target, DATFILE);
    expectLit(0, 0, 1);
}

TEST_F(TargetSelection, SwitchingRamOnLightsItAlone) {
    target = EEPROM;
    SetCtrlVal(panelHandle, RBTRam, 1);
    SetCtrlVal(panelHandle, RBTEeprom, 1);
    CC_RBTRam(panelHandle, RBTRam, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(target, RAM);
    expectLit(1, 0, 0);
}

TEST_F(TargetSelection, ClickingFileTwiceFallsBackToRam) {
    QWidget *file = byName(panelHandle, "RBTFile");
    ASSERT_NE(file, nullptr);
    clickIndicator(file);
    EXPECT_EQ(target, DATFILE);
    expectLit(0, 0, 1);

    clickIndicator(file); // switched off again
    EXPECT_EQ(target, RAM);
    expectLit(1, 0, 0);
}

TEST_F(TargetSelection, SwitchingEepromOffFallsBackToRam) {
    SetCtrlVal(panelHandle, RBTRam, 0);
    SetCtrlVal(panelHandle, RBTEeprom, 0);
    target = EEPROM;
    CC_RBTEeprom(panelHandle, RBTEeprom, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(target, RAM);
    expectLit(1, 0, 0);
}

TEST_F(TargetSelection, RamCannotBeSwitchedOff) {
    clickIndicator(byName(panelHandle, "RBTRam"));
    EXPECT_EQ(target, RAM);
    expectLit(1, 0, 0);
}

TEST_F(TargetSelection, OtherEventsChangeNothing) {
    SetCtrlVal(panelHandle, RBTFile, 1);
    for (int event : {EVENT_COMMIT, EVENT_LEFT_CLICK}) {
        CC_RBTFile(panelHandle, RBTFile, event, nullptr, 0, 0);
        CC_RBTEeprom(panelHandle, RBTEeprom, event, nullptr, 0, 0);
        CC_RBTRam(panelHandle, RBTRam, event, nullptr, 0, 0);
    }
    EXPECT_EQ(target, RAM);
    expectLit(1, 0, 1);
}

} // namespace
} // namespace params_test
