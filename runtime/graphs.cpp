// Graphs and strip charts on QCustomPlot. Plots (curves and rectangles) are
// addressed by handles; cursors are separate vertical markers that plot
// deletion leaves alone.
//
// The loops change curves, rectangles and cursors on every frame, hundreds of
// times a second against a fast sensor. A change only asks for a redraw: the
// graph draws at the window's next paint, which comes at most at the
// screen's rate, so many changes cost one drawing.
//
// While the display is frozen (view_hold.h) the calls change only the state
// kept here, and the thaw draws it; while a view holds a graph's ranges, the
// ranges the program sets are kept for the view's reset.
#include <QHash>
#include <QPointer>

#include <qcustomplot.h>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <vector>

#include "runtime/live_plot.h"
#include "runtime/registry.h"
#include "runtime/view_hold.h"
#include "runtime/widget_access.h"

namespace {

struct Cursor {
    QPointer<QCPItemStraightLine> line;
    double x = 0.0;
    double y = 0.0;
    bool pending = false; // set while frozen, not yet shown
};

struct Curve {
    QPointer<QCPGraph> graph;
    std::vector<double> x, y; // as plotted, before the graph sorts them
    int color = 0;
};

struct GraphState {
    std::map<int, Curve> curves;
    std::map<int, QPointer<QCPItemRect>> rectangles;
    std::map<int, rt::RectanglePlot> rectangleShapes;
    // Deleted rectangles, hidden: the loops delete and plot the same few on
    // every frame, and making and removing an item costs more than moving it.
    std::vector<QPointer<QCPItemRect>> spareRectangles;
    std::array<Cursor, 3> cursors;
    QHash<int, int> traceColors; // strip chart: trace number -> 0xRRGGBB
    int nextHandle = 1;
    // While frozen: curves deleted but still shown, the strip chart's traces.
    std::vector<QPointer<QCPGraph>> staleGraphs;
    std::optional<std::vector<QVector<double>>> pendingTraces;
    // The program's latest x and y ranges while held or frozen.
    std::array<std::optional<QCPRange>, 2> wantedRanges;
    bool rangeHeld = false;
    bool autoScaleY = false;
};

bool frozen = false;
int heldGraphs = 0; // graphs whose ranges a view holds

QHash<const QWidget *, GraphState> &states() {
    static QHash<const QWidget *, GraphState> all;
    return all;
}

QColor colorOf(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QCustomPlot *plotOf(int panel, int control) {
    return qobject_cast<QCustomPlot *>(rt::Registry::instance().control(panel, control));
}

void requestReplot(QCustomPlot *plot) {
    if (auto *live = qobject_cast<rt::LivePlot *>(plot))
        live->redraw();
    else
        plot->replot(QCustomPlot::rpQueuedReplot);
}

// A spare rectangle shown again, on top of the others as a new one would be.
QCPItemRect *takeSpareRectangle(GraphState &state) {
    while (!state.spareRectangles.empty()) {
        QPointer<QCPItemRect> rect = state.spareRectangles.back();
        state.spareRectangles.pop_back();
        if (rect) {
            rect->setVisible(true);
            rect->setLayer(rect->layer());
            return rect;
        }
    }
    return nullptr;
}

bool toDoubles(const void *data, int type, int n, QVector<double> &out) {
    out.resize(n);
    for (int i = 0; i < n; ++i) {
        switch (type) {
        case VAL_UNSIGNED_SHORT_INTEGER:
            out[i] = static_cast<const unsigned short *>(data)[i];
            break;
        case VAL_UNSIGNED_INTEGER:
            out[i] = static_cast<const unsigned int *>(data)[i];
            break;
        case VAL_DOUBLE:
            out[i] = static_cast<const double *>(data)[i];
            break;
        default:
            return false;
        }
    }
    return true;
}

// Every plot style of the program is drawn as one thin line.
QCPGraph *drawCurve(QCustomPlot *plot, const QVector<double> &x, const QVector<double> &y,
                    int color) {
    QCPGraph *graph = plot->addGraph();
    graph->setPen(QPen(colorOf(color), 1));
    graph->setData(x, y);
    return graph;
}

QCPItemRect *drawRectangle(QCustomPlot *plot, GraphState &state, const rt::RectanglePlot &shape) {
    QCPItemRect *rect = takeSpareRectangle(state);
    if (!rect)
        rect = new QCPItemRect(plot);
    rect->topLeft->setCoords(shape.x1, shape.y2);
    rect->bottomRight->setCoords(shape.x2, shape.y1);
    rect->setPen(QPen(colorOf(shape.frameColor)));
    rect->setBrush(QBrush(colorOf(shape.fillColor)));
    return rect;
}

void drawCursor(QCustomPlot *plot, int cursor, Cursor &c) {
    if (!c.line) {
        c.line = new QCPItemStraightLine(plot);
        const QString color =
            plot->property(QByteArray("cursor") + QByteArray::number(cursor) + "Color").toString();
        c.line->setPen(QPen(QColor(color.isEmpty() ? QStringLiteral("#000000") : color), 2));
        c.line->setLayer(QStringLiteral("overlay")); // above every rectangle
    }
    c.line->point1->setCoords(c.x, 0.0);
    c.line->point2->setCoords(c.x, 1.0);
    c.pending = false;
}

// The y axis around every value the graph shows, with a little room.
void rescaleY(QCustomPlot *plot) {
    std::optional<QCPRange> all;
    for (int t = 0; t < plot->graphCount(); ++t) {
        bool found = false;
        const QCPRange r = plot->graph(t)->getValueRange(found);
        if (found)
            all = all ? QCPRange(std::min(all->lower, r.lower), std::max(all->upper, r.upper)) : r;
    }
    if (!all)
        return;
    const double margin = std::max(1.0, all->size() * 0.05);
    plot->yAxis->setRange(all->lower - margin, all->upper + margin);
}

void drawStripChart(QCustomPlot *plot, GraphState &state,
                    const std::vector<QVector<double>> &traces) {
    const int count = static_cast<int>(traces.size());
    while (plot->graphCount() < count)
        plot->addGraph();
    while (plot->graphCount() > count)
        plot->removeGraph(plot->graphCount() - 1);
    for (int t = 0; t < count; ++t) {
        QVector<double> keys(traces[t].size());
        for (int k = 0; k < keys.size(); ++k)
            keys[k] = k;
        QCPGraph *graph = plot->graph(t);
        graph->setPen(QPen(colorOf(state.traceColors.value(t + 1, 0)), 1));
        graph->setData(keys, traces[t], true);
    }
    if (state.autoScaleY && !state.rangeHeld)
        rescaleY(plot);
}

QCPAxis *axisOf(QCustomPlot *plot, std::size_t index) {
    return index == 0 ? plot->xAxis : plot->yAxis;
}

// Everything the program asked for while frozen, as it asked last.
void thaw(QCustomPlot *plot, GraphState &state) {
    for (QPointer<QCPItemRect> &rect : state.spareRectangles)
        if (rect)
            rect->setVisible(false);
    for (QPointer<QCPGraph> &graph : state.staleGraphs)
        if (graph)
            plot->removeGraph(graph);
    state.staleGraphs.clear();
    for (auto &[handle, curve] : state.curves)
        if (!curve.graph)
            curve.graph = drawCurve(plot, QVector<double>(curve.x.begin(), curve.x.end()),
                                    QVector<double>(curve.y.begin(), curve.y.end()), curve.color);
    for (auto &[handle, rect] : state.rectangles)
        if (!rect)
            rect = drawRectangle(plot, state, state.rectangleShapes[handle]);
    for (std::size_t i = 0; i < state.cursors.size(); ++i)
        if (state.cursors[i].pending)
            drawCursor(plot, static_cast<int>(i) + 1, state.cursors[i]);
    if (state.pendingTraces)
        drawStripChart(plot, state, *state.pendingTraces);
    state.pendingTraces.reset();
    if (!state.rangeHeld)
        for (std::size_t i = 0; i < state.wantedRanges.size(); ++i)
            if (auto &range = state.wantedRanges[i]; range) {
                axisOf(plot, i)->setRange(*range);
                range.reset();
            }
    requestReplot(plot);
}

} // namespace

namespace {

// A value axis gets as many ticks as its height holds with a free line
// between two labels: on a short graph (the edge graph's 0 to 1 on a
// 1280x720 screen) five labels would stand on top of each other.
class TickRoom : public QObject {
  public:
    explicit TickRoom(QCustomPlot *plot) : QObject(plot), plot_(plot) {
        plot->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Resize) {
            const int line = QFontMetrics(plot_->yAxis->tickLabelFont()).height();
            // The x axis' labels and title take some three lines below the value axis.
            const int room = plot_->height() - 3 * line;
            plot_->yAxis->ticker()->setTickCount(
                std::clamp(room / (2 * line), MIN_TICKS, DEFAULT_TICKS));
        }
        return false;
    }

  private:
    static constexpr int MIN_TICKS = 1, DEFAULT_TICKS = 5;
    QCustomPlot *plot_;
};

} // namespace

namespace rt {

void setupGraph(QWidget *widget) {
    auto *plot = static_cast<QCustomPlot *>(widget);
    states().insert(widget, GraphState{});
    auto range = [&](const char *lo, const char *hi, QCPAxis *axis) {
        const QVariant min = widget->property(lo), max = widget->property(hi);
        if (min.isValid() && max.isValid())
            axis->setRange(min.toDouble(), max.toDouble());
    };
    range("xMin", "xMax", plot->xAxis);
    range("yMin", "yMax", plot->yAxis);
    plot->xAxis->setLabel(widget->property("xLabel").toString());
    plot->yAxis->setLabel(widget->property("yLabel").toString());
    plot->setNotAntialiasedElements(QCP::aeAll); // the video curve redraws every pass
    plot->setAutoAddPlottableToLegend(false);    // no legend is shown; its items cost
    new TickRoom(plot);
}

void forgetGraph(QWidget *widget) {
    if (states().value(widget).rangeHeld)
        --heldGraphs;
    states().remove(widget);
}

} // namespace rt

int PlotXY(int panel, int control, const void *xArray, const void *yArray, int numPoints,
           int xDataType, int yDataType, int, int, int, int, int color) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot || numPoints < 0)
        return -1;
    QVector<double> x, y;
    if (!toDoubles(xArray, xDataType, numPoints, x) || !toDoubles(yArray, yDataType, numPoints, y))
        return -2;
    GraphState &state = states()[plot];
    const int handle = state.nextHandle++;
    state.curves[handle] = Curve{nullptr, std::vector<double>(x.begin(), x.end()),
                                 std::vector<double>(y.begin(), y.end()), color};
    if (!frozen) {
        state.curves[handle].graph = drawCurve(plot, x, y, color);
        requestReplot(plot);
    }
    return handle;
}

int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2, int color,
                  int fillColor) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot)
        return -1;
    GraphState &state = states()[plot];
    const rt::RectanglePlot shape{
        std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), color, fillColor};
    const int handle = state.nextHandle++;
    state.rectangles[handle] = frozen ? nullptr : drawRectangle(plot, state, shape);
    state.rectangleShapes[handle] = shape;
    if (!frozen)
        requestReplot(plot);
    return handle;
}

int DeleteGraphPlot(int panel, int control, int plotHandle, int) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot)
        return -1;
    GraphState &state = states()[plot];
    // While frozen what is shown stays until the thaw.
    auto dropCurve = [&](QCPGraph *g) {
        if (g && frozen)
            state.staleGraphs.emplace_back(g);
        else if (g)
            plot->removeGraph(g);
    };
    auto dropRect = [&](QCPItemRect *r) {
        if (r) {
            r->setVisible(frozen && r->visible());
            state.spareRectangles.emplace_back(r);
        }
    };
    if (plotHandle == VAL_ALL_PLOTS) {
        for (auto &[h, c] : state.curves)
            dropCurve(c.graph);
        for (auto &[h, r] : state.rectangles)
            dropRect(r);
        state.curves.clear();
        state.rectangles.clear();
        state.rectangleShapes.clear();
    } else if (auto c = state.curves.find(plotHandle); c != state.curves.end()) {
        dropCurve(c->second.graph);
        state.curves.erase(c);
    } else if (auto r = state.rectangles.find(plotHandle); r != state.rectangles.end()) {
        dropRect(r->second);
        state.rectangles.erase(r);
        state.rectangleShapes.erase(plotHandle);
    } else {
        return -2;
    }
    if (!frozen)
        requestReplot(plot);
    return 0;
}

int SetGraphCursor(int panel, int control, int cursor, double x, double y) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot || cursor < 1 || cursor > 3)
        return -1;
    Cursor &c = states()[plot].cursors[cursor - 1];
    c.x = x;
    c.y = y;
    c.pending = true;
    if (!frozen) {
        drawCursor(plot, cursor, c);
        requestReplot(plot);
    }
    return 0;
}

int GetGraphCursor(int panel, int control, int cursor, double *x, double *y) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot || cursor < 1 || cursor > 3)
        return -1;
    const Cursor &c = states()[plot].cursors[cursor - 1];
    *x = c.x;
    *y = c.y;
    return 0;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot || (axis != VAL_XAXIS && axis != VAL_LEFT_YAXIS))
        return -1;
    if (frozen || heldGraphs != 0) {
        GraphState &state = states()[plot];
        if (frozen || state.rangeHeld) {
            if (mode == VAL_MANUAL)
                state.wantedRanges[axis == VAL_XAXIS ? 0 : 1] = QCPRange(min, max);
            return 0;
        }
    }
    QCPAxis *a = axis == VAL_XAXIS ? plot->xAxis : plot->yAxis;
    if (mode == VAL_MANUAL)
        a->setRange(min, max);
    else
        a->rescale();
    requestReplot(plot);
    return 0;
}

int PlotStripChart(int panel, int control, const void *array, int numPoints, int startIndex,
                   int skipCount, int dataType) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot || numPoints < 0 || startIndex < 0 || skipCount < 0)
        return -1;
    QVector<double> values;
    if (!toDoubles(array, dataType, startIndex + numPoints, values))
        return -2;
    const int traces = std::max(1, plot->property("attr1170").toInt());
    const int step = traces * (skipCount + 1);
    const int points = numPoints / step;
    GraphState &state = states()[plot];
    std::vector<QVector<double>> ys(traces, QVector<double>(points));
    for (int t = 0; t < traces; ++t)
        for (int k = 0; k < points; ++k)
            ys[t][k] = values[startIndex + k * step + t];
    if (frozen) {
        state.pendingTraces = std::move(ys);
        return 0;
    }
    drawStripChart(plot, state, ys);
    requestReplot(plot);
    return 0;
}

int SetTraceAttribute(int panel, int control, int trace, int attribute, int value) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot || trace < 1 || attribute != ATTR_TRACE_COLOR)
        return -1;
    states()[plot].traceColors[trace] = value;
    return 0;
}

namespace rt {

std::vector<RectanglePlot> graphRectangles(int panel, int control) {
    std::vector<RectanglePlot> out;
    if (QCustomPlot *plot = plotOf(panel, control))
        for (const auto &[handle, shape] : states()[plot].rectangleShapes)
            out.push_back(shape);
    return out;
}

std::vector<CurvePlot> graphCurves(int panel, int control) {
    std::vector<CurvePlot> out;
    if (QCustomPlot *plot = plotOf(panel, control))
        for (const auto &[handle, curve] : states()[plot].curves)
            out.push_back(CurvePlot{curve.x, curve.y, curve.color});
    return out;
}

std::vector<std::vector<double>> stripChartTraces(int panel, int control) {
    std::vector<std::vector<double>> out;
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot)
        return out;
    for (int t = 0; t < plot->graphCount(); ++t) {
        std::vector<double> values;
        for (auto it = plot->graph(t)->data()->constBegin();
             it != plot->graph(t)->data()->constEnd(); ++it)
            values.push_back(it->value);
        out.push_back(std::move(values));
    }
    return out;
}

int stripChartTraceColor(int panel, int control, int trace) {
    QCustomPlot *plot = plotOf(panel, control);
    return plot ? states()[plot].traceColors.value(trace, -1) : -1;
}

void holdGraphRange(QWidget *widget, bool held) {
    auto *plot = qobject_cast<QCustomPlot *>(widget);
    if (!plot || !states().contains(plot) || states()[plot].rangeHeld == held)
        return;
    GraphState &state = states()[plot];
    state.rangeHeld = held;
    heldGraphs += held ? 1 : -1;
    if (held) {
        // Until the program sets a range, the one it set last stays its.
        for (std::size_t i = 0; i < state.wantedRanges.size(); ++i)
            if (!state.wantedRanges[i])
                state.wantedRanges[i] = axisOf(plot, i)->range();
        return;
    }
    if (frozen)
        return; // the thaw shows them
    for (std::size_t i = 0; i < state.wantedRanges.size(); ++i)
        if (auto &range = state.wantedRanges[i]; range) {
            axisOf(plot, i)->setRange(*range);
            range.reset();
        }
    if (state.autoScaleY)
        rescaleY(plot);
    requestReplot(plot);
}

bool graphRangeHeld(const QWidget *plot) {
    return heldGraphs != 0 && states().value(plot).rangeHeld;
}

void setDisplayFrozen(bool on) {
    if (frozen == on)
        return;
    frozen = on;
    if (on)
        return;
    for (auto it = states().begin(); it != states().end(); ++it)
        thaw(static_cast<QCustomPlot *>(const_cast<QWidget *>(it.key())), it.value());
    thawControls();
}

bool displayFrozen() {
    return frozen;
}

void setStripChartAutoScale(QWidget *widget, bool on) {
    auto *plot = qobject_cast<QCustomPlot *>(widget);
    if (!plot || !states().contains(plot))
        return;
    GraphState &state = states()[plot];
    state.autoScaleY = on;
    if (state.rangeHeld || frozen)
        return;
    if (on) {
        rescaleY(plot);
    } else {
        const QVariant min = plot->property("yMin"), max = plot->property("yMax");
        if (min.isValid() && max.isValid())
            plot->yAxis->setRange(min.toDouble(), max.toDouble());
    }
    requestReplot(plot);
}

bool graphAxisRange(int panel, int control, int axis, double *min, double *max) {
    QCustomPlot *plot = plotOf(panel, control);
    if (!plot)
        return false;
    const QCPRange range = axis == VAL_XAXIS ? plot->xAxis->range() : plot->yAxis->range();
    *min = range.lower;
    *max = range.upper;
    return true;
}

} // namespace rt
