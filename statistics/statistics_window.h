// The statistics window of the View menu: how well the line holds its
// tolerance over the window the user picks, as figures and a histogram of
// the measured value with the band on it. It listens to the program's
// frames from the moment it is made (the last 100 it finds in the stream's
// history first) until the program ends, also while hidden, so "since the
// reset" means what it says; it works out and draws the figures only while
// shown, four times a second.
#pragma once

#include <QTimer>
#include <QWidget>

#include <memory>

#include "statistics/process_statistics.h"
#include "stream/channel.h"

namespace Ui {
class StatisticsWindow;
}

namespace statistics {

class StatisticsWindow : public QWidget {
    Q_OBJECT

  public:
    // How often the shown figures are worked out anew.
    static constexpr int REFRESH_MS = 250;

    explicit StatisticsWindow(QWidget *mainWindow);
    ~StatisticsWindow() override;

    const ProcessStatistics &statistics() const { return statistics_; }
    // Works the figures out and shows them.
    void refresh();

  protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    void showFigures(const Figures &figures);
    void showHistogram(const Figures &figures);

    std::unique_ptr<Ui::StatisticsWindow> ui_;
    ProcessStatistics statistics_;
    stream::Subscription frames_;
    QTimer refreshTimer_;
};

// The one statistics window of `mainWindow`: made on the first call, then
// shown, raised and activated.
StatisticsWindow *showStatisticsWindow(QWidget *mainWindow);

} // namespace statistics
