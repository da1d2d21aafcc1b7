// How user actions on the real panel file reach the program's callbacks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "recorder.h"
#include "runtime/runtime.h"
#include "runtime/test_hooks.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"

namespace {

constexpr int BTNStop = 41;

class RuntimeEvents : public testing::Test {
  protected:
    void SetUp() override {
        registerRecorders();
        main_ = LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL);
        ASSERT_GT(main_, 0);
        popup_ = LoadPanel(main_, VEXA_PANEL_FILE_PATH, CCDPANEL);
        ASSERT_GT(popup_, 0);
        DisplayPanel(main_);
        settle();
        recorded().clear();
    }
    void TearDown() override {
        DiscardPanel(popup_);
        DiscardPanel(main_);
        settle();
    }
    static void settle() {
        for (int i = 0; i < 20; ++i)
            ProcessSystemEvents();
    }
    std::vector<int> eventsOf(int control) const {
        std::vector<int> out;
        for (const auto &e : recorded())
            if (e.control == control)
                out.push_back(e.event);
        return out;
    }
    QWidget *widget(int panel, int control) { return rt::controlWidget(panel, control); }
    int main_ = -1, popup_ = -1;
};

TEST_F(RuntimeEvents, MousePressOnButtonIsLeftClickThenReleaseCommits) {
    QWidget *stop = widget(main_, BTNStop);
    ASSERT_NE(stop, nullptr);
    QTest::mousePress(stop, Qt::LeftButton);
    settle();
    EXPECT_EQ(eventsOf(BTNStop), std::vector<int>{EVENT_LEFT_CLICK});
    QTest::mouseRelease(stop, Qt::LeftButton);
    settle();
    EXPECT_EQ(eventsOf(BTNStop), (std::vector<int>{EVENT_LEFT_CLICK, EVENT_COMMIT}));
}

TEST_F(RuntimeEvents, KeyboardActivationOfButtonIsCommitNeverLeftClick) {
    QWidget *stop = widget(main_, BTNStop);
    stop->setFocus();
    QTest::keyClick(stop, Qt::Key_Space);
    settle();
    EXPECT_EQ(eventsOf(BTNStop), std::vector<int>{EVENT_COMMIT});
}

TEST_F(RuntimeEvents, CallbacksRunOnlyFromEventProcessing) {
    QTest::mouseClick(widget(main_, BTNStop), Qt::LeftButton);
    EXPECT_TRUE(recorded().empty()); // delivered synchronously to Qt, but not yet run
    ProcessSystemEvents();
    EXPECT_FALSE(recorded().empty());
}

TEST_F(RuntimeEvents, ProgramWritesNeverRunCallbacks) {
    SetCtrlVal(main_, NEDITVideoThreshold, 700);
    SetCtrlVal(main_, DropDCom, 3);
    SetCtrlVal(main_, RBTEeprom, 1);
    SetCtrlVal(popup_, NSLIDE_PixelStart, 300);
    SetCtrlVal(popup_, BIN_Sw_EnableTol, 0);
    SetCtrlVal(popup_, RING_CCDMode, 2);
    SetCtrlAttribute(popup_, NSLIDE_PixelStart, ATTR_MAX_VALUE, 200); // clamps the value
    SetCtrlAttribute(main_, NEDITEdgeLeft, ATTR_DIMMED, 1);
    settle();
    EXPECT_TRUE(recorded().empty());
    int v = 0;
    GetCtrlVal(main_, DropDCom, &v);
    EXPECT_EQ(v, 3);
}

TEST_F(RuntimeEvents, TypingInNumericChangesValueOnEveryKeyAndCommitsOnEnter) {
    auto *spin = qobject_cast<QSpinBox *>(widget(main_, NEDITEdgeRight));
    ASSERT_NE(spin, nullptr);
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, "77");
    settle();
    EXPECT_EQ(eventsOf(NEDITEdgeRight), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_VAL_CHANGED}));
    QTest::keyClick(spin, Qt::Key_Return);
    settle();
    EXPECT_EQ(eventsOf(NEDITEdgeRight).back(), EVENT_COMMIT);
    unsigned short value = 0;
    GetCtrlVal(main_, NEDITEdgeRight, &value);
    EXPECT_EQ(value, 77);
}

TEST_F(RuntimeEvents, ArrowStepOnNumericIsValueChangedAndCommit) {
    QWidget *spin = widget(main_, NEDITEdgeLeft);
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    settle();
    EXPECT_EQ(eventsOf(NEDITEdgeLeft), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_COMMIT}));
}

TEST_F(RuntimeEvents, ClickIntoNumericIsLeftClick) {
    auto *spin = qobject_cast<QSpinBox *>(widget(main_, NEDITVideoThreshold));
    QTest::mousePress(spin->findChild<QLineEdit *>(), Qt::LeftButton);
    settle();
    EXPECT_EQ(eventsOf(NEDITVideoThreshold), std::vector<int>{EVENT_LEFT_CLICK});
}

TEST_F(RuntimeEvents, SelectorPickIsOneCommitEvenForTheSameEntry) {
    auto *combo = qobject_cast<QComboBox *>(widget(main_, DropDCom));
    ASSERT_NE(combo, nullptr);
    emit combo->activated(combo->currentIndex()); // what a pick from the list does
    settle();
    EXPECT_EQ(eventsOf(DropDCom), std::vector<int>{EVENT_COMMIT});
}

TEST_F(RuntimeEvents, SwitchToggleIsValueChangedAndCommit) {
    QWidget *box = widget(popup_, BIN_Sw_EnableTol);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); // on its box
    settle();
    const auto events = eventsOf(BIN_Sw_EnableTol);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0], EVENT_LEFT_CLICK);
    EXPECT_EQ(events[1], EVENT_VAL_CHANGED);
    EXPECT_EQ(events[2], EVENT_COMMIT);
    int v = 1;
    GetCtrlVal(popup_, BIN_Sw_EnableTol, &v);
    EXPECT_EQ(v, 0);
}

TEST_F(RuntimeEvents, LitRadioButtonCanBeSwitchedOffByTheUser) {
    QTest::mouseClick(widget(main_, RBTRam), Qt::LeftButton);
    settle();
    int v = 1;
    GetCtrlVal(main_, RBTRam, &v);
    EXPECT_EQ(v, 0);
    EXPECT_NE(std::find(eventsOf(RBTRam).begin(), eventsOf(RBTRam).end(), EVENT_VAL_CHANGED),
              eventsOf(RBTRam).end());
}

TEST_F(RuntimeEvents, DimmedControlIgnoresTheUser) {
    SetCtrlAttribute(main_, BTNStop, ATTR_DIMMED, 1);
    QTest::mouseClick(widget(main_, BTNStop), Qt::LeftButton);
    settle();
    EXPECT_TRUE(eventsOf(BTNStop).empty());
    int dimmed = 0;
    GetCtrlAttribute(main_, BTNStop, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 1);
}

TEST_F(RuntimeEvents, ClosingTheMainPanelAsksItsCallbackAndKeepsTheWindow) {
    QWidget *window = rt::panelWidget(main_);
    window->close();
    settle();
    ASSERT_EQ(recorded().size(), 1u);
    EXPECT_EQ(recorded()[0], (RecordedEvent{main_, -1, EVENT_CLOSE}));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(RuntimeEvents, ChildPanelIsAToolWindowOfTheMainPanel) {
    QWidget *child = rt::panelWidget(popup_);
    EXPECT_FALSE(child->isVisible());
    DisplayPanel(popup_);
    EXPECT_TRUE(child->isVisible());
    EXPECT_EQ(child->parentWidget(), rt::panelWidget(main_));
    EXPECT_EQ(child->windowType(), Qt::Tool);
    child->close(); // only the program hides it
    settle();
    EXPECT_TRUE(child->isVisible());
    HidePanel(popup_);
    EXPECT_FALSE(child->isVisible());
}

TEST(RuntimePanels, UnknownCallbackNameFailsTheLoad) {
    ClearRegisteredCallbacks();
    testing::internal::CaptureStderr();
    EXPECT_LT(LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("CC_"), std::string::npos) << err;
    registerRecorders();
}

TEST(RuntimePanels, MissingFileOrFormGivesNegativeHandle) {
    registerRecorders();
    EXPECT_LT(LoadPanel(0, "/nonexistent/VexaTBScope14.uir", PANEL), 0);
    EXPECT_LT(LoadPanel(0, VEXA_PANEL_FILE_PATH, 7), 0);
    EXPECT_LT(LoadPanel(0, "VexaTBScope14-missing.uir", PANEL), 0);
}

TEST(RuntimeEventLoop, ProcessSystemEventsRunsDeferredDeletes) {
    QPointer<QObject> object = new QObject;
    object->deleteLater();
    ProcessSystemEvents();
    EXPECT_TRUE(object.isNull());
}

TEST(RuntimeEventLoop, IdleProcessSystemEventsBlocksBrieflyInsteadOfSpinning) {
    ProcessSystemEvents();
    const double start = Timer();
    for (int i = 0; i < 50; ++i)
        ProcessSystemEvents();
    const double elapsed = Timer() - start;
    EXPECT_GT(elapsed, 0.025); // each idle call waits for the ~1 ms wake-up
}

TEST(RuntimeEventLoop, QuitBeforeRunReturnsAtOnceWithTheCode) {
    QuitUserInterface(5);
    EXPECT_EQ(RunUserInterface(), 5);
}

TEST(RuntimeEventLoop, QuitFromANestedWaitEndsTheLoopWhenControlIsBack) {
    bool nestedDone = false;
    QTimer::singleShot(0, [&] {
        QuitUserInterface(3);
        for (int i = 0; i < 5; ++i) // a wait loop inside a callback goes on
            ProcessSystemEvents();
        nestedDone = true;
    });
    EXPECT_EQ(RunUserInterface(), 3);
    EXPECT_TRUE(nestedDone);
}

} // namespace
