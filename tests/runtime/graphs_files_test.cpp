// Graph plots and cursors, the strip chart, Fmt, the file dialog hook and the
// array files, on the real panel file.
#include <gtest/gtest.h>

#include <QMenuBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

#include <qcustomplot.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "recorder.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"

namespace {

class RuntimeGraphs : public testing::Test {
  protected:
    void SetUp() override {
        registerRecorders();
        main_ = LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL);
        ASSERT_GT(main_, 0);
    }
    void TearDown() override { DiscardPanel(main_); }
    int main_ = -1;
};

TEST_F(RuntimeGraphs, DeletingAllPlotsKeepsTheCursors) {
    SetGraphCursor(main_, GRAPH_Raw, 2, 100.0, 0.75);
    PlotRectangle(main_, GRAPH_Raw, 10, 0.25, 20, 1.0, 0xFF0000, 0xFF0000);
    const unsigned short x[3] = {1, 2, 3}, y[3] = {4, 5, 6};
    PlotXY(main_, GRAPH_Raw, x, y, 3, VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER, 5, 10,
           0, 1, 0x008000);
    EXPECT_EQ(rt::graphRectangles(main_, GRAPH_Raw).size(), 1u);
    EXPECT_EQ(rt::graphCurves(main_, GRAPH_Raw).size(), 1u);
    EXPECT_EQ(DeleteGraphPlot(main_, GRAPH_Raw, VAL_ALL_PLOTS, VAL_DELAYED_DRAW), 0);
    EXPECT_TRUE(rt::graphRectangles(main_, GRAPH_Raw).empty());
    EXPECT_TRUE(rt::graphCurves(main_, GRAPH_Raw).empty());
    double cx = 0, cy = 0;
    GetGraphCursor(main_, GRAPH_Raw, 2, &cx, &cy);
    EXPECT_EQ(cx, 100.0);
    EXPECT_EQ(cy, 0.75);
}

TEST_F(RuntimeGraphs, RectangleKeepsCornersAndColours) {
    PlotRectangle(main_, GRAPH_Raw, -50, 0.0, 150, 0.25, 0x00FF00, 0x00FF00);
    const auto rects = rt::graphRectangles(main_, GRAPH_Raw);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].x1, -50.0);
    EXPECT_EQ(rects[0].x2, 150.0);
    EXPECT_EQ(rects[0].y2, 0.25);
    EXPECT_EQ(rects[0].fillColor, 0x00FF00);
}

// The loops delete a graph's rectangles and plot them again on every frame:
// what the graph then shows is the rectangles plotted since, the later ones
// over the earlier.
TEST_F(RuntimeGraphs, RectanglesShowAsPlottedSinceTheLastDelete) {
    SetAxisScalingMode(main_, GRAPH_Raw, VAL_XAXIS, VAL_MANUAL, 0, 300);
    SetAxisScalingMode(main_, GRAPH_Raw, VAL_LEFT_YAXIS, VAL_MANUAL, 0, 1);
    QWidget *graph = rt::controlWidget(main_, GRAPH_Raw);
    ASSERT_NE(graph, nullptr);
    graph->resize(400, 200);
    const QColor red(0xFF, 0, 0), green(0, 0xFF, 0), blue(0, 0, 0xFF);
    // The colour in the middle of the graph, where all rectangles overlap.
    auto middle = [&] { return graph->grab().toImage().pixelColor(graph->rect().center()); };
    auto plot = [&](QColor c) {
        PlotRectangle(main_, GRAPH_Raw, 100, 0, 200, 1, int(c.rgb() & 0xFFFFFF),
                      int(c.rgb() & 0xFFFFFF));
    };
    plot(red);
    plot(green);
    EXPECT_EQ(middle(), green);
    DeleteGraphPlot(main_, GRAPH_Raw, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    EXPECT_NE(middle(), green);
    EXPECT_NE(middle(), red);
    plot(green);
    plot(red);
    EXPECT_EQ(middle(), red);
    DeleteGraphPlot(main_, GRAPH_Raw, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    plot(blue); // one more than were deleted
    plot(green);
    plot(red);
    EXPECT_EQ(middle(), red);
    EXPECT_EQ(rt::graphRectangles(main_, GRAPH_Raw).size(), 3u);
}

// Frame after frame, rectangles plotted apart each show where they lie, and
// the graph holds no more items than it shows.
TEST_F(RuntimeGraphs, RectanglesPlottedEveryFrameEachShowAndDoNotPileUp) {
    SetAxisScalingMode(main_, GRAPH_Raw, VAL_XAXIS, VAL_MANUAL, 0, 300);
    SetAxisScalingMode(main_, GRAPH_Raw, VAL_LEFT_YAXIS, VAL_MANUAL, 0, 1);
    auto *graph = qobject_cast<QCustomPlot *>(rt::controlWidget(main_, GRAPH_Raw));
    ASSERT_NE(graph, nullptr);
    graph->resize(400, 200);
    const int itemsBefore = graph->itemCount();
    const struct {
        double x1, x2;
        QColor colour;
    } rects[] = {{0, 100, QColor(0xFF, 0, 0)}, {200, 300, QColor(0, 0, 0xFF)}};
    for (int frame = 0; frame < 3; ++frame) {
        DeleteGraphPlot(main_, GRAPH_Raw, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
        for (const auto &r : rects)
            PlotRectangle(main_, GRAPH_Raw, r.x1, 0, r.x2, 1, int(r.colour.rgb() & 0xFFFFFF),
                          int(r.colour.rgb() & 0xFFFFFF));
        const QImage shown = graph->grab().toImage();
        for (const auto &r : rects) {
            const QPoint at(int(graph->xAxis->coordToPixel((r.x1 + r.x2) / 2)),
                            int(graph->yAxis->coordToPixel(0.5)));
            EXPECT_EQ(shown.pixelColor(at), r.colour) << "frame " << frame << " at " << r.x1;
        }
        EXPECT_EQ(graph->itemCount(), itemsBefore + 2) << "frame " << frame;
    }
}

TEST_F(RuntimeGraphs, SingleDeleteRemovesOnlyThatPlot) {
    const int a = PlotRectangle(main_, GRAPH_Raw, 1, 0, 2, 1, 0, 0);
    PlotRectangle(main_, GRAPH_Raw, 3, 0, 4, 1, 0, 0);
    EXPECT_EQ(DeleteGraphPlot(main_, GRAPH_Raw, a, VAL_IMMEDIATE_DRAW), 0);
    ASSERT_EQ(rt::graphRectangles(main_, GRAPH_Raw).size(), 1u);
    EXPECT_EQ(rt::graphRectangles(main_, GRAPH_Raw)[0].x1, 3.0);
    EXPECT_LT(DeleteGraphPlot(main_, GRAPH_Raw, a, VAL_IMMEDIATE_DRAW), 0);
}

TEST_F(RuntimeGraphs, ManualAxisRangesAreSet) {
    SetAxisScalingMode(main_, GRAPH_Data, VAL_XAXIS, VAL_MANUAL, 100.0, 356.0);
    SetAxisScalingMode(main_, GRAPH_Data, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 1023.0);
    double lo = 0, hi = 0;
    rt::graphAxisRange(main_, GRAPH_Data, VAL_XAXIS, &lo, &hi);
    EXPECT_EQ(lo, 100.0);
    EXPECT_EQ(hi, 356.0);
    rt::graphAxisRange(main_, GRAPH_Data, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_EQ(hi, 1023.0);
}

TEST_F(RuntimeGraphs, StripChartShowsTheHistoryItIsHandedAsFiveTraces) {
    double history[500];
    for (int i = 0; i < 500; ++i)
        history[i] = i;
    SetCtrlAttribute(main_, STRIP_Trend, ATTR_NUM_TRACES, 5);
    SetTraceAttribute(main_, STRIP_Trend, 4, ATTR_TRACE_COLOR, 0xFF0000);
    PlotStripChart(main_, STRIP_Trend, history, 500, 0, 0, VAL_DOUBLE);
    const auto traces = rt::stripChartTraces(main_, STRIP_Trend);
    ASSERT_EQ(traces.size(), 5u);
    for (const auto &t : traces)
        ASSERT_EQ(t.size(), 100u);
    EXPECT_EQ(traces[0][0], 0.0);
    EXPECT_EQ(traces[4][99], 499.0);
    EXPECT_EQ(traces[2][1], 7.0);
    EXPECT_EQ(rt::stripChartTraceColor(main_, STRIP_Trend, 4), 0xFF0000);
}

TEST_F(RuntimeGraphs, CurveKeepsItsPointsInPlotOrder) {
    unsigned short x[256], y[256];
    for (int i = 0; i < 256; ++i) {
        x[i] = static_cast<unsigned short>(65400 + i); // a 16-bit window that wraps
        y[i] = static_cast<unsigned short>(i * 4);
    }
    PlotXY(main_, GRAPH_Data, x, y, 256, VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER, 5,
           10, 0, 1, 0xFF0000);
    const auto curves = rt::graphCurves(main_, GRAPH_Data);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].x[255], 119.0);
    EXPECT_EQ(curves[0].y[255], 1020.0);
    EXPECT_EQ(curves[0].color, 0xFF0000);
}

TEST_F(RuntimeGraphs, NewTextControlShowsProgramTextWithItsAttributes) {
    const int id = NewCtrl(main_, CTRL_TEXT_MSG, "", 30, 175);
    ASSERT_GT(id, 45);
    SetCtrlAttribute(main_, id, ATTR_TEXT_BGCOLOR, 0x0080FF);
    SetCtrlAttribute(main_, id, ATTR_TEXT_POINT_SIZE, 18);
    SetCtrlVal(main_, id, "7.8\xB5m");
    char text[260];
    GetCtrlVal(main_, id, text);
    EXPECT_STREQ(text, "7.8\xB5m");
    int v = 0;
    GetCtrlAttribute(main_, id, ATTR_TEXT_BGCOLOR, &v);
    EXPECT_EQ(v, 0x0080FF);
    GetCtrlAttribute(main_, id, ATTR_TEXT_POINT_SIZE, &v);
    EXPECT_EQ(v, 18);
    EXPECT_EQ(rt::controlWidget(main_, id)->pos(), QPoint(175, 30));

    // Panel coordinates start under the window's menu bar.
    QWidget *root = rt::panelWidget(main_);
    if (!root->layout())
        new QVBoxLayout(root);
    auto *bar = new QMenuBar(root);
    bar->addMenu(QStringLiteral("&File"));
    root->layout()->setMenuBar(bar);
    ASSERT_GT(bar->sizeHint().height(), 0);
    const int below = NewCtrl(main_, CTRL_TEXT_MSG, "", 30, 175);
    EXPECT_EQ(rt::controlWidget(main_, below)->pos(), QPoint(175, 30 + bar->sizeHint().height()));
}

TEST(RuntimeFmt, EachIntegerBecomesItsLowByte) {
    int words[36] = {0x0041, 0x1242, 0x0000, 0x0043};
    char text[72];
    std::memset(text, 'x', sizeof text);
    Fmt(text, "%72c<%36i", words);
    EXPECT_STREQ(text, "AB");
    for (int i = 0; i < 36; ++i)
        words[i] = 0x3000 + 'a' + (i % 26);
    Fmt(text, "%72c<%36i", words);
    EXPECT_EQ(std::strlen(text), 36u);
    EXPECT_EQ(text[0], 'a');
    EXPECT_LT(Fmt(text, "%d", words), 0);
}

class RuntimeFiles : public testing::Test {
  protected:
    std::string path(const char *name) const {
        return dir_.filePath(QString::fromLatin1(name)).toStdString();
    }
    QTemporaryDir dir_;
};

TEST_F(RuntimeFiles, ArrayFileHoldsOneRightAlignedNumberPerLine) {
    const unsigned int values[4] = {500, 0, 65535, 7};
    const std::string file = path("p.dat");
    ASSERT_EQ(ArrayToFile(file.c_str(), values, VAL_UNSIGNED_INTEGER, 4, 1, 0, 0, 0, 4, VAL_ASCII,
                          VAL_TRUNCATE),
              0);
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), " 500\n   0\n65535\n   7\n");
    unsigned int back[4] = {};
    ASSERT_EQ(FileToArray(file.c_str(), back, VAL_UNSIGNED_INTEGER, 4, 1, 0, 0, VAL_ASCII), 0);
    EXPECT_EQ(back[2], 65535u);
}

TEST_F(RuntimeFiles, ShortMalformedOrMissingFileLeavesTheArrayAlone) {
    unsigned int values[3] = {9, 9, 9};
    const std::string shortFile = path("short.dat"), bad = path("bad.dat");
    std::ofstream(shortFile) << "1\n2\n";
    std::ofstream(bad) << "1\nzwei\n3\n";
    EXPECT_LT(FileToArray(shortFile.c_str(), values, VAL_UNSIGNED_INTEGER, 3, 1, 0, 0, VAL_ASCII),
              0);
    EXPECT_LT(FileToArray(bad.c_str(), values, VAL_UNSIGNED_INTEGER, 3, 1, 0, 0, VAL_ASCII), 0);
    EXPECT_LT(
        FileToArray(path("none.dat").c_str(), values, VAL_UNSIGNED_INTEGER, 3, 1, 0, 0, VAL_ASCII),
        0);
    EXPECT_EQ(values[0], 9u);
    EXPECT_EQ(values[2], 9u);
}

TEST_F(RuntimeFiles, ReaderAcceptsWhiteSpaceAndKeepsLow32Bits) {
    const std::string file = path("ws.dat");
    std::ofstream(file) << "  12 \r\n\t4294967297\n 3";
    unsigned int values[3] = {};
    ASSERT_EQ(FileToArray(file.c_str(), values, VAL_UNSIGNED_INTEGER, 3, 1, 0, 0, VAL_ASCII), 0);
    EXPECT_EQ(values[0], 12u);
    EXPECT_EQ(values[1], 1u);
    EXPECT_EQ(values[2], 3u);
}

} // namespace
