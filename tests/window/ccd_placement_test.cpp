// Where the CCD settings window opens, from the rectangles alone.
#include <gtest/gtest.h>

#include "window/ccd_placement.h"

namespace {

struct PlacementRow {
    const char *name;
    QRect screen;
    QRect mainFrame;
    QPoint expected;
};

// A main window 900 x 700 with its graphs on the right half and the areas
// to keep clear on the left and at the bottom; the window is 300 x 400.
TEST(CcdPlacement, BesideTheMainWindowWhereThereIsRoomElseOverItsGraphs) {
    const QSize frame(300, 400);
    const PlacementRow rows[] = {
        {"room on the right", QRect(0, 0, 1920, 1080), QRect(100, 50, 900, 700), QPoint(1000, 50)},
        {"room on the right, main window low", QRect(0, 0, 1920, 1080), QRect(100, 900, 900, 700),
         QPoint(1000, 680)},
        {"no room: over the graphs' lower right", QRect(0, 0, 1100, 1080), QRect(100, 50, 900, 700),
         QPoint(690, 300)},
    };
    for (const PlacementRow &row : rows) {
        const QRect &m = row.mainFrame;
        window::CcdPlacement where{m,
                                   row.screen,
                                   QRect(m.left() + 450, m.top() + 150, 440, 500),
                                   {QRect(m.left(), m.top(), 300, 100),          // measurement
                                    QRect(m.left(), m.top() + 400, 400, 200),    // transfer
                                    QRect(m.left(), m.bottom() - 30, 900, 30)}}; // status
        const QPoint at = window::placeCcdWindow(where, frame);
        EXPECT_EQ(at, row.expected) << row.name;
        const QRect placed(at, frame);
        EXPECT_TRUE(row.screen.contains(placed)) << row.name;
        for (const QRect &area : where.keepClear)
            EXPECT_FALSE(placed.intersects(area)) << row.name;
    }
}

TEST(CcdPlacement, AWindowLargerThanTheScreenKeepsItsTopLeftCornerOnIt) {
    EXPECT_EQ(window::keptOnScreen(QRect(-50, 900, 2000, 300), QRect(0, 0, 1024, 768)).topLeft(),
              QPoint(0, 468));
    EXPECT_EQ(window::keptOnScreen(QRect(10, 10, 100, 100), QRect(0, 0, 1024, 768)).topLeft(),
              QPoint(10, 10));
}

} // namespace
