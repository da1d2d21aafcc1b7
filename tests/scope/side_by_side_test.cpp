// View > "Trend and video side by side" on a 1920x1080 screen: both graphs
// show next to each other while a loop hides one of them, each keeps its
// last picture, and unchecking gives the loop's choice back.
#include "tests/display/display_test_support.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QScreen>

#include <cstdlib>

#include "display/trend_chart.h"
#include "display/video_view.h"
#include "scope/attach_scope.h"
#include "tests/window/temp_settings.h"

using namespace display_test;

namespace {

// Before the run-time starts: the offscreen platform with one wide screen.
const bool wideScreen = [] {
    const QString file = QDir::temp().filePath("vexa-scope-wide-screen.json");
    QFile config(file);
    if (config.open(QIODevice::WriteOnly))
        config.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920,
                         "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).toLocal8Bit().constData(), 1);
    return true;
}();

class SideBySide : public PanelTest {
  protected:
    window_test::TempSettings settings;
};

TEST_F(SideBySide, BothGraphsShowNextToEachOtherWhileTheLoopsHideOne) {
    ASSERT_EQ(rt::panelWidget(panelHandle)->screen()->availableGeometry().width(), 1920);
    AttachScope(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data);
    QAction *item = rt::panelWidget(panelHandle)->findChild<QAction *>("actionSideBySide");
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    Settle();
    // What the Run loop does first: the trend takes the video graph's place.
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 1);
    PlotRAWGraph();
    Settle();
    QWidget *trend = rt::controlWidget(panelHandle, STRIP_Trend);
    QWidget *video = rt::controlWidget(panelHandle, GRAPH_Data);
    EXPECT_TRUE(trend->isVisible());
    EXPECT_TRUE(video->isVisible());
    EXPECT_FALSE(Visible(GRAPH_Data)); // the program reads what it set
    EXPECT_EQ(trend->y(), video->y());
    EXPECT_FALSE(trend->geometry().intersects(video->geometry()));

    item->trigger();
    Settle();
    EXPECT_TRUE(trend->isVisible());
    EXPECT_FALSE(video->isVisible());
}

} // namespace
