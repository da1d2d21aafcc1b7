// Reading values off one graph with the mouse: a readout that follows the
// pointer while it moves over the graph with no button held, and, where the
// graph has them, two measurement cursors A and B (a click places the next
// one, a drag that starts within 5 px of one moves it) with a text of their
// values and differences in the graph's corner. What the graph shows at a
// position comes from the functions it is given; this class only handles the
// mouse and the items.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QCPItemStraightLine;
class QCPItemText;
class QCustomPlot;
class QTimer;

namespace readouts {

struct GraphReading {
    // The text for the pointer at x (in the x axis' units); empty: nothing there.
    std::function<QString(double x)> hover;
    // The x a cursor placed at x stands at: the nearest point the graph has.
    std::function<double(double x)> snap;
    // The text for the cursors at these x, A first; null: the graph has none.
    std::function<QString(const std::vector<double> &cursors)> measure;
};

class PlotReadout : public QObject {
    Q_OBJECT

  public:
    // A measurement cursor carries this dynamic property, set to true.
    static constexpr const char *CURSOR_PROPERTY = "measureCursor";
    static constexpr int GRAB_PX = 5;  // a press this near a cursor moves it
    static constexpr int CLICK_PX = 3; // a press and release this near is a click

    PlotReadout(QCustomPlot *plot, GraphReading reading);

    // "Clear cursors", for the graph's right-click menu; null without cursors.
    QAction *clearItem() const { return clear_; }
    std::vector<double> cursors() const;
    QString hoverText() const;
    QString measureText() const;
    // Asks the texts again (new frames, another unit).
    void refresh();
    void clearCursors();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void showHover(const QPoint &at);
    void hideHover();
    int cursorNear(const QPoint &at) const;
    void placeCursor(int index, double x);
    void redraw();
    double xAt(const QPoint &at) const;

    QCustomPlot *plot_;
    GraphReading reading_;
    QCPItemText *hover_;
    QCPItemText *measure_ = nullptr;
    std::vector<QCPItemStraightLine *> lines_; // A and B, hidden until placed
    std::vector<double> placed_;               // x of the cursors placed, A first
    QAction *clear_ = nullptr;
    QTimer *follow_; // renews the texts while something is shown
    QPoint pressedAt_, hoverAt_;
    bool pressed_ = false;
    int dragged_ = -1;     // the cursor being moved, or -1
    std::size_t next_ = 0; // the cursor the next click places
};

} // namespace readouts
