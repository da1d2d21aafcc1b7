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

// The program sees a button's new state on its value-changed event: on, it
// lights that button alone and makes it the target; off, back to RAM.
TEST_F(TargetSelection, ASwitchedButtonLightsAloneOrFallsBackToRam) {
    using Callback = int (*)(int, int, int, void *, int, int);
    const struct {
        const char *name;
        int button;
        Callback callback;
        int litBefore[3]; // RAM, EEPROM, file, with the new state of `button`
        int targetBefore, targetAfter;
        int litAfter[3];
    } cases[] = {
        {"EEPROM on", RBTEeprom, CC_RBTEeprom, {1, 1, 0}, RAM, EEPROM, {0, 1, 0}},
        {"file on", RBTFile, CC_RBTFile, {0, 1, 1}, EEPROM, DATFILE, {0, 0, 1}},
        {"RAM on", RBTRam, CC_RBTRam, {1, 1, 0}, EEPROM, RAM, {1, 0, 0}},
        {"EEPROM off", RBTEeprom, CC_RBTEeprom, {0, 0, 0}, EEPROM, RAM, {1, 0, 0}},
        {"file off", RBTFile, CC_RBTFile, {0, 0, 0}, DATFILE, RAM, {1, 0, 0}},
    };
    for (const auto &c : cases) {
        SetCtrlVal(panelHandle, RBTRam, c.litBefore[0]);
        SetCtrlVal(panelHandle, RBTEeprom, c.litBefore[1]);
        SetCtrlVal(panelHandle, RBTFile, c.litBefore[2]);
        target = c.targetBefore;
        c.callback(panelHandle, c.button, EVENT_VAL_CHANGED, nullptr, 0, 0);
        EXPECT_EQ(target, c.targetAfter) << c.name;
        EXPECT_EQ(intValue(panelHandle, RBTRam), c.litAfter[0]) << c.name;
        EXPECT_EQ(intValue(panelHandle, RBTEeprom), c.litAfter[1]) << c.name;
        EXPECT_EQ(intValue(panelHandle, RBTFile), c.litAfter[2]) << c.name;
    }
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
