// What the window shows after the loops have repainted it control by control
// is what a full paint of it draws: graphs and indicators that repaint alone
// cover every pixel of theirs, in the colours behind them.
#include "display_test_support.h"

#include <QAbstractSpinBox>
#include <QFile>
#include <QImage>
#include <QResource>
#include <QScreen>
#include <QUiLoader>

#include <memory>

#include "display/raw_values.h"
#include "display/trend_chart.h"

using namespace display_test;

namespace {

QImage AsRgb(const QPixmap &picture) {
    return picture.toImage().convertToFormat(QImage::Format_RGB32);
}

// The picture the window's paints have left on the screen.
QImage Shown(QWidget *window) {
    return AsRgb(window->screen()->grabWindow(window->winId()));
}

// The picture a paint of the whole window draws now.
QImage FullPaint(QWidget *window) {
    return AsRgb(window->grab());
}

// Where two pictures differ: how many pixels, the first one, and the control there.
std::string Difference(const QImage &a, const QImage &b, QWidget *window) {
    if (a.size() != b.size())
        return "sizes differ";
    int differing = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && differing++ == 0)
                first = {x, y};
    if (differing == 0)
        return {};
    const QWidget *at = window->childAt(first);
    return std::to_string(differing) + " pixels, the first at " + std::to_string(first.x()) + "," +
           std::to_string(first.y()) + " in " +
           (at ? at->objectName().toStdString() : std::string("the window"));
}

class WindowPicture : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        window = rt::panelWidget(panelHandle);
        ccdmaxpixel = 1024;
        ccdMode = 0;
        eMode = 0;
        eBeg = 10;
        eEnd = 1000;
        tVal = 512;
        tTol = 100;
        QTest::qWait(50);
    }
    // Frames as the live loop shows them, with the trend chart in place of
    // the video graph and a paint for each as at the line's pace. Every tenth
    // frame shows the edge graph's window, so the last ones are drawn within
    // the axes of an earlier frame.
    static void ShowFrames(int count) {
        SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 1);
        for (int frame = 0; frame < count; ++frame) {
            ccdMode = frame % 10 == 5 ? 1 : 0;
            pix1 = static_cast<unsigned short>(1 + 40 * frame);
            Ledge = static_cast<unsigned short>(300 + 7 * frame);
            Redge = static_cast<unsigned short>(800 - 5 * frame);
            Mvalue = static_cast<unsigned short>(Redge - Ledge);
            anaMax = static_cast<unsigned short>(900 - frame);
            anaMin = static_cast<unsigned short>(100 + frame);
            PlotRAWValues();
            PlotRAWGraph();
            QTest::qWait(20);
        }
        QTest::qWait(50);
    }
    QWidget *window = nullptr;
};

// Ending on frames within the axes of an earlier frame, and on the frame
// that shows the edge graph's window, with new ranges.
TEST_F(WindowPicture, FramesRepaintedControlByControlLeaveWhatAFullPaintDraws) {
    for (const int frames : {30, 6}) {
        ShowFrames(frames);
        const QImage shown = Shown(window);
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(Difference(shown, FullPaint(window), window), "") << frames << " frames";
    }
}

// A new range of either axis alone is shown with that axis's new labels.
TEST_F(WindowPicture, AGraphShowsANewRangeOfEitherAxis) {
    ShowFrames(1);
    for (const int axis : {VAL_XAXIS, VAL_LEFT_YAXIS}) {
        SetAxisScalingMode(panelHandle, GRAPH_Raw, axis, VAL_MANUAL, 0.0, 5000.0);
        QTest::qWait(50);
        EXPECT_EQ(Difference(Shown(window), FullPaint(window), window), "") << "axis " << axis;
    }
}

TEST_F(WindowPicture, IndicatorsLookAsPlainSpinBoxesDo) {
    QPalette other = window->palette(); // a desktop changing its colours
    other.setColor(QPalette::Window, QColor(200, 220, 240));
    window->setPalette(other);
    ShowFrames(1);
    const QImage own = FullPaint(window);
    for (auto *spin : window->findChildren<QAbstractSpinBox *>()) { // the indicators, and only they
        if (spin->isVisible()) {
            EXPECT_EQ(spin->autoFillBackground(), spin->isReadOnly())
                << spin->objectName().toStdString();
        }
    }
    std::vector<QWidget *> filling;
    for (QWidget *w : window->findChildren<QWidget *>())
        if (w->autoFillBackground()) {
            w->setAutoFillBackground(false);
            filling.push_back(w);
        }
    ASSERT_FALSE(filling.empty()) << "no indicator fills its background";
    const QImage without = FullPaint(window);
    EXPECT_EQ(Difference(own, without, window), "");
    // Nor do their digits, drawn without shaping, differ from shaped ones.
    for (auto *spin : window->findChildren<QAbstractSpinBox *>()) {
        QFont shaped = spin->font();
        EXPECT_EQ(bool(shaped.styleStrategy() & QFont::PreferNoShaping), spin->isReadOnly())
            << spin->objectName().toStdString();
        shaped.setStyleStrategy(QFont::PreferDefault);
        spin->setFont(shaped);
    }
    EXPECT_EQ(Difference(own, FullPaint(window), window), "");
}

// Indicators draw their digits without shaping in the fonts the panel file
// gives them.
TEST_F(WindowPicture, IndicatorsKeepThePanelFilesFonts) {
    QResource::registerResource(VEXA_PANEL_FILE_PATH, QStringLiteral("/asFiled"));
    QFile form(QStringLiteral(":/asFiled/%1.ui").arg(PANEL));
    ASSERT_TRUE(form.open(QIODevice::ReadOnly));
    const std::unique_ptr<QWidget> asFiled(QUiLoader().load(&form));
    ASSERT_NE(asFiled, nullptr);
    for (auto *spin : window->findChildren<QAbstractSpinBox *>()) {
        const auto *filed = asFiled->findChild<QAbstractSpinBox *>(spin->objectName());
        if (!filed)
            continue; // made by the program
        QFont font = spin->font();
        font.setStyleStrategy(filed->font().styleStrategy());
        EXPECT_EQ(font.toString().toStdString(), filed->font().toString().toStdString())
            << spin->objectName().toStdString();
    }
}

} // namespace
