#include "window/ccd_placement.h"

#include <algorithm>
#include <array>
#include <limits>

namespace window {

namespace {

int clampedStart(int start, int length, int areaStart, int areaLength) {
    if (length >= areaLength)
        return areaStart;
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

long long coveredArea(const QRect &frame, const std::vector<QRect> &areas) {
    long long covered = 0;
    for (const QRect &area : areas) {
        const QRect common = frame.intersected(area);
        if (!common.isEmpty())
            covered += static_cast<long long>(common.width()) * common.height();
    }
    return covered;
}

} // namespace

QRect keptOnScreen(QRect frame, const QRect &screen) {
    frame.moveTo(clampedStart(frame.left(), frame.width(), screen.left(), screen.width()),
                 clampedStart(frame.top(), frame.height(), screen.top(), screen.height()));
    return frame;
}

QPoint placeCcdWindow(const CcdPlacement &where, const QSize &frame) {
    const QRect beside(QPoint(where.mainFrame.right() + 1, where.mainFrame.top()), frame);
    if (beside.right() <= where.screen.right())
        return keptOnScreen(beside, where.screen).topLeft();

    // Over the graphs: a corner of them, the first that covers none of the
    // areas to keep clear, else the one that covers the least of them.
    const QRect &g = where.graphs;
    const std::array<QPoint, 4> corners{
        QPoint(g.right() - frame.width() + 1, g.bottom() - frame.height() + 1),
        QPoint(g.right() - frame.width() + 1, g.top()),
        QPoint(g.left(), g.bottom() - frame.height() + 1),
        g.topLeft(),
    };
    QRect best;
    long long bestCovered = std::numeric_limits<long long>::max();
    for (const QPoint &corner : corners) {
        const QRect candidate = keptOnScreen(QRect(corner, frame), where.screen);
        const long long covered = coveredArea(candidate, where.keepClear);
        if (covered < bestCovered) {
            best = candidate;
            bestCovered = covered;
        }
        if (covered == 0)
            break;
    }
    return best.topLeft();
}

} // namespace window
