// Makes docs/screenshots/compare.png against vexa-sim, when asked:
//   VEXA_SIM_DEVICE=<the pty vexa-sim prints> VEXA_COMPARE_SCREENSHOT=<png> test_compare
// vexa-sim started with --eeprom FILE holding the EEPROM set below. Skipped otherwise.
#include "compare_fixture.h"

#include <QPixmap>

#include <cstdlib>

#include "link/exchanges.h"
#include "link/transactions.h"

namespace compare_test {
namespace {

TEST_F(CompareTest, ScreenshotAgainstVexaSim) {
    const char *device = std::getenv("VEXA_SIM_DEVICE");
    const char *shot = std::getenv("VEXA_COMPARE_SCREENSHOT");
    if (!device || !shot)
        GTEST_SKIP() << "VEXA_SIM_DEVICE and VEXA_COMPARE_SCREENSHOT not set";
    SetComDevice(params_test::kTestPort, device);
    ASSERT_EQ(OpenComConfig(params_test::kTestPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
    com = params_test::kTestPort;
    ReceiveCallbackOn();

    // The sensor's RAM was edited and not stored; the panels were edited since.
    const unsigned short ramSet[PNUM] = {650, 0,   540, 64, 1, 1, 1, 1024,
                                         512, 110, 1,   1,  0, 1, 0, 1000};
    ASSERT_EQ(WriteParameterSet(ORDER_WRITE_RAM, ramSet), TELEGRAM_LEN);
    for (const double end = Timer() + 0.3; Timer() < end;)
        ProcessSystemEvents(); // the write leaves before the read flushes the queue
    SetCtrlVal(panelHandle, NEDITPower, 650);
    SetCtrlVal(panelHandle, NEDITVideoThreshold, 540);
    SetCtrlVal(panelHandle, RING_EdgeMode, 2);
    SetCtrlVal(panelPopUp, NEDITTolerance, 120);

    sim::Words file = kStart;
    file[0] = 1500, file[3] = 70, file[15] = 1100;
    window_->readSensor();
    window_->loadFile(QString::fromStdString(writeFile("VEXApara.dat", file)));
    window_->resize(980, 640);
    settle();
    ASSERT_TRUE(window_->grab().save(QString::fromLocal8Bit(shot)));
}

} // namespace
} // namespace compare_test
