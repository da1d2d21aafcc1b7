// View > Statistics on the real panels: the item opens one window, which
// listens to the program's frames only from then on; frames published as
// the loops publish them show in its figures and histogram after its
// refresh, and the window's choice changes what they count.
#include "tests/display/display_test_support.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <qcustomplot.h>

#include "menus/menu_bar.h"
#include "statistics/attach_statistics.h"
#include "statistics/statistics_window.h"
#include "stream/publish.h"

using namespace display_test;

namespace {

void Publish(int times, unsigned short mvalue) {
    Frame frame; // tVal 512, tTol 100: the band 412..612
    frame.Mvalue = mvalue;
    const sim::Words words = frame.words();
    for (int i = 0; i < times; ++i)
        FrameDecoded(words.data());
}

class StatisticsWindowTest : public PanelTest {
  protected:
    QString Cell(int row, int column) const {
        return window_->findChild<QTableWidget *>("figuresTable")->item(row, column)->text();
    }
    QLabel *Label(const char *name) const { return window_->findChild<QLabel *>(name); }
    // Waits for the window's own refresh to show `count` frames.
    bool CountShows(const QString &count) const {
        QElapsedTimer waited;
        waited.start();
        while (Cell(0, 0) != count && waited.elapsed() < 2000)
            QTest::qWait(20);
        return Cell(0, 0) == count;
    }
    std::vector<double> BarKeys() const {
        auto *plot = window_->findChild<QCustomPlot *>("histogram");
        std::vector<double> keys;
        for (const QCPBarsData &bar : *static_cast<QCPBars *>(plot->plottable(0))->data())
            keys.push_back(bar.key);
        return keys;
    }
    std::vector<double> BandLines() const {
        auto *plot = window_->findChild<QCustomPlot *>("histogram");
        std::vector<double> xs;
        for (int i = 0; i < plot->itemCount(); ++i)
            if (plot->item(i)->visible())
                xs.push_back(
                    static_cast<QCPItemStraightLine *>(plot->item(i))->point1->coords().x());
        return xs;
    }

    statistics::StatisticsWindow *window_ = nullptr;
};

TEST_F(StatisticsWindowTest, ViewMenuOpensTheWindowAndItsFiguresFollowTheFrames) {
    QWidget *mainWindow = rt::panelWidget(panelHandle);
    AttachStatistics(panelHandle);
    auto *item =
        window::menu(mainWindow, window::TopMenu::View)->findChild<QAction *>("actionStatistics");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Statistics");

    // Nothing listens before the window is made.
    const std::size_t listening = stream::programStream().frames.listeners();
    Publish(50, 300);
    EXPECT_EQ(stream::programStream().frames.listeners(), listening);
    item->trigger();
    item->trigger();
    Settle();
    const auto windows = mainWindow->findChildren<statistics::StatisticsWindow *>();
    ASSERT_EQ(windows.size(), 1);
    window_ = windows.front();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(stream::programStream().frames.listeners(), listening + 1);
    // The 50 frames of the stream's history are in.
    ASSERT_TRUE(CountShows("50"));

    // 100 frames at 500: the last 100 have no spread, and no Cp.
    Publish(100, 500);
    ASSERT_TRUE(CountShows("100"));
    EXPECT_EQ(Cell(0, 1), "500.00");
    EXPECT_EQ(Cell(0, 2), "0.00");
    EXPECT_EQ(Cell(1, 3), "400"); // Ledge
    EXPECT_EQ(Label("outsideValue")->text(), "0 of 100 frames (0.00 %)");
    EXPECT_EQ(Label("bandValue")->text(), "412 to 612");
    EXPECT_EQ(Label("cpValue")->text(), "\u2014");
    EXPECT_TRUE(Label("cpkValue")->toolTip().contains("standard deviation of 0"));
    EXPECT_EQ(BarKeys(), (std::vector<double>{500}));
    EXPECT_EQ(BandLines(), (std::vector<double>{412, 612}));

    // The last 1,000 take the older frames at 300 too: mean 433.33, sd =
    // sqrt((50 * 133.33^2 + 100 * 66.67^2) / 149) = 94.60, Cp = 200 / (6 sd).
    window_->findChild<QComboBox *>("windowChoice")->setCurrentIndex(1);
    ASSERT_TRUE(CountShows("150"));
    EXPECT_EQ(Cell(0, 1), "433.33");
    EXPECT_EQ(Cell(0, 2), "94.60");
    EXPECT_EQ(Cell(0, 3), "300");
    EXPECT_EQ(Label("outsideValue")->text(), "50 of 150 frames (33.33 %)");
    EXPECT_EQ(Label("cpValue")->text(), "0.35");
    EXPECT_EQ(BarKeys(), (std::vector<double>{300, 500}));

    QTest::mouseClick(window_->findChild<QPushButton *>("resetButton"), Qt::LeftButton);
    EXPECT_EQ(Cell(0, 0), "\u2014");
    EXPECT_EQ(Label("outsideValue")->text(), "\u2014");
    EXPECT_TRUE(BandLines().empty());
}

} // namespace
