// The Tools menu item opens one compare window and raises it again; the file
// dialog does not hold the event loop; the window stands beside the main
// window, shows every row, closes with Esc and says when its sensor columns
// are old.
#include "compare_fixture.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "compare/attach_compare.h"
#include "menus/menu_bar.h"
#include "stream/publish.h"

namespace compare_test {
namespace {

TEST_F(CompareTest, ToolsMenuOpensOneWindowAndRaisesItAgain) {
    QWidget *mainWindow = rt::panelWidget(panelHandle);
    window_->hide();
    AttachCompareWindow(panelHandle);
    QMenu *tools = window::menu(mainWindow, window::TopMenu::Tools);
    auto *item = tools->findChild<QAction *>("actionCompareParameters");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&Compare parameters...");
    item->trigger();
    item->trigger();
    settle();
    const auto windows = mainWindow->findChildren<compare::CompareWindow *>();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows.front()->isVisible());
}

TEST_F(CompareTest, FileDialogLeavesTheEventLoopAndFillsTheFileColumn) {
    sim::Words words = kStart;
    words[3] = 99;
    const std::string file = writeFile("set.dat", words);
    window_->openFile(); // returns at once: no nested event loop
    auto *dialog = window_->findChild<QFileDialog *>("compareFileDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->selectFile(QString::fromStdString(file));
    static_cast<QDialog *>(dialog)->accept(); // the dialog's own accept, as its Open button
    settle();
    EXPECT_EQ(cell(3, Column::File)->text().toStdString(), "99");
    EXPECT_TRUE(highlighted(3, Column::File));
}

TEST_F(CompareTest, OpensBesideTheMainWindowWithEveryRowAndEscClosesIt) {
    QWidget *main = rt::panelWidget(panelHandle);
    main->show();
    settle();
    const QRect screen = main->screen()->availableGeometry();
    // Most of the main window left of the screen leaves room on its right
    // (the test's screen is 800 wide).
    main->move(screen.left() - main->frameGeometry().width() + 100, 0);
    window_->hide();
    window_->resize(600, window_->height());
    main->activateWindow(); // as a user picks the menu item there
    EXPECT_TRUE(QTest::qWaitForWindowActive(main));
    settle();
    compare::showCompareWindow(main);
    settle();
    EXPECT_EQ(window_->frameGeometry().left(), main->frameGeometry().right() + 1);
    EXPECT_TRUE(screen.contains(window_->frameGeometry()));
    // All sixteen rows at once, in a window that a 1280x720 screen holds.
    EXPECT_EQ(table()->verticalScrollBar()->maximum(), 0);
    EXPECT_LE(window_->frameGeometry().height(), 720 - 36);

    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->window(), window_);
    stop_flag = 0;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(stop_flag, 0) << "Esc in the compare window stopped the loop";
}

TEST_F(CompareTest, SensorColumnsSayReadAgainAfterThePortOpensOrIsLost) {
    const auto header = [this](Column column) {
        return table()->horizontalHeaderItem(compare::tableColumn(column))->text().toStdString();
    };
    for (bool lost : {false, true}) {
        connectSensor();
        scriptSensor(kStart, kStart);
        window_->readSensor();
        EXPECT_EQ(header(Column::Ram), "RAM");
        EXPECT_EQ(cell(0, Column::Ram)->foreground().color(), QColor(Qt::black));
        if (lost)
            PortLost(params_test::kTestPort);
        else
            PortOpened(params_test::kTestPort, 0);
        EXPECT_EQ(header(Column::Ram), "RAM (read again)");
        EXPECT_EQ(header(Column::Eeprom), "EEPROM (read again)");
        EXPECT_EQ(header(Column::Panel), "Panel");
        EXPECT_EQ(cell(0, Column::Eeprom)->foreground().color(), QColor(Qt::gray));
        EXPECT_EQ(cell(0, Column::Eeprom)->text().toStdString(), std::to_string(kStart[0]));
        CloseCom(params_test::kTestPort);
    }
}

} // namespace
} // namespace compare_test
