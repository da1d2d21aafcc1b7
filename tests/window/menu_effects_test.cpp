// The whole program in-process against the scripted sensor: every item of
// its menu bar, pressed by its key where it has one, does what it says, on
// the wire, on the panels, in a file or in a window. An item without a row
// here fails the test, so a new one cannot go in untested, and a key that
// the manual page does not list fails it too.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <qcustomplot.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/program.h"
#include "glance/tool_tip_key.h"
#include "link/exchange_guard.h"
#include "runtime/runtime.h"
#include "runtime/test_hooks.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "sim/protocol.h"
#include "sim/scripted_sensor.h"
#include "tests/window/temp_settings.h"

namespace {

const sim::Words kSet{500, 0, 512, 64, 1, 1, 1, 1024, 512, 100, 1, 1, 0, 1, 0, 1000};

// Every item of the bar with a text, by its text without the '&'.
std::map<QString, QAction *> MenuItems(QWidget *main) {
    std::map<QString, QAction *> items;
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
        for (QAction *action : menu->actions()) {
            if (action->menu())
                walk(action->menu());
            else if (!action->isSeparator() && !action->text().isEmpty())
                items[action->text().remove(QLatin1Char('&'))] = action;
        }
    };
    for (QMenuBar *bar : main->findChildren<QMenuBar *>())
        for (QAction *top : bar->actions())
            if (top->menu())
                walk(top->menu());
    return items;
}

// The keys the manual page lists: the terms (".B F5", ".B Ctrl+O, Ctrl+S")
// of its KEYS section.
QStringList ManualKeys() {
    QFile page(QStringLiteral(VEXA_MAN_PAGE_ADDITIONS));
    EXPECT_TRUE(page.open(QIODevice::ReadOnly | QIODevice::Text)) << VEXA_MAN_PAGE_ADDITIONS;
    const QString text = QString::fromUtf8(page.readAll());
    const QString keys = text.section(QStringLiteral("[KEYS]"), 1).section(QLatin1Char('['), 0, 0);
    QStringList listed;
    for (const QString &line : keys.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String(".B ")))
            listed += line.mid(3).split(QStringLiteral(", "));
    return listed;
}

// A shown window or dialog by its object name or its class's name.
QWidget *Shown(const QString &name) {
    for (QWidget *w : QApplication::allWidgets())
        if (w->isWindow() && w->isVisible() &&
            (w->objectName() == name || QLatin1String(w->metaObject()->className()).endsWith(name)))
            return w;
    return nullptr;
}

QMessageBox *ShownBox(const QString &title) {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w);
            box && box->isVisible() && box->windowTitle() == title)
            return box;
    return nullptr;
}

bool Dimmed(int control) {
    int dimmed = -1;
    GetCtrlAttribute(panelHandle, control, ATTR_DIMMED, &dimmed);
    return dimmed == 1;
}

QCustomPlot *Plot(int control) {
    return qobject_cast<QCustomPlot *>(rt::controlWidget(panelHandle, control));
}

// Shows the way to `item` as a user's mouse does: each menu on the path
// says it is about to show, outermost first.
void OpenMenusOf(QAction *item) {
    for (QObject *holder : item->associatedObjects())
        if (auto *menu = qobject_cast<QMenu *>(holder)) {
            if (QAction *opener = menu->menuAction(); opener && opener != item)
                OpenMenusOf(opener);
            emit menu->aboutToShow();
        }
}

bool DarkPalette() {
    return QApplication::palette().color(QPalette::Window).lightness() < 128;
}

int PanelInt(int control) {
    int value = -1;
    GetCtrlVal(panelHandle, control, &value);
    return value;
}

struct Row {
    const char *item;
    std::function<bool()> done; // polled until true: the item's effect, seen
};

TEST(MenuEffects, EveryItemOfTheMenuBarDoesWhatItSays) {
    window_test::TempSettings settings;
    QTemporaryDir dir;
    sim::ScriptedSensor sensor;
    sensor.script(sim::order::Echo, sim::makeReply(5));
    sensor.script(sim::order::WriteRam, sim::makeReply(1, kSet));
    sensor.script(sim::order::ReadRam, sim::makeReply(2, kSet));
    sensor.script(sim::order::Teach, sim::makeReply(6, kSet));
    sensor.script(sim::order::Firmware, sim::wordsToBytes(std::vector<std::uint16_t>(36, 'F')));
    sensor.script(sim::order::Frame, sim::makeReply(8, {290, 435, 435, 512, 100}));
    sensor.script(sim::order::Video, sim::wordsToBytes(std::vector<std::uint16_t>(64, 300)));
    sensor.script(sim::order::CcdInfo, sim::makeReply(10, {1, 1024, 0}));
    sensor.script(sim::order::ResetMaxMin, sim::makeReply(11));
    SetComDevice(1, sensor.slavePath().c_str());

    const QString parameterFile = dir.filePath(QStringLiteral("set.dat"));
    QFile set(parameterFile);
    ASSERT_TRUE(set.open(QIODevice::WriteOnly));
    set.write("777\n0\n512\n64\n1\n1\n1\n1024\n512\n100\n1\n1\n0\n1\n0\n1000\n");
    set.close();
    QString nextFile;
    SetFileSelectHook([&](const FileSelectRequest &, std::string &chosen) {
        chosen = nextFile.toStdString();
        return 1;
    });

    QWidget *main = nullptr;
    std::size_t since = 0; // the requests before the row's key
    const auto sent = [&](std::uint16_t order, std::size_t n) {
        const auto orders = sensor.orders();
        return static_cast<std::size_t>(
                   std::count(orders.begin() + static_cast<long>(since), orders.end(), order)) >= n;
    };
    const auto idle = [] {
        return !Dimmed(CTRL_Busy1) && !Dimmed(CTRL_Busy2) && !Dimmed(CTRL_Busy3);
    };
    // Picks `name` in the file dialog `dialog` once it is shown.
    const auto saveIn = [&](const char *dialog, const char *name) {
        auto *shown = qobject_cast<QFileDialog *>(Shown(QLatin1String(dialog)));
        if (shown) {
            // What the dialog says when a name is typed and accepted.
            emit shown->fileSelected(dir.filePath(QLatin1String(name)));
            shown->close();
        }
        return shown != nullptr;
    };
    const auto closeBox = [](QMessageBox *box) {
        if (box)
            box->close();
        return box != nullptr;
    };
    bool recording = false;
    const Row rows[] = {
        {"Load parameters...", [&] { return PanelInt(NEDITPower) == 777; }},
        {"Save parameters...",
         [&] {
             QFile saved(nextFile);
             return saved.open(QIODevice::ReadOnly) && saved.readLine().trimmed() == "777";
         }},
        {"Send", [&] { return sent(sim::order::WriteRam, 1) && idle(); }},
        {"Get", [&] { return sent(sim::order::ReadRam, 1) && idle(); }},
        {"Teach", [&] { return sent(sim::order::Teach, 1) && idle(); }},
        {"Reset Max/Min", [&] { return sent(sim::order::ResetMaxMin, 1) && idle(); }},
        {"Record frames...",
         [&] {
             if (!recording && saveIn("recordFramesDialog", "frames.csv"))
                 recording = true;
             return recording && main->windowTitle().contains(QStringLiteral("recording to"));
         }},
        {"Run", [&] { return sent(sim::order::Frame, 3); }},
        {"Auto-scale trend",
         [&] {
             return sent(sim::order::Frame, 3) && Plot(STRIP_Trend)->yAxis->range().upper < 1000;
         }},
        {"mm",
         [&] {
             return window::ToolTipKey::shownText(rt::controlWidget(panelHandle, NUM_Mvalue))
                 .contains(QStringLiteral(" mm"));
         }},
        {"pixels",
         [&] {
             return !window::ToolTipKey::shownText(rt::controlWidget(panelHandle, NUM_Mvalue))
                         .contains(QStringLiteral(" mm"));
         }},
        {"Freeze", [&] { return main->windowTitle().contains(QStringLiteral("frozen")); }},
        {"Stop", [&] { return idle(); }},
        {"Data",
         [&] {
             if (!sent(sim::order::Video, 4))
                 return false;
             stop_flag = 1; // as Stop does; its key has had its row
             return idle();
         }},
        {"Export graph...",
         [&] {
             saveIn("exportGraphDialog", "graph");
             return QDir(dir.path()).entryList({QStringLiteral("graph.*")}).size() == 1;
         }},
        {"Export data...",
         [&] {
             saveIn("exportDataDialog", "data.csv");
             return QDir(dir.path()).entryList({QStringLiteral("data.*")}).size() == 1;
         }},
        {"Publish to broker...",
         [&] {
             QWidget *dialog = Shown(QStringLiteral("publishDialog"));
             if (dialog)
                 dialog->close();
             return dialog != nullptr;
         }},
        {"Statistics", [&] { return Shown(QStringLiteral("StatisticsWindow")) != nullptr; }},
        {"Compare parameters...",
         [&] { return Shown(QStringLiteral("compareWindow")) != nullptr; }},
        {"CCD settings", [&] { return rt::panelWidget(panelPopUp)->isVisible(); }},
        {"Legend", [&] { return !Plot(STRIP_Trend)->legend->visible(); }},
        {"Trend and video side by side",
         [&] {
             const auto *item = main->findChild<QAction *>(QStringLiteral("actionSideBySide"));
             return item->isEnabled()
                        ? rt::controlWidget(panelHandle, STRIP_Trend)->isVisible() &&
                              rt::controlWidget(panelHandle, GRAPH_Data)->isVisible()
                        : item->toolTip().startsWith(QStringLiteral("Needs a screen"));
         }},
        {"Dark", [] { return DarkPalette(); }},
        {"Light", [] { return !DarkPalette(); }},
        {"System", [] { return !DarkPalette(); }},
        {"COM port...",
         [&] { return QApplication::focusWidget() == rt::controlWidget(panelHandle, DropDCom); }},
        {"About", [&] { return closeBox(ShownBox(QStringLiteral("About V-EXA-TB-Scope"))); }},
        {"Keyboard",
         [&] {
             QMessageBox *box = ShownBox(QStringLiteral("Keyboard"));
             return box &&
                    box->text().contains(
                        QStringLiteral("<b>F5</b></td><td>&nbsp;&nbsp;Sensor &gt; Run")) &&
                    closeBox(box);
         }},
        {"Quit", [] { return false; }}, // WinMain returns
    };

    std::map<QString, bool> seen; // item -> its effect came
    std::size_t row = 0;
    bool pressed = false, ready = false;
    int waited = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        main = rt::panelWidget(panelHandle);
        if (!main || !main->windowTitle().contains(QStringLiteral("\u2014 connected")) ||
            row >= std::size(rows))
            return;
        if (!ready) { // the connect sequence over, the window active for the keys
            ready = idle() && !SensorBusy();
            main->activateWindow();
            QApplication::setActiveWindow(main);
            return;
        }
        const auto items = MenuItems(main);
        if (!pressed) {
            for (const auto &[text, action] : items) // every item has its row
                EXPECT_TRUE(row > 0 || std::any_of(std::begin(rows), std::end(rows),
                                                   [&](const Row &r) { return text == r.item; }))
                    << "no row for the item " << text.toStdString();
            for (const auto &[text, action] : items) // and its key in the manual page
                EXPECT_TRUE(row > 0 || action->shortcut().isEmpty() ||
                            ManualKeys().contains(action->shortcut().toString()))
                    << text.toStdString() << "'s key "
                    << action->shortcut().toString().toStdString()
                    << " is not in the manual page's KEYS";
            const auto item = items.find(QLatin1String(rows[row].item));
            if (item == items.end()) {
                ADD_FAILURE() << "no item " << rows[row].item;
                ++row;
                return;
            }
            nextFile = row == 0 ? parameterFile : dir.filePath(QStringLiteral("saved.dat"));
            since = sensor.orders().size();
            main->activateWindow();
            QApplication::setActiveWindow(main);
            const QKeySequence key = item->second->shortcut();
            if (key.isEmpty()) {
                OpenMenusOf(item->second); // as the user does on the way to it
                item->second->trigger();
            } else
                QTest::keyClick(main, key[0].key(), key[0].keyboardModifiers());
            pressed = true;
            waited = 0;
            return;
        }
        if (rows[row].done()) {
            seen[QLatin1String(rows[row].item)] = true;
        } else if (++waited < 300) {
            return;
        } else {
            QStringList shown;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->isVisible())
                    shown << w->objectName() + "/" + w->windowTitle();
            char status[260] = {};
            GetCtrlVal(panelHandle, TEXT_Status, status);
            ADD_FAILURE() << rows[row].item << " showed no effect; status " << status << "; shown "
                          << shown.join(", ").toStdString();
            stop_flag = 1;
        }
        pressed = false;
        ++row;
    });
    driver.start(10);
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [&] {
        ADD_FAILURE() << "Quit did not end the program";
        stop_flag = 1;
        if (QWidget *window = rt::panelWidget(panelHandle))
            window->close();
    });
    safety.start(60000);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 1), 0);
    SetFileSelectHook(nullptr);
    SetComDevice(1, "");
    // Quit's key, the last row, ended the program; every row before it had its effect.
    EXPECT_TRUE(pressed && row + 1 == std::size(rows)) << "ended at row " << row;
    EXPECT_EQ(seen.size() + 1, std::size(rows));
}

} // namespace
