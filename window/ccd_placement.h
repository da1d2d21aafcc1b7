// Where the CCD settings window opens, worked out from rectangles in screen
// coordinates, so that the rule can be checked without a screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace window {

struct CcdPlacement {
    QRect mainFrame;              // the main window with its frame
    QRect screen;                 // the usable area of the main window's screen
    QRect graphs;                 // the graphs of the main panel, together
    std::vector<QRect> keepClear; // areas it must not cover while it is open
};

// Top-left of the window's frame: right of the main window where the screen
// has room, else over the graphs, clear of `keepClear` where the screen
// allows; always wholly on the screen.
QPoint placeCcdWindow(const CcdPlacement &where, const QSize &frame);

// `frame` moved the least so that it lies wholly on `screen` (its top-left
// corner on it when it is larger than the screen).
QRect keptOnScreen(QRect frame, const QRect &screen);

} // namespace window
