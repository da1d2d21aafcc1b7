// The Tools menu item opens one compare window and raises it again; the file
// dialog does not hold the event loop.
#include "compare_fixture.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>

#include "compare/attach_compare.h"
#include "menus/menu_bar.h"

namespace compare_test {
namespace {

TEST_F(CompareTest, ToolsMenuOpensOneWindowAndRaisesItAgain) {
    QWidget *mainWindow = rt::panelWidget(panelHandle);
    window_->hide();
    AttachCompareWindow(panelHandle);
    QMenu *tools = window::menu(mainWindow, window::TopMenu::Tools);
    auto *item = tools->findChild<QAction *>("actionCompareParameters");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Compare parameters...");
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

} // namespace
} // namespace compare_test
