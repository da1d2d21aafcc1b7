// The panel file against the control inventory the program relies on.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QWidget>

#include <algorithm>
#include <string>

#include "../runtime/recorder.h"
#include "params/parameter_table.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"

namespace {

struct Entry {
    int panel; // PANEL or CCDPANEL
    int id;
    const char *name;
    const char *kind;
    const char *callback; // "" when none
};

const Entry inventory[] = {
    {PANEL, DropDCom, "DropDCom", "QComboBox", "CC_DropDCom"},
    {PANEL, RING_RS232Mode, "RING_RS232Mode", "QComboBox", ""},
    {PANEL, RBTFile, "RBTFile", "QRadioButton", "CC_RBTFile"},
    {PANEL, RBTEeprom, "RBTEeprom", "QRadioButton", "CC_RBTEeprom"},
    {PANEL, RBTRam, "RBTRam", "QRadioButton", "CC_RBTRam"},
    {PANEL, BIN_Polarity, "BIN_Polarity", "QCheckBox", ""},
    {PANEL, RING_EdgeMode, "RING_EdgeMode", "QComboBox", ""},
    {PANEL, NUM_Mvalue, "NUM_Mvalue", "QSpinBox", ""},
    {PANEL, NUM_TeachValue, "NUM_TeachValue", "QSpinBox", ""},
    {PANEL, NUM_AnaMin, "NUM_AnaMin", "QSpinBox", ""},
    {PANEL, NUM_AnaMax, "NUM_AnaMax", "QSpinBox", ""},
    {PANEL, NUM_Tolerance, "NUM_Tolerance", "QSpinBox", ""},
    {PANEL, NUM_Ledge, "NUM_Ledge", "QSpinBox", ""},
    {PANEL, NUM_Redge, "NUM_Redge", "QSpinBox", ""},
    {PANEL, NEDITVideoThreshold, "NEDITVideoThreshold", "QSpinBox", "CC_NEDITVideoThreshold"},
    {PANEL, NEDITEdgeRight, "NEDITEdgeRight", "QSpinBox", "CC_NEDITEdgeRight"},
    {PANEL, NEDITEdgeLeft, "NEDITEdgeLeft", "QSpinBox", "CC_NEDITEdgeLeft"},
    {PANEL, TEXT_Status, "TEXT_Status", "QLabel", ""},
    {PANEL, GRAPH_Data, "GRAPH_Data", "QCustomPlot", ""},
    {PANEL, GRAPH_Raw, "GRAPH_Raw", "QCustomPlot", ""},
    {PANEL, NEDITPower, "NEDITPower", "QSpinBox", ""},
    {PANEL, STRIP_Trend, "STRIP_Trend", "QCustomPlot", ""},
    {PANEL, CTRL_Busy1, "BTNRun", "QPushButton", "CC_BTNRun"},
    {PANEL, CTRL_Busy2, "BTNData", "QPushButton", "CC_BTNData"},
    {PANEL, CTRL_Busy3, "BTNGet", "QPushButton", "CC_BTNGet"},
    {PANEL, 41, "BTNStop", "QPushButton", "CC_BTNStop"},
    {PANEL, 42, "BTNSend", "QPushButton", "CC_BTNSend"},
    {PANEL, 43, "ButtonTeach", "QPushButton", "CC_ButtonTeach"},
    {PANEL, 44, "ButtonReset", "QPushButton", "CC_ButtonReset"},
    {PANEL, 45, "BTN_CCDSettings", "QPushButton", "CC_BTN_CCDSettings"},
    {CCDPANEL, TEXTBOX_CCDInfo, "TEXTBOX_CCDInfo", "QPlainTextEdit", ""},
    {CCDPANEL, NSLIDE_PixelStart, "NSLIDE_PixelStart", "QSlider", "CC_NSLIDE_PixelStart"},
    {CCDPANEL, NUM_PixelEnd, "NUM_PixelEnd", "QSpinBox", ""},
    {CCDPANEL, NEDITBVal, "NEDITBVal", "QSpinBox", ""},
    {CCDPANEL, BIN_Sw_EnableTol, "BIN_Sw_EnableTol", "QCheckBox", "CC_BIN_Sw_EnableTol"},
    {CCDPANEL, BIN_Switch_VGain, "BIN_Switch_VGain", "QCheckBox", "CC_BIN_Switch_VGain"},
    {CCDPANEL, RING_AnaMode, "RING_AnaMode", "QComboBox", ""},
    {CCDPANEL, RING_CCDMode, "RING_CCDMode", "QComboBox", "CC_RING_CCDMode"},
    {CCDPANEL, NEDITTolerance, "NEDITTolerance", "QSpinBox", "CC_NEDITTolerance"},
    {CCDPANEL, NEDITTeach, "NEDITTeach", "QSpinBox", "CC_NEDITTeach"},
};

class PanelContract : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        registerRecorders();
        handles_[PANEL] = LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL);
        handles_[CCDPANEL] = LoadPanel(handles_[PANEL], VEXA_PANEL_FILE_PATH, CCDPANEL);
    }
    static void TearDownTestSuite() {
        DiscardPanel(handles_[CCDPANEL]);
        DiscardPanel(handles_[PANEL]);
    }
    static int handle(int resource) { return handles_[resource]; }
    static inline int handles_[3] = {};
};

TEST_F(PanelContract, BothPanelsLoad) {
    EXPECT_GT(handle(PANEL), 0);
    EXPECT_GT(handle(CCDPANEL), 0);
    EXPECT_EQ(rt::panelWidget(handle(PANEL))->property("callback").toString(), "CC_PANEL");
}

TEST_F(PanelContract, EveryInventoryControlHasItsNameKindAndCallback) {
    for (const Entry &e : inventory) {
        SCOPED_TRACE(e.name);
        QWidget *w = rt::controlWidget(handle(e.panel), e.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->objectName().toStdString(), e.name);
        EXPECT_TRUE(w->inherits(e.kind)) << w->metaObject()->className();
        EXPECT_EQ(w->property("callback").toString().toStdString(), e.callback);
    }
}

TEST_F(PanelContract, SelectorsHoldACaptionedEntryForEveryValueInUse) {
    const struct {
        int panel, id, lastValue;
    } selectors[] = {{PANEL, RING_RS232Mode, 1},
                     {PANEL, RING_EdgeMode, 4},
                     {CCDPANEL, RING_AnaMode, 4},
                     {CCDPANEL, RING_CCDMode, 2}};
    for (const auto &s : selectors) {
        const int panel = handle(s.panel);
        int original = 0;
        GetCtrlVal(panel, s.id, &original);
        for (int v = 0; v <= s.lastValue; ++v) {
            ASSERT_EQ(SetCtrlVal(panel, s.id, v), 0) << s.id << " value " << v;
            int back = -1;
            GetCtrlVal(panel, s.id, &back);
            EXPECT_EQ(back, v);
            EXPECT_FALSE(
                qobject_cast<QComboBox *>(rt::controlWidget(panel, s.id))->currentText().isEmpty());
        }
        SetCtrlVal(panel, s.id, original);
    }
    for (int port = 1; port <= 8; ++port) {
        ASSERT_EQ(SetCtrlVal(handle(PANEL), DropDCom, port), 0);
        int back = 0;
        GetCtrlVal(handle(PANEL), DropDCom, &back);
        EXPECT_EQ(back, port);
    }
    SetCtrlVal(handle(PANEL), DropDCom, 1);
}

TEST_F(PanelContract, SwitchesAndParameterNumericsCarryUnsigned16BitValues) {
    const int binary[][2] = {
        {PANEL, BIN_Polarity}, {CCDPANEL, BIN_Sw_EnableTol}, {CCDPANEL, BIN_Switch_VGain}};
    for (const auto &b : binary)
        for (int v : {0, 1}) {
            SetCtrlVal(handle(b[0]), b[1], v);
            unsigned short back = 9;
            GetCtrlVal(handle(b[0]), b[1], &back);
            EXPECT_EQ(back, v);
        }
    SetCtrlVal(handle(PANEL), NEDITPower, 65535);
    unsigned short power = 0;
    GetCtrlVal(handle(PANEL), NEDITPower, &power);
    EXPECT_EQ(power, 65535);
    SetCtrlVal(handle(PANEL), NEDITPower, 500);
}

// The panels start as the program's start values; the transfer target on RAM.
TEST_F(PanelContract, InitialValuesAreTheProgramDefaults) {
    for (const ParameterEntry &p : parameterTable) {
        if (!p.panel)
            continue; // para15 has no control
        int v = -1;
        GetCtrlVal(handle(p.panel == &panelPopUp ? CCDPANEL : PANEL), p.control, &v);
        EXPECT_EQ(v, p.start) << p.name;
    }
    const int targets[][2] = {{RBTRam, 1}, {RBTEeprom, 0}, {RBTFile, 0}};
    for (const auto &t : targets) {
        int v = -1;
        GetCtrlVal(handle(PANEL), t[0], &v);
        EXPECT_EQ(v, t[1]) << "control " << t[0];
    }
}

TEST_F(PanelContract, EveryControlHasAUniqueAccessibleName) {
    QSet<QString> names;
    for (int resource : {PANEL, CCDPANEL})
        for (QWidget *w : rt::panelWidget(handle(resource))->findChildren<QWidget *>()) {
            if (!w->property("controlId").isValid() ||
                w->window() != rt::panelWidget(handle(resource)))
                continue; // the child panel's controls are counted with it
            SCOPED_TRACE(w->objectName().toStdString());
            EXPECT_FALSE(w->accessibleName().isEmpty());
            EXPECT_FALSE(names.contains(w->accessibleName()));
            names.insert(w->accessibleName());
        }
    EXPECT_GE(names.size(), 40);
}

TEST_F(PanelContract, VideoGraphAndTrendShareOneAreaWithOneShown) {
    int dataVisible = 0, trendVisible = 0;
    GetCtrlAttribute(handle(PANEL), GRAPH_Data, ATTR_VISIBLE, &dataVisible);
    GetCtrlAttribute(handle(PANEL), STRIP_Trend, ATTR_VISIBLE, &trendVisible);
    EXPECT_EQ(dataVisible + trendVisible, 1);
    EXPECT_EQ(rt::controlWidget(handle(PANEL), GRAPH_Data)->parentWidget(),
              rt::controlWidget(handle(PANEL), STRIP_Trend)->parentWidget());
}

bool isInput(QWidget *w) {
    return qobject_cast<QAbstractButton *>(w) || qobject_cast<QAbstractSpinBox *>(w) ||
           qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSlider *>(w) ||
           qobject_cast<QPlainTextEdit *>(w);
}

TEST_F(PanelContract, EveryControlAndInputHasATooltip) {
    int seen = 0;
    for (int resource : {PANEL, CCDPANEL})
        for (QWidget *w : rt::panelWidget(handle(resource))->findChildren<QWidget *>()) {
            const QString name = w->objectName();
            if (name.isEmpty() || name.startsWith("qt_"))
                continue; // the inner parts Qt builds into a control
            if (!w->property("controlId").isValid() && !isInput(w))
                continue;
            ++seen;
            EXPECT_FALSE(w->toolTip().trimmed().isEmpty()) << name.toStdString();
        }
    EXPECT_GE(seen, 40);
}

// The lowest value a parameter control can show: its own minimum, or the
// check's lower bound when that is higher.
int lowestShown(const QWidget *w, const ParameterEntry &p) {
    int widgetMin = 0;
    if (auto *spin = qobject_cast<const QSpinBox *>(w))
        widgetMin = spin->minimum();
    else if (auto *slider = qobject_cast<const QAbstractSlider *>(w))
        widgetMin = slider->minimum();
    return std::max<int>(widgetMin, p.lower);
}

QString replacementWords(const ParameterEntry &p) {
    if (!p.upperReplVar)
        return QString::number(p.upperRepl);
    if (p.upperReplVar == &ccdmaxpixel)
        return "the CCD's pixel count";
    return "(a replacement variable the tooltips do not know)";
}

bool mentions(const QString &tip, const QString &words) {
    return tip.contains(QRegularExpression("\\b" + QRegularExpression::escape(words) + "\\b"));
}

// A changed bound or replacement in the table, or a tooltip that no longer
// names it, fails here. A value a read replaces shows as the replacement, so
// the range shown runs up to the larger of the bound and the replacement.
TEST_F(PanelContract, ParameterTooltipsNameTheRangeCheckOfTheParameterTable) {
    int controls = 0;
    for (const ParameterEntry &p : parameterTable) {
        if (!p.panel)
            continue; // para15 has no control
        ++controls;
        QWidget *w =
            rt::controlWidget(handle(p.panel == &panelPopUp ? CCDPANEL : PANEL), p.control);
        ASSERT_NE(w, nullptr);
        const QString tip = w->toolTip().simplified(); // a tooltip wraps at any space
        SCOPED_TRACE(w->objectName().toStdString() + ": " + tip.toStdString());
        if (p.upper == NO_CHECK) {
            auto *combo = qobject_cast<QComboBox *>(w);
            ASSERT_NE(combo, nullptr) << "only selectors go unchecked";
            EXPECT_TRUE(mentions(tip, QString("0-%1").arg(combo->count() - 1)));
            EXPECT_TRUE(tip.contains("Not range-checked"));
            continue;
        }
        const int highest = std::max(p.upper, p.upperReplVar ? p.upper : p.upperRepl);
        EXPECT_TRUE(mentions(tip, QString("%1-%2").arg(lowestShown(w, p)).arg(highest)));
        EXPECT_TRUE(mentions(tip, QString("above %1").arg(p.upper)));
        EXPECT_TRUE(mentions(tip, "show as " + replacementWords(p)));
    }
    EXPECT_EQ(controls, 15);
}

} // namespace
