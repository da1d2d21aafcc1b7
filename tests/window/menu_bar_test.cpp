// The menu bar keeps its top menus in one order whoever asks first, hands
// each feature the same menu again, and the keyboard list names every item
// that has a shortcut and only those.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>

#include "glance/window_title.h"
#include "menus/help_menu.h"
#include "menus/menu_bar.h"

namespace {

QStringList topTitles(QWidget *window) {
    QStringList titles;
    for (QAction *action : window::menuBar(window)->actions())
        titles << action->text();
    return titles;
}

TEST(MenuBar, TopMenusKeepTheirOrderWhoeverComesFirst) {
    QWidget mainWindow;
    new QVBoxLayout(&mainWindow);
    QMenu *help = window::menu(&mainWindow, window::TopMenu::Help);
    window::menu(&mainWindow, window::TopMenu::Tools);
    window::menu(&mainWindow, window::TopMenu::File);
    window::menu(&mainWindow, window::TopMenu::Sensor);
    window::menu(&mainWindow, window::TopMenu::View);
    EXPECT_EQ(
        topTitles(&mainWindow),
        (QStringList{QStringLiteral("&File"), QStringLiteral("&View"), QStringLiteral("&Sensor"),
                     QStringLiteral("&Tools"), QStringLiteral("&Help")}));
    EXPECT_EQ(window::menu(&mainWindow, window::TopMenu::Help), help);
    EXPECT_EQ(window::menuBar(&mainWindow), mainWindow.layout()->menuBar());
}

TEST(MenuBar, WindowWithoutLayoutGetsNoBar) {
    QWidget bare;
    EXPECT_EQ(window::menuBar(&bare), nullptr);
    EXPECT_EQ(window::menu(&bare, window::TopMenu::File), nullptr);
}

// Two additions after the File menu's own items ("-" a separator).
TEST(MenuBar, AdditionsGoBeforeQuitAndTheSeparatorThatSetsItApart) {
    const struct {
        QStringList menu, after;
    } cases[] = {
        {{"Load", "-", "Quit"}, {"Load", "A", "B", "-", "Quit"}},
        {{"Load", "Quit"}, {"Load", "A", "B", "Quit"}},
        {{"-", "Quit"}, {"A", "B", "-", "Quit"}},
        {{"Load", "-"}, {"Load", "-", "A", "B"}},
        {{}, {"A", "B"}},
    };
    for (const auto &c : cases) {
        QMenu file;
        for (const QString &name : c.menu)
            if (name == "-")
                file.addSeparator();
            else
                file.addAction(name)->setObjectName("action" + name);
        for (const char *name : {"A", "B"})
            window::insertBeforeQuit(&file, new QAction(QString::fromLatin1(name), &file));
        QStringList after;
        for (QAction *a : file.actions())
            after << (a->isSeparator() ? QStringLiteral("-") : a->text());
        EXPECT_EQ(after.join(' ').toStdString(), c.after.join(' ').toStdString())
            << c.menu.join(' ').toStdString();
    }
}

TEST(HelpMenu, KeyboardListNamesEveryShortcutAndOnlyThose) {
    QWidget mainWindow;
    new QVBoxLayout(&mainWindow);
    window::addHelpMenu(&mainWindow);
    QMenu *sensor = window::menu(&mainWindow, window::TopMenu::Sensor);
    sensor->addAction(QStringLiteral("&Run"))->setShortcut(QKeySequence(Qt::Key_F5));
    sensor->addAction(QStringLiteral("Without key"));
    auto *stop = new QShortcut(QKeySequence(Qt::Key_Escape), &mainWindow);
    stop->setWhatsThis(QStringLiteral("Stop the running loop"));
    new QShortcut(QKeySequence(Qt::Key_F12), &mainWindow); // says nothing of what it does

    const QStringList lines = window::keyboardText(&mainWindow).split(QLatin1Char('\n'));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("F5\tSensor > Run"),
                                  QStringLiteral("Esc\tStop the running loop")}));

    const QStringList help = [&] {
        QStringList items;
        for (QAction *a : window::menu(&mainWindow, window::TopMenu::Help)->actions())
            items << a->text();
        return items;
    }();
    EXPECT_EQ(help, (QStringList{QStringLiteral("&About"), QStringLiteral("&Keyboard")}));
}

TEST(WindowTitle, EachPartKeepsItsPlaceWhenTheOtherChanges) {
    QWidget mainWindow;
    mainWindow.setWindowTitle(QStringLiteral("V-EXA-TB-Scope"));
    const struct {
        window::TitlePart part;
        const char *text;
        const char *title;
    } steps[] = {
        {window::TitlePart::Recording, " - recording to a.csv",
         "V-EXA-TB-Scope - recording to a.csv"},
        {window::TitlePart::Link, " - COM1 - connected",
         "V-EXA-TB-Scope - COM1 - connected - recording to a.csv"},
        {window::TitlePart::Link, " - COM1 - no answer",
         "V-EXA-TB-Scope - COM1 - no answer - recording to a.csv"},
        {window::TitlePart::Recording, "", "V-EXA-TB-Scope - COM1 - no answer"},
    };
    for (const auto &step : steps) {
        window::setTitlePart(&mainWindow, step.part, QString::fromLatin1(step.text));
        EXPECT_EQ(mainWindow.windowTitle(), QString::fromLatin1(step.title)) << step.text;
    }
}

} // namespace
