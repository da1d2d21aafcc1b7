// The program's whole run in-process: start, close the main panel, exit 0.
// Alone in its executable, since the CCD settings panel's parent is the
// first panel the process loads.
#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>

#include "app/program.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/globals.h"

TEST(ProgramLifecycle, ClosingTheMainPanelEndsWithZeroAndClosesThePortTwiceHarmlessly) {
    SetComDevice(1, "/nonexistent/vexa-port");
    bool shown = false;
    QTimer::singleShot(300, [&] {
        QWidget *main = rt::panelWidget(panelHandle);
        shown = main && main->isVisible();
        if (main)
            main->close();
    });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 1), 0);
    EXPECT_TRUE(shown);
    EXPECT_STREQ(szStatus, "No serial port found");
    EXPECT_EQ(rt::panelWidget(panelHandle), nullptr); // discarded
}
