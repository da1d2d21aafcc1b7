// The CCD settings panel: showing and hiding it, and how its dependent
// controls follow the user's edits.
#include "panel_fixture.h"

#include <QComboBox>
#include <QSlider>

#include "params/ccd_settings_panel.h"

namespace params_test {
namespace {

class CcdSettingsPanel : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        DisplayPanel(panelPopUp);
        hidePopUp = 0;
        settle();
    }

    static bool popUpVisible() { return rt::panelWidget(panelPopUp)->isVisible(); }

    QSlider *slider() {
        return qobject_cast<QSlider *>(rt::controlWidget(panelPopUp, NSLIDE_PixelStart));
    }

    // Picks a CCD mode on the ring with the keyboard, from mode 0.
    void pickCcdMode(int mode) {
        auto *ring = qobject_cast<QComboBox *>(rt::controlWidget(panelPopUp, RING_CCDMode));
        ASSERT_NE(ring, nullptr);
        ring->setFocus();
        QTest::keyClick(ring, Qt::Key_Home);
        settle();
        for (int i = 0; i < mode; i++)
            QTest::keyClick(ring, Qt::Key_Down);
        settle();
        ASSERT_EQ(intValue(panelPopUp, RING_CCDMode), mode);
    }

    void expectWindowControlsDimmed(int dim) {
        EXPECT_EQ(dimmed(panelPopUp, NSLIDE_PixelStart), dim);
        EXPECT_EQ(dimmed(panelPopUp, NUM_PixelEnd), dim);
    }
};

TEST_F(CcdSettingsPanel, TwoClicksOnTheButtonShowThenHideIt) {
    HidePanel(panelPopUp);
    hidePopUp = 1;
    QWidget *button = byName(panelHandle, "BTN_CCDSettings");
    ASSERT_NE(button, nullptr);

    QTest::mouseClick(button, Qt::LeftButton);
    settle();
    EXPECT_TRUE(popUpVisible());
    EXPECT_EQ(hidePopUp, 0);

    QTest::mouseClick(button, Qt::LeftButton);
    settle();
    EXPECT_FALSE(popUpVisible());
    EXPECT_EQ(hidePopUp, 1);
}

TEST_F(CcdSettingsPanel, TheFlagDecidesNotTheVisibility) {
    hidePopUp = 1; // the panel is shown, but the flag says hidden
    CC_BTN_CCDSettings(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_TRUE(popUpVisible());
    EXPECT_EQ(hidePopUp, 0);
}

TEST_F(CcdSettingsPanel, ButtonIgnoresOtherEvents) {
    CC_BTN_CCDSettings(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0);
    CC_BTN_CCDSettings(panelHandle, 0, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_TRUE(popUpVisible());
    EXPECT_EQ(hidePopUp, 0);
}

TEST_F(CcdSettingsPanel, SliderDraggedPastTheLineIsHeldAt769On1024Pixels) {
    SetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_DIMMED, 0);
    slider()->setSliderDown(true);
    slider()->setSliderPosition(800);
    settle();
    EXPECT_EQ(intValue(panelPopUp, NSLIDE_PixelStart), 769);
    EXPECT_EQ(intValue(panelPopUp, NUM_PixelEnd), 1024);
    slider()->setSliderDown(false);
    settle();
    EXPECT_EQ(pStart, 1); // the variable follows only when the panels are read
}

// A window start that would run past the line is held where the 256-pixel
// window ends on the last pixel; a line shorter than the window starts at 1.
TEST_F(CcdSettingsPanel, SliderKeepsTheWindowOnTheLineAndShowsItsEnd) {
    const struct {
        unsigned short ccdmaxpixel;
        int start, shownStart, shownEnd;
    } cases[] = {
        {1024, 10, 10, 265},  {1024, 769, 769, 1024}, {1024, 800, 769, 1024}, {512, 257, 257, 512},
        {512, 300, 257, 512}, {255, 50, 1, 256},      {200, 50, 1, 256},
    };
    for (const auto &c : cases) {
        ccdmaxpixel = c.ccdmaxpixel;
        SetCtrlVal(panelPopUp, NSLIDE_PixelStart, c.start);
        CC_NSLIDE_PixelStart(panelPopUp, NSLIDE_PixelStart, EVENT_VAL_CHANGED, nullptr, 0, 0);
        EXPECT_EQ(intValue(panelPopUp, NSLIDE_PixelStart), c.shownStart)
            << c.start << " on " << c.ccdmaxpixel;
        EXPECT_EQ(intValue(panelPopUp, NUM_PixelEnd), c.shownEnd)
            << c.start << " on " << c.ccdmaxpixel;
    }
}

TEST_F(CcdSettingsPanel, SliderActsOnValueChangedOnly) {
    SetCtrlVal(panelPopUp, NSLIDE_PixelStart, 900);
    SetCtrlVal(panelPopUp, NUM_PixelEnd, 7);
    CC_NSLIDE_PixelStart(panelPopUp, NSLIDE_PixelStart, EVENT_COMMIT, nullptr, 0, 0);
    CC_NSLIDE_PixelStart(panelPopUp, NSLIDE_PixelStart, EVENT_LEFT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(intValue(panelPopUp, NSLIDE_PixelStart), 900);
    EXPECT_EQ(intValue(panelPopUp, NUM_PixelEnd), 7);
}

TEST_F(CcdSettingsPanel, CcdMode1EnablesTheWindowControls) {
    SetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelPopUp, NUM_PixelEnd, ATTR_DIMMED, 1);
    pickCcdMode(1);
    expectWindowControlsDimmed(0);
    EXPECT_EQ(ccdMode, 0); // the variable follows only when the panels are read
}

TEST_F(CcdSettingsPanel, CcdMode2DimsTheWindowControls) {
    pickCcdMode(1);
    pickCcdMode(2);
    expectWindowControlsDimmed(1);
}

TEST_F(CcdSettingsPanel, CcdMode0DimsTheWindowControlsAndSpansTheWholeLine) {
    ccdmaxpixel = 512;
    pixB = 300, pixE = 555;
    pickCcdMode(1);
    EXPECT_EQ(pixB, 300);
    pickCcdMode(0);
    expectWindowControlsDimmed(1);
    EXPECT_EQ(pixB, 1);
    EXPECT_EQ(pixE, 512);
}

TEST_F(CcdSettingsPanel, CcdModeActsOnCommitOnly) {
    SetCtrlVal(panelPopUp, RING_CCDMode, 1);
    CC_RING_CCDMode(panelPopUp, RING_CCDMode, EVENT_VAL_CHANGED, nullptr, 0, 0);
    CC_RING_CCDMode(panelPopUp, RING_CCDMode, EVENT_LEFT_CLICK, nullptr, 0, 0);
    expectWindowControlsDimmed(1); // as the panel file has them
    CC_RING_CCDMode(panelPopUp, RING_CCDMode, EVENT_COMMIT, nullptr, 0, 0);
    expectWindowControlsDimmed(0);
}

TEST_F(CcdSettingsPanel, EnableToleranceSwitchDimsTheToleranceWhileOn) {
    QWidget *toggle = rt::controlWidget(panelPopUp, BIN_Sw_EnableTol);
    SetCtrlVal(panelPopUp, BIN_Sw_EnableTol, 0);
    clickIndicator(toggle); // on
    EXPECT_EQ(intValue(panelPopUp, BIN_Sw_EnableTol), 1);
    EXPECT_EQ(dimmed(panelPopUp, NEDITTolerance), 1);
    clickIndicator(toggle); // off
    EXPECT_EQ(dimmed(panelPopUp, NEDITTolerance), 0);
    EXPECT_EQ(ePoti, 1); // the variable follows only when the panels are read
}

TEST_F(CcdSettingsPanel, ToleranceIsMirroredOnEveryChange) {
    SetCtrlAttribute(panelPopUp, NEDITTolerance, ATTR_DIMMED, 0);
    typeOnly(panelPopUp, NEDITTolerance, "3");
    EXPECT_EQ(intValue(panelHandle, NUM_Tolerance), 3);
    typeOnly(panelPopUp, NEDITTolerance, "37");
    EXPECT_EQ(intValue(panelHandle, NUM_Tolerance), 37);
    QTest::keyClick(rt::controlWidget(panelPopUp, NEDITTolerance), Qt::Key_Return);
    settle();
    EXPECT_EQ(intValue(panelHandle, NUM_Tolerance), 37);
    EXPECT_EQ(tTol, 100);
}

TEST_F(CcdSettingsPanel, TeachValueIsMirroredOnlyOnCommit) {
    const int before = intValue(panelHandle, NUM_TeachValue);
    typeOnly(panelPopUp, NEDITTeach, "42");
    EXPECT_EQ(intValue(panelHandle, NUM_TeachValue), before);
    QTest::keyClick(rt::controlWidget(panelPopUp, NEDITTeach), Qt::Key_Return);
    settle();
    EXPECT_EQ(intValue(panelHandle, NUM_TeachValue), 42);
    EXPECT_EQ(tVal, 512);
}

} // namespace
} // namespace params_test
