// Where the CCD settings window opens, from the rectangles alone: a main
// window 900 x 700, its graphs on the right, the areas to keep clear on the
// left and at the bottom, and a CCD window of 300 x 400.
#include <gtest/gtest.h>

#include "window/ccd_placement.h"

namespace {

TEST(CcdPlacement, BesideTheMainWindowWhereThereIsRoomElseOverItsGraphs) {
    const struct {
        const char *name;
        int screenWidth, mainTop;
        QPoint expected;
    } rows[] = {{"room on the right", 1920, 50, QPoint(1000, 50)},
                {"room on the right, main window low", 1920, 900, QPoint(1000, 680)},
                {"no room: the graphs' lower right", 1100, 50, QPoint(690, 300)}};
    for (const auto &row : rows) {
        const QRect main(100, row.mainTop, 900, 700), screen(0, 0, row.screenWidth, 1080);
        const window::CcdPlacement where{main,
                                         screen,
                                         QRect(main.left() + 450, main.top() + 150, 440, 500),
                                         {QRect(main.left(), main.top(), 300, 100),
                                          QRect(main.left(), main.top() + 400, 400, 200),
                                          QRect(main.left(), main.bottom() - 30, 900, 30)}};
        const QRect placed(window::placeCcdWindow(where, QSize(300, 400)), QSize(300, 400));
        EXPECT_EQ(placed.topLeft(), row.expected) << row.name;
        EXPECT_TRUE(screen.contains(placed)) << row.name;
        for (const QRect &area : where.keepClear)
            EXPECT_FALSE(placed.intersects(area)) << row.name;
    }
}

TEST(CcdPlacement, AWindowIsKeptOnTheScreenAndALargerOneKeepsItsTopLeftOnIt) {
    const QRect screen(0, 0, 1024, 768);
    EXPECT_EQ(window::keptOnScreen(QRect(20000, -500, 100, 100), screen).topLeft(), QPoint(924, 0));
    EXPECT_EQ(window::keptOnScreen(QRect(-50, 900, 2000, 300), screen).topLeft(), QPoint(0, 468));
}

} // namespace
