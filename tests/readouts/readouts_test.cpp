// Reading values off the real panels' graphs with real mouse events: the
// hover readouts, the measurement cursors and their differences, the trend
// chart's line styles, legend and time axis, and millimetres from each CCD
// description the sensor reports. Frames and video go through the program's
// stream and the design's own drawing, as the loops draw them.
#include "tests/display/display_test_support.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QMenu>
#include <qcustomplot.h>

#include "display/trend_chart.h"
#include "display/video_view.h"
#include "exporters/attach_export.h"
#include "glance/tool_tip_key.h"
#include "link/transactions.h"
#include "menus/menu_bar.h"
#include "readouts/attach_readouts.h"
#include "readouts/plot_readout.h"
#include "units/mm_scale.h"

using namespace display_test;

namespace {

using readouts::PlotReadout;

const stream::Clock::time_point T0 = stream::Clock::time_point(std::chrono::milliseconds(
    QDateTime(QDate(2026, 12, 8), QTime(13, 5, 1, 123)).toMSecsSinceEpoch()));

// A trend point as the Run loop makes it: its frame into the stream, then the
// chart. The band is 412 to 612.
void PlotPoint(int msAfterT0, unsigned short mvalue) {
    Mvalue = mvalue, tVal = 512, tTol = 100, anaMode = 0;
    stream::Frame frame;
    frame.time = T0 + std::chrono::milliseconds(msAfterT0);
    frame.words[FRAME_MVALUE] = mvalue;
    stream::programStream().publish(frame);
    PlotRAWGraph();
}

// A video pass on the full-line layout: pixel 4i, value 1000 - 3i, threshold 500.
void PlotVideo() {
    unsigned short y[256];
    for (int i = 0; i < 256; ++i) {
        xArray[i] = static_cast<unsigned short>(4 * i);
        y[i] = static_cast<unsigned short>(1000 - 3 * i);
        thdArray[i] = 500;
    }
    PlotDATACurve(y);
}

// A graph laid out; the edge graph one of its x units a screen pixel, so
// that the pointer lands on whole pixels of the line.
QCustomPlot *Laid(int control) {
    auto *plot = qobject_cast<QCustomPlot *>(rt::controlWidget(panelHandle, control));
    plot->replot();
    if (control == GRAPH_Raw) {
        SetAxisScalingMode(panelHandle, GRAPH_Raw, VAL_XAXIS, VAL_MANUAL, 0,
                           plot->axisRect()->width());
        plot->replot();
    }
    Settle();
    return plot;
}

class ReadoutsTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        AttachExport(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data);
        AttachReadouts(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data, &ccdtype, &ccdresolution);
        ccdtype = 1, ccdresolution = 250;
        PlotPoint(0, 300);
        PlotPoint(500, 350);
        PlotPoint(1250, 420);
        PlotVideo();
    }
    // The graph shown, laid out, with its readout.
    QCustomPlot *Show(int control) {
        SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, control != GRAPH_Data);
        SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, control == GRAPH_Data);
        return Laid(control);
    }
    static PlotReadout *Readout(QCustomPlot *plot) { return plot->findChild<PlotReadout *>(); }
    static QPoint At(QCustomPlot *plot, double x, int dx = 0) {
        return QPoint(qRound(plot->xAxis->coordToPixel(x)) + dx,
                      qRound(plot->yAxis->coordToPixel(plot->yAxis->range().center())));
    }
    // The right-click menu as the user opens it, and its item `text`.
    static QAction *MenuItem(QCustomPlot *plot, const QString &text) {
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                                plot->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(plot, &click);
        const auto menus = plot->findChildren<QMenu *>(QStringLiteral("graphMenu"));
        if (menus.isEmpty())
            return nullptr;
        for (QAction *item : menus.back()->actions())
            if (item->text() == text)
                return item;
        return nullptr;
    }
    // View > Units > "pixels" (0) or "mm" (1), as the user opens the menu.
    static void ChooseUnits(int item) {
        auto *units = window::menu(rt::panelWidget(panelHandle), window::TopMenu::View)
                          ->findChild<QMenu *>("unitsMenu");
        emit units->aboutToShow();
        units->actions().at(item)->trigger();
    }
    // An item of the View menu, by its object name.
    static QAction *ViewItem(const char *name) {
        for (QAction *item :
             window::menu(rt::panelWidget(panelHandle), window::TopMenu::View)->actions())
            if (item->objectName() == QLatin1String(name))
                return item;
        return nullptr;
    }
};

TEST_F(ReadoutsTest, HoverReadsTheGraphUnderThePointerAndGoesWhenItLeaves) {
    const struct {
        int graph;
        double x;
        int units; // 0 pixels, 1 mm: 0.0078 mm a pixel
        const char *text;
    } cases[] = {
        {GRAPH_Raw, 400, 0, "pixel 400"},
        {STRIP_Trend, 98, 0,
         "point 98, 13:05:01.623 (-0.75 s)\nupper limit 612\nlower limit 412\nteach value "
         "512\nmeasured value 350\nselected value 350\nband 412 to 612"},
        {STRIP_Trend, 98, 1,
         "point 98, 13:05:01.623 (-0.75 s)\nupper limit 612 (4.774 mm)\nlower limit 412 (3.214 "
         "mm)\nteach value 512 (3.994 mm)\nmeasured value 350 (2.730 mm)\nselected value "
         "350\nband 412 (3.214 mm) to 612 (4.774 mm)"},
        {STRIP_Trend, 50, 0, ""}, // before the first frame
        {GRAPH_Data, 401, 0, "pixel 400\nvalue 700\nthreshold 500"},
    };
    for (const auto &c : cases) {
        ChooseUnits(c.units);
        QCustomPlot *plot = Show(c.graph);
        QTest::mouseMove(plot, QPoint(1, 1)); // outside the plot's axes: no readout
        EXPECT_EQ(Readout(plot)->hoverText(), "") << c.graph;
        QTest::mouseMove(plot, At(plot, c.x));
        EXPECT_EQ(Readout(plot)->hoverText(), c.text) << c.graph << " at " << c.x;
        // Beside the pointer.
        const QPointF beside =
            plot->findChild<QCPItemText *>("hoverReadout")->position->pixelPosition();
        EXPECT_LE((beside - At(plot, c.x)).manhattanLength(), 30) << c.graph;
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(plot, &leave);
        EXPECT_EQ(Readout(plot)->hoverText(), "") << c.graph;
    }
}

TEST_F(ReadoutsTest, TwoCursorsPlacedByClicksAndMovedByDragShowTheirDifferences) {
    const struct {
        int graph;
        double a, b, movedA;
        const char *placed, *moved;
    } cases[] = {
        {STRIP_Trend, 97, 99, 98,
         "A: point 97, -1.25 s, measured value 300\nB: point 99, 0.00 s, measured value "
         "420\n\u0394 +2 frames, +1.25 s, \u0394 measured value +120 (+0.936 mm)",
         "A: point 98, -0.75 s, measured value 350\nB: point 99, 0.00 s, measured value "
         "420\n\u0394 +1 frames, +0.75 s, \u0394 measured value +70 (+0.546 mm)"},
        {GRAPH_Data, 400, 600, 800,
         "A: pixel 400 (3.120 mm), value 700\nB: pixel 600 (4.680 mm), value 550\n\u0394 "
         "pixels +200 (+1.560 mm), \u0394 value -150",
         "A: pixel 800 (6.240 mm), value 400\nB: pixel 600 (4.680 mm), value 550\n\u0394 "
         "pixels -200 (-1.560 mm), \u0394 value +150"},
    };
    ChooseUnits(1); // 0.0078 mm a pixel
    for (const auto &c : cases) {
        QCustomPlot *plot = Show(c.graph);
        PlotReadout *readout = Readout(plot);
        QTest::mouseClick(plot, Qt::LeftButton, {}, At(plot, c.a));
        QTest::mouseClick(plot, Qt::LeftButton, {}, At(plot, c.b));
        EXPECT_EQ(readout->measureText(), c.placed) << c.graph;
        // A press beside A's line takes A along.
        QTest::mousePress(plot, Qt::LeftButton, {}, At(plot, c.a, PlotReadout::GRAB_PX - 1));
        QMouseEvent drag(QEvent::MouseMove, At(plot, c.movedA),
                         plot->mapToGlobal(At(plot, c.movedA)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot, &drag);
        QTest::mouseRelease(plot, Qt::LeftButton, {}, At(plot, c.movedA));
        EXPECT_EQ(readout->measureText(), c.moved) << c.graph;
        int marked = 0;
        for (int i = 0; i < plot->itemCount(); ++i)
            marked += plot->item(i)->visible() &&
                      plot->item(i)->property(PlotReadout::CURSOR_PROPERTY).toBool();
        EXPECT_EQ(marked, 2) << c.graph;

        QAction *clear = MenuItem(plot, "Clear cursors");
        ASSERT_NE(clear, nullptr) << c.graph;
        clear->trigger();
        EXPECT_EQ(readout->measureText(), "") << c.graph;
        EXPECT_TRUE(readout->cursors().empty()) << c.graph;
    }
}

TEST_F(ReadoutsTest, TrendTracesKeepTheirColoursAndDifferByLineStyleNamedInALegend) {
    const struct {
        const char *name;
        Qt::PenStyle style;
        double width;
    } traces[] = {{"upper limit", Qt::DashLine, 1},
                  {"lower limit", Qt::DashLine, 1},
                  {"teach value", Qt::DotLine, 1},
                  {"measured value", Qt::SolidLine, 3},
                  {"selected value", Qt::SolidLine, 1}};
    QCustomPlot *plot = Show(STRIP_Trend);
    PlotPoint(1300, 430); // the run-time sets every pen anew
    plot->repaint();
    ASSERT_EQ(plot->graphCount(), 5);
    ASSERT_EQ(plot->legend->itemCount(), 5);
    for (int t = 0; t < 5; ++t) {
        const QPen pen = plot->graph(t)->pen();
        EXPECT_EQ(pen.color().rgb() & 0xFFFFFF,
                  static_cast<unsigned>(rt::stripChartTraceColor(panelHandle, STRIP_Trend, t + 1)));
        EXPECT_EQ(pen.style(), traces[t].style) << traces[t].name;
        EXPECT_EQ(pen.widthF(), traces[t].width) << traces[t].name;
        EXPECT_TRUE(plot->legend->hasItemWithPlottable(plot->graph(t))) << traces[t].name;
        EXPECT_EQ(plot->graph(t)->name(), traces[t].name);
    }
    EXPECT_TRUE(plot->legend->visible());
    MenuItem(plot, "Legend")->trigger();
    EXPECT_FALSE(plot->legend->visible());
    ViewItem("actionTrendLegend")->trigger();
    EXPECT_TRUE(plot->legend->visible());
}

TEST_F(ReadoutsTest, TimeAxisCountsSecondsBeforeTheLastFrameAndGivesBackTheIndex) {
    QCustomPlot *plot = Show(STRIP_Trend);
    for (int s = 2; s <= 10; ++s) // ten points, one a second after the third
        PlotPoint(1250 + 1000 * s - 1000, 400);
    const QString indexLabel = plot->xAxis->label();
    MenuItem(plot, "Time axis (seconds)")->trigger();
    plot->replot();
    const QVector<double> ticks = plot->xAxis->tickVector();
    const QVector<QString> labels = plot->xAxis->tickVectorLabels();
    ASSERT_FALSE(ticks.isEmpty());
    EXPECT_EQ(plot->xAxis->label(), "seconds before the last frame");
    EXPECT_EQ(ticks.back(), 99);
    EXPECT_EQ(labels.back(), "0");
    // Over 10.25 s the marks go every 2 s: 8 s before the last frame is the
    // point at +2250 ms, 8 points back; 10 s lies halfway between the points
    // at 0 and +500 ms.
    const QString shown = QStringList(labels.begin(), labels.end()).join(' ');
    EXPECT_TRUE(ticks.contains(91) && labels[ticks.indexOf(91)] == "-8") << shown.toStdString();
    EXPECT_TRUE(ticks.contains(88.5) && labels[ticks.indexOf(88.5)] == "-10")
        << shown.toStdString();
    EXPECT_FALSE(labels.contains("-9")) << shown.toStdString();
    MenuItem(plot, "Time axis (seconds)")->trigger();
    plot->replot();
    EXPECT_EQ(plot->xAxis->label(), indexLabel);
    EXPECT_NE(plot->xAxis->tickVectorLabels(), labels);
}

class MillimetresTest : public SensorTest {};

TEST_F(MillimetresTest, EachCcdDescriptionGivesItsMmOrGreysTheItemWithTheReason) {
    AttachReadouts(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data, &ccdtype, &ccdresolution);
    QMenu *view = window::menu(rt::panelWidget(panelHandle), window::TopMenu::View);
    auto *units = view->findChild<QMenu *>("unitsMenu");
    ASSERT_NE(units, nullptr);
    QAction *mm = units->actions().value(1);
    ASSERT_EQ(mm ? mm->text() : QString(), "mm");
    ASSERT_NE(mm, nullptr);
    QWidget *mvalue = rt::panelWidget(panelHandle)->findChild<QWidget *>("NUM_Mvalue");
    stream::Frame frame;
    frame.words[FRAME_MVALUE] = 400;
    stream::programStream().publish(frame);
    // Pixel 400 and Mvalue 400 in each description the sensor can report.
    const struct {
        std::uint16_t type, pixels, resolution;
        const char *mm; // null: unavailable
    } cases[] = {
        {1, 1024, 250, "3.120"},  {0, 1024, 250, nullptr}, {2, 1024, 750, "29.297"},
        {2, 1024, 250, "10.000"}, {3, 512, 250, "10.000"}, {4, 1024, 250, nullptr},
    };
    for (const auto &c : cases) {
        sensor->script(sim::order::CcdInfo,
                       sim::makeReply(10, sim::Words{c.type, c.pixels, c.resolution}));
        ASSERT_EQ(GetCCDInfo(), 1);
        emit view->aboutToShow();
        EXPECT_EQ(mm->isEnabled(), c.mm != nullptr) << c.type;
        if (c.mm)
            mm->trigger();
        else
            EXPECT_EQ(mm->toolTip(), units::MM_UNAVAILABLE) << c.type;
        QCustomPlot *edge = Laid(GRAPH_Raw);
        QTest::mouseMove(edge, QPoint(qRound(edge->xAxis->coordToPixel(400)), edge->height() / 2));
        const QString mmText = c.mm ? QString(" (%1 mm)").arg(c.mm) : QString();
        EXPECT_EQ(edge->findChild<PlotReadout *>()->hoverText(), "pixel 400" + mmText) << c.type;
        EXPECT_EQ(window::ToolTipKey::shownText(mvalue).contains(
                      QString("400 pixels = %1 mm").arg(c.mm ? c.mm : "")),
                  c.mm != nullptr)
            << c.type;
    }
}

} // namespace
