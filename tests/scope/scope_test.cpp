// Zoom, pan, freeze and the trend's auto-scale on the real panels: real
// wheel, mouse and key events on the graphs, frames drawn through the
// program's own plot calls and a Run loop against a scripted sensor.
#include "tests/display/display_test_support.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <qcustomplot.h>

#include "display/live_loop.h"
#include "display/raw_values.h"
#include "display/trend_chart.h"
#include "display/video_view.h"
#include "exporters/attach_export.h"
#include "glance/glance.h"
#include "menus/menu_bar.h"
#include "record/record_menu.h"
#include "runtime/view_hold.h"
#include "scope/attach_scope.h"
#include "tests/window/temp_settings.h"

using namespace display_test;

namespace {

struct Range {
    double xMin, xMax, yMin, yMax;
};

Range Ranges(int graph) {
    Range r{};
    AxisRange(graph, VAL_XAXIS, &r.xMin, &r.xMax);
    AxisRange(graph, VAL_LEFT_YAXIS, &r.yMin, &r.yMax);
    return r;
}

class Scope : public SensorTest {
  protected:
    void SetUp() override {
        SensorTest::SetUp();
        if (HasFatalFailure())
            return;
        AttachExport(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data);
        AttachGlance(panelHandle, TEXT_Status, GRAPH_Raw, STRIP_Trend);
        AttachRecording(panelHandle, TEXT_Status);
        AttachScope(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data);
        Window()->activateWindow();
        Settle();
    }
    void TearDown() override {
        rt::setDisplayFrozen(false);
        SensorTest::TearDown();
    }
    static QWidget *Window() { return rt::panelWidget(panelHandle); }
    static QCustomPlot *Plot(int graph) {
        return static_cast<QCustomPlot *>(rt::controlWidget(panelHandle, graph));
    }
    static QAction *Item(const char *name) { return Window()->findChild<QAction *>(name); }
    static bool NoteShown(int graph) {
        return Plot(graph)->findChild<QLabel *>("zoomNote")->isVisible();
    }
    static QPoint Middle(int graph) { return Plot(graph)->axisRect()->rect().center(); }

    window_test::TempSettings settings; // View > side by side reads them
};

void Wheel(QWidget *plot, QPoint at, Qt::KeyboardModifiers keys) {
    QWheelEvent turn(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, keys,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &turn);
}

// Through the window, as the system delivers them: a right press then also
// brings the graph's menu request.
void Drag(QWidget *plot, Qt::MouseButton button, Qt::KeyboardModifiers keys, QPoint from,
          QPoint to) {
    QWindow *window = plot->window()->windowHandle();
    auto at = [plot](QPoint p) { return plot->mapTo(plot->window(), p); };
    QTest::mousePress(window, button, keys, at(from));
    QTest::mouseMove(window, at(from + QPoint(1, 1)));
    QTest::mouseMove(window, at(to));
    QTest::mouseRelease(window, button, keys, at(to));
}

TEST_F(Scope, MouseZoomsAndPansTheGraphAndDoubleClickOrHomeBringsTheProgramsViewBack) {
    const int graph = GRAPH_Data; // shown until a Run
    QCustomPlot *plot = Plot(graph);
    int menus = 0;
    QObject::connect(plot, &QWidget::customContextMenuRequested, [&] { ++menus; });
    const Range design = Ranges(graph);
    const QPoint mid = Middle(graph), right = mid + QPoint(40, 0), low = mid + QPoint(40, 30);
    const double height = design.yMax - design.yMin;
    auto px = [&](int x) { return plot->xAxis->pixelToCoord(x); };
    const double at = px(mid.x()), to = px(right.x());
    const double inLeft = at + (design.xMin - at) * 0.8, inRight = at + (design.xMax - at) * 0.8;
    const struct {
        const char *gesture;
        std::function<void()> act;
        double xMin, xMax;
        double ySize; // as a share of the design's; 0: a band's, under half
        bool byHome;
    } rows[] = {
        {"wheel", [&] { Wheel(plot, mid, Qt::NoModifier); }, inLeft, inRight, 0.8, false},
        {"Shift+wheel", [&] { Wheel(plot, mid, Qt::ShiftModifier); }, inLeft, inRight, 1, true},
        {"Ctrl+wheel", [&] { Wheel(plot, mid, Qt::ControlModifier); }, design.xMin, design.xMax,
         0.8, false},
        {"left drag", [&] { Drag(plot, Qt::LeftButton, Qt::NoModifier, mid, right); },
         design.xMin + at - to, design.xMax + at - to, 1, true},
        {"right drag", [&] { Drag(plot, Qt::RightButton, Qt::NoModifier, mid, low); }, at, to, 0,
         false},
        {"Ctrl+left drag", [&] { Drag(plot, Qt::LeftButton, Qt::ControlModifier, mid, low); }, at,
         to, 0, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.gesture);
        row.act();
        const Range r = Ranges(graph);
        EXPECT_NEAR(r.xMin, row.xMin, 0.01);
        EXPECT_NEAR(r.xMax, row.xMax, 0.01);
        if (row.ySize > 0)
            EXPECT_NEAR((r.yMax - r.yMin) / height, row.ySize, 0.001);
        else
            EXPECT_LT(r.yMax - r.yMin, height / 2);
        EXPECT_TRUE(NoteShown(graph));
        if (row.byHome) {
            plot->setFocus();
            QTest::keyClick(plot, Qt::Key_Home);
        } else {
            QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, mid);
        }
        const Range back = Ranges(graph);
        EXPECT_EQ(back.xMin, design.xMin);
        EXPECT_EQ(back.xMax, design.xMax);
        EXPECT_EQ(back.yMax, design.yMax);
        EXPECT_FALSE(NoteShown(graph));
    }
    // The bands kept the graph's menu away; a right click without one opens it.
    EXPECT_EQ(menus, 0);
    Drag(plot, Qt::RightButton, Qt::NoModifier, mid, mid);
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(Ranges(graph).xMin, design.xMin);
}

TEST_F(Scope, AZoomedGraphKeepsItsRangeWhileFramesArriveAndItsResetShowsTheLatest) {
    Wheel(Plot(GRAPH_Raw), Middle(GRAPH_Raw), Qt::NoModifier);
    Wheel(Plot(GRAPH_Data), Middle(GRAPH_Data), Qt::NoModifier);
    const Range edge = Ranges(GRAPH_Raw), video = Ranges(GRAPH_Data);
    ccdMode = 1; // the window range from pix1, set on every frame
    pix1 = 300;
    PlotRAWValues();
    unsigned short samples[256] = {};
    PlotDATACurve(samples);
    EXPECT_EQ(Ranges(GRAPH_Raw).xMin, edge.xMin);
    EXPECT_EQ(Ranges(GRAPH_Raw).xMax, edge.xMax);
    EXPECT_EQ(Ranges(GRAPH_Data).yMax, video.yMax);
    QTest::mouseDClick(Plot(GRAPH_Raw), Qt::LeftButton, Qt::NoModifier, Middle(GRAPH_Raw));
    EXPECT_EQ(Ranges(GRAPH_Raw).xMin, 300);
    EXPECT_EQ(Ranges(GRAPH_Raw).xMax, 556);
}

TEST_F(Scope, AutoScaleFitsTheTrendsValueAxisAndOffGivesThePanelsRangeBack) {
    const Range design = Ranges(STRIP_Trend);
    tVal = 500;
    tTol = 50;
    Mvalue = 520;
    for (int i = 0; i < 100; ++i)
        PlotRAWGraph();
    Item("actionAutoScaleTrend")->trigger();
    EXPECT_GT(Ranges(STRIP_Trend).yMin, 400);
    EXPECT_LT(Ranges(STRIP_Trend).yMin, 450);
    EXPECT_GT(Ranges(STRIP_Trend).yMax, 550);
    EXPECT_LT(Ranges(STRIP_Trend).yMax, 600);
    Mvalue = 700; // followed on the next frame
    PlotRAWGraph();
    EXPECT_GT(Ranges(STRIP_Trend).yMax, 700);
    Item("actionAutoScaleTrend")->trigger();
    EXPECT_EQ(Ranges(STRIP_Trend).yMin, design.yMin);
    EXPECT_EQ(Ranges(STRIP_Trend).yMax, design.yMax);
}

TEST_F(Scope, FrozenIndicatorsAndTrendHoldWhileTheRecordingGrowsAndF9ShowsTheLatest) {
    Frame before, after;
    before.Mvalue = 300;
    after.Mvalue = 777;
    for (int i = 0; i < 20; ++i)
        sensor->script(sim::order::Frame, before.reply(), std::chrono::milliseconds(0),
                       sim::ScriptedSensor::Repeat::Once);
    sensor->script(sim::order::Frame, after.reply());
    QTemporaryDir dir;
    const QString path = dir.filePath("frames.csv");
    ASSERT_TRUE(Window()->findChild<record::RecordMenu *>()->startRecording(path));
    auto lines = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : -1;
    };
    auto *mvalue = static_cast<QSpinBox *>(rt::controlWidget(panelHandle, NUM_Mvalue));
    std::vector<std::vector<double>> trendAtFreeze;
    qsizetype linesAtFreeze = 0;
    bool checked = false;
    Poller steps([&] {
        if (trendAtFreeze.empty()) {
            if (mvalue->value() != 300)
                return false;
            QTest::keyClick(Window(), Qt::Key_F9);
            trendAtFreeze = rt::stripChartTraces(panelHandle, STRIP_Trend);
            linesAtFreeze = lines();
            return false;
        }
        // Past the 20 frames at 300, and the recording went on (it writes
        // every half second).
        if (CountOrders(sim::order::Frame) < 30 || lines() < linesAtFreeze + 5)
            return false;
        EXPECT_TRUE(Window()->windowTitle().endsWith("frozen"));
        EXPECT_TRUE(Window()->findChild<QLabel *>("statusFrozen")->isVisible());
        EXPECT_EQ(mvalue->value(), 300);
        EXPECT_EQ(rt::stripChartTraces(panelHandle, STRIP_Trend), trendAtFreeze);
        QTest::keyClick(Window(), Qt::Key_F9);
        EXPECT_EQ(mvalue->value(), 777);
        EXPECT_EQ(rt::stripChartTraces(panelHandle, STRIP_Trend)[3].back(), 777);
        EXPECT_FALSE(Window()->windowTitle().contains("frozen"));
        checked = true;
        ClickStop();
        return true;
    });
    SafetyStop safety(8000);
    CC_BTNRun(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_FALSE(safety.fired());
    EXPECT_TRUE(checked);
}

TEST_F(Scope, SideBySideIsGreyedWithItsReasonOnANarrowScreen) {
    QAction *item = Item("actionSideBySide");
    ASSERT_NE(item, nullptr);
    window::menu(Window(), window::TopMenu::View)->aboutToShow();
    EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(item->toolTip().startsWith("Needs a screen at least 1600 pixels wide"));
}

} // namespace
