// Exporting while the live loop runs: the dialog stays open beside the loop,
// and the export happens between two frames without ending the loop.
#include "export_test_support.h"

#include <QAction>
#include <QImage>

#include "display/live_loop.h"

using namespace display_test;
using namespace export_test;

namespace {

using ExportDuringLoop = WithExport<SensorTest>;

TEST_F(ExportDuringLoop, TheDialogAndTheExportLeaveTheLoopRunning) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    std::size_t framesAtOpen = 0, framesAtExport = 0;
    QStringList filters;
    // Open the dialog, let frames come while it is open, choose the trend
    // chart, let frames come again, then Stop.
    Poller user([&] {
        const std::size_t frames = CountOrders(sim::order::Frame);
        if (framesAtOpen == 0 && frames >= 3) {
            framesAtOpen = frames;
            Find<QAction>("actionExportGraph")->trigger();
        } else if (framesAtOpen != 0 && framesAtExport == 0 && frames >= framesAtOpen + 5) {
            framesAtExport = frames;
            auto *dialog = Find<QFileDialog>("exportGraphDialog");
            filters = dialog ? dialog->nameFilters() : QStringList();
            ChooseInDialog(dialog, QStringLiteral("Trend chart as PNG image (*.png)"),
                           Path("trend"));
        } else if (framesAtExport != 0 && frames >= framesAtExport + 5) {
            ClickStop();
            return true;
        }
        return false;
    });
    SafetyStop safety(10000);
    CC_BTNRun(panelHandle, CTRL_Busy1, EVENT_COMMIT, nullptr, 0, 0);

    EXPECT_FALSE(safety.fired());
    EXPECT_TRUE(user.done());
    EXPECT_EQ(
        filters,
        QStringList({"Edge graph as PNG image (*.png)", "Edge graph as PDF document (*.pdf)",
                     "Trend chart as PNG image (*.png)", "Trend chart as PDF document (*.pdf)",
                     "Video graph as PNG image (*.png)", "Video graph as PDF document (*.pdf)"}));
    // The trend chart was shown while the loop ran, so at its own size.
    EXPECT_EQ(QImage(Path("trend.png"), "PNG").size(),
              rt::controlWidget(panelHandle, STRIP_Trend)->size());
}

} // namespace
