// The program's whole start in-process against the scripted sensor: the main
// window is on the screen before the connect sequence sends its first
// request.
#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>

#include "runtime/runtime.h"
#include "runtime/test_hooks.h"
#include "runtime/widget_access.h"
#include "shell/globals.h"
#include "shell/startup.h"
#include "sim/scripted_sensor.h"
#include "tests/window/temp_settings.h"

TEST(StartUpOrder, TheMainWindowIsShownBeforeTheFirstRequestGoesOut) {
    window_test::TempSettings settings;
    sim::ScriptedSensor sensor; // answers nothing: the sequence runs into its time-outs
    SetComDevice(1, sensor.slavePath().c_str());
    int writes = 0;
    bool shownAtFirstWrite = false;
    SetSerialOutputObserver([&](const SerialOutputEvent &event) {
        if (event.kind != SerialOutputEvent::Write || writes++ > 0)
            return;
        const QWidget *main = rt::panelWidget(panelHandle);
        shownAtFirstWrite = main && main->isVisible();
        // Closing ends the program once the sequence is over.
        QTimer::singleShot(0, [] {
            if (QWidget *window = rt::panelWidget(panelHandle))
                window->close();
        });
    });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 1), 0);
    SetSerialOutputObserver(nullptr);
    EXPECT_GE(writes, 1);
    EXPECT_TRUE(shownAtFirstWrite);
}
