// The user's view of one graph: the wheel zooms about the pointer (Shift: x
// only, Ctrl: y only), a left drag pans, a right drag or a Ctrl+left drag
// zooms into the band it draws, and a double-click or Home brings back the
// program's view. While the view differs from the program's the graph holds
// its ranges (rt::holdGraphRange), so frames move under the view, and a note
// in its corner says so.
#pragma once

#include <QObject>
#include <QPoint>

class QCustomPlot;
class QLabel;
class QRubberBand;

namespace scope {

class GraphView : public QObject {
    Q_OBJECT

  public:
    // A press this close (pixels) to an item with the property
    // `measureCursor` leaves the drag to that cursor.
    static constexpr double CURSOR_GRIP = 5.0;
    // A press and release closer than this is a click, not a drag.
    static constexpr int CLICK_SLOP = 3;

    explicit GraphView(QCustomPlot *plot);

    bool zoomed() const { return zoomed_; }
    void reset();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    enum class Drag { None, PanPending, Panning, BandPending, Band };

    bool onMeasureCursor(const QPoint &at) const;
    void hold();
    void placeNote();
    void zoomAbout(const QPoint &at, double factor, bool x, bool y);
    void panBy(const QPoint &from, const QPoint &to);
    void zoomInto(const QRect &band);
    void redraw();

    QCustomPlot *plot_; // the parent: this view goes with it
    QObject *watched_;  // the same, compared while the plot is being destroyed
    QLabel *note_;
    QRubberBand *band_;
    Drag drag_ = Drag::None;
    QPoint pressAt_, lastAt_;
    bool menuWanted_ = false; // a right press asked for the graph's menu
    bool bandDrawn_ = false;  // the band's release ends the menu too
    bool zoomed_ = false;
};

} // namespace scope
