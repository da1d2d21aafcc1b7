// The program's whole start in-process against the scripted sensor: the main
// window is on the screen before the connect sequence sends its first
// request, with a mnemonic on every menu item.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

#include "app/program.h"
#include "runtime/runtime.h"
#include "runtime/test_hooks.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "sim/scripted_sensor.h"
#include "tests/window/temp_settings.h"

TEST(StartUpOrder, TheMainWindowIsShownBeforeTheFirstRequestGoesOut) {
    window_test::TempSettings settings;
    sim::ScriptedSensor sensor; // answers nothing: the sequence runs into its time-outs
    SetComDevice(1, sensor.slavePath().c_str());
    int writes = 0;
    bool shownAtFirstWrite = false;
    QStringList withoutMnemonic; // "Menu > Item", also an item whose letter another has
    SetSerialOutputObserver([&](const SerialOutputEvent &event) {
        if (event.kind != SerialOutputEvent::Write || writes++ > 0)
            return;
        const QWidget *main = rt::panelWidget(panelHandle);
        shownAtFirstWrite = main && main->isVisible();
        const auto *bar = main ? main->findChild<QMenuBar *>() : nullptr;
        for (QAction *top : bar ? bar->actions() : QList<QAction *>()) {
            QList<QAction *> items{top};
            if (top->menu())
                items += top->menu()->actions();
            QSet<int> letters;
            for (QAction *item : items) {
                const QKeySequence letter = QKeySequence::mnemonic(item->text());
                const bool own = item == top || !letters.contains(letter[0].toCombined());
                if (!item->isSeparator() && (letter.isEmpty() || !own))
                    withoutMnemonic << top->text() + QStringLiteral(" > ") + item->text();
                if (item != top)
                    letters.insert(letter[0].toCombined());
            }
        }
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
    EXPECT_EQ(withoutMnemonic.join(QStringLiteral(", ")).toStdString(), "");
}

// Until the connect sequence has read the sensor's set, the panels hold the
// panel file's start values: a click on any button of the sensor's work is
// refused with the busy note, so only the sequence's own orders go out (an
// echo check that gets no answer is followed by the CCD request alone).
TEST(StartUpOrder, EverySensorActionIsRefusedWhileTheConnectSequenceRuns) {
    window_test::TempSettings settings;
    sim::ScriptedSensor sensor;
    SetComDevice(1, sensor.slavePath().c_str());
    const char *buttons[] = {"BTNSend",     "BTNGet", "ButtonTeach",
                             "ButtonReset", "BTNRun", "BTNData"};
    std::vector<std::string> statusAfterClick;
    bool clicked = false;
    SetSerialOutputObserver([&](const SerialOutputEvent &event) {
        if (event.kind != SerialOutputEvent::Write || event.bytes.size() < 4)
            return;
        QWidget *main = rt::panelWidget(panelHandle);
        if (event.bytes[3] == sim::order::CcdInfo) // the sequence's last request
            QTimer::singleShot(0, [main] { main->close(); });
        if (std::exchange(clicked, true))
            return;
        // Inside the echo check's wait, as a user's click would come.
        QTimer::singleShot(0, [&, main] {
            for (const char *name : buttons) {
                QTest::mouseClick(main->findChild<QWidget *>(QLatin1String(name)), Qt::LeftButton);
                QCoreApplication::processEvents(); // the click's callback runs
                char status[260] = {};
                GetCtrlVal(panelHandle, TEXT_Status, status);
                statusAfterClick.emplace_back(status);
            }
        });
    });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 1), 0);
    SetSerialOutputObserver(nullptr);

    std::vector<int> orders;
    for (const sim::Telegram &request : sensor.requests())
        orders.push_back(sim::requestOrder(request));
    EXPECT_EQ(orders, (std::vector<int>{sim::order::Echo, sim::order::CcdInfo}));
    ASSERT_EQ(statusAfterClick.size(), std::size(buttons));
    for (std::size_t i = 0; i < std::size(buttons); ++i)
        EXPECT_EQ(statusAfterClick[i], "Busy - press Stop or wait!") << buttons[i];
}
