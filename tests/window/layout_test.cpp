// The main window on a laptop screen: at its smallest every control lies
// inside the window, keeps the room it needs and overlaps no other.
#include "tests/display/display_test_support.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <qcustomplot.h>

#include <algorithm>
#include <cctype>

#include "glance/glance.h"
#include "menus/help_menu.h"
#include "menus/menu_bar.h"
#include "window/screen_fit.h"

using namespace display_test;

namespace {

class WindowLayout : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        window = rt::panelWidget(panelHandle);
        for (auto top : {window::TopMenu::File, window::TopMenu::Sensor, window::TopMenu::Tools})
            window::menu(window, top)->addAction(QStringLiteral("Item"));
        AttachHelpMenu(panelHandle);
        AttachGlance(panelHandle, TEXT_Status, GRAPH_Raw, STRIP_Trend);
        Settle();
    }
    QWidget *window = nullptr;
};

// What a user reaches or reads: the panel's controls, their labels, the
// plots, the menu bar and the status bar with its texts.
bool IsControl(const QWidget *w) {
    return w->property("controlId").isValid() || qobject_cast<const QAbstractButton *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
           qobject_cast<const QLabel *>(w) || qobject_cast<const QStatusBar *>(w) ||
           w->objectName() == QLatin1String("menuBar");
}

std::vector<QWidget *> VisibleControls(QWidget *window) {
    std::vector<QWidget *> controls;
    for (QWidget *w : window->findChildren<QWidget *>())
        if (w->isVisibleTo(window) && w->isWindow() == false && IsControl(w))
            controls.push_back(w);
    return controls;
}

QRect InWindow(QWidget *w, QWidget *window) {
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

std::string Name(const QWidget *w) {
    return (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                      : w->objectName())
        .toStdString();
}

// Widgets that lie on others by design: the info texts on the banner (placed
// at fixed points), and a control inside another (a status bar's texts).
bool MayOverlap(const QWidget *a, const QWidget *b) {
    return a->property("runTimeText").toBool() || b->property("runTimeText").toBool() ||
           a->isAncestorOf(b) || b->isAncestorOf(a);
}

struct LayoutCase {
    const char *what;
    bool trendShown;
    bool smallest; // the layout's minimum; otherwise what a 1280x720 screen leaves
};
void PrintTo(const LayoutCase &c, std::ostream *out) {
    *out << c.what;
}

class WindowLayoutCases : public WindowLayout, public testing::WithParamInterface<LayoutCase> {};

// 1280x720 is a 1920x1080 screen at 150 %; the frame takes its allowance.
constexpr int SCREEN_WIDTH = 1280, SCREEN_HEIGHT = 720;
constexpr int MIN_STATUS_MARGIN = 4; // pixels right of the status bar's last text

TEST_F(WindowLayout, TheSmallestWindowFitsA1280x720Screen) {
    const QSize smallest = window->minimumSizeHint().expandedTo(window->minimumSize());
    EXPECT_LE(smallest.width(), SCREEN_WIDTH - 2 * window::FRAME_ALLOWANCE_SIDE);
    EXPECT_LE(smallest.height(),
              SCREEN_HEIGHT - window::FRAME_ALLOWANCE_TOP - window::FRAME_ALLOWANCE_SIDE);
}

TEST_P(WindowLayoutCases, EveryControlLiesInsideTheWindowWithItsRoomAndOverlapsNone) {
    const LayoutCase &c = GetParam();
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, c.trendShown ? 0 : 1);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, c.trendShown ? 1 : 0);
    SetCtrlVal(panelHandle, TEXT_Status, "Parameter-frame received! - Line Ok!");
    const QSize size =
        c.smallest
            ? window->minimumSizeHint()
            : QSize(SCREEN_WIDTH - 2 * window::FRAME_ALLOWANCE_SIDE,
                    SCREEN_HEIGHT - window::FRAME_ALLOWANCE_TOP - window::FRAME_ALLOWANCE_SIDE);
    window->resize(size);
    Settle();
    ASSERT_EQ(window->size(), size);

    const QRect inside = window->rect();
    const std::vector<QWidget *> controls = VisibleControls(window);
    ASSERT_GT(controls.size(), 50u);
    for (QWidget *w : controls) {
        const QRect r = InWindow(w, window);
        EXPECT_TRUE(inside.contains(r)) << Name(w) << " lies outside the window";
        const QSize needed = w->minimumSizeHint();
        if (!w->property("runTimeText").toBool() && needed.isValid()) {
            EXPECT_GE(w->width(), needed.width()) << Name(w) << " is squeezed";
            EXPECT_GE(w->height(), needed.height()) << Name(w) << " is squeezed";
        }
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            QWidget *a = controls[i], *b = controls[j];
            if (!MayOverlap(a, b)) {
                EXPECT_FALSE(InWindow(a, window).intersects(InWindow(b, window)))
                    << Name(a) << " overlaps " << Name(b);
            }
        }
    // The status line and the status bar under it stay in sight.
    QWidget *status = rt::controlWidget(panelHandle, TEXT_Status);
    auto *bar = window->findChild<QStatusBar *>(QStringLiteral("statusBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(status->isVisible());
    EXPECT_LE(InWindow(status, window).bottom(), InWindow(bar, window).top());
    EXPECT_EQ(window->layout()->itemAt(window->layout()->count() - 1)->widget(), bar);
    // Its texts keep off its right edge.
    for (auto *text : bar->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (text->isVisible()) {
            EXPECT_LE(text->geometry().right(), bar->width() - 1 - MIN_STATUS_MARGIN) << Name(text);
        }
    // The value axes' labels (the edge graph's 0 to 1) stand apart, not on top of each other.
    for (auto *plot : window->findChildren<QCustomPlot *>())
        if (plot->isVisible()) {
            plot->replot();
            const QVector<double> ticks = plot->yAxis->tickVector();
            const int line = QFontMetrics(plot->yAxis->tickLabelFont()).height();
            for (qsizetype i = 1; i < ticks.size(); ++i)
                EXPECT_GE(std::abs(plot->yAxis->coordToPixel(ticks[i]) -
                                   plot->yAxis->coordToPixel(ticks[i - 1])),
                          line)
                    << Name(plot) << " at " << ticks[i];
        }
}

TEST_F(WindowLayout, AWindowTooLargeForTheScreenOpensInsideItsAvailableArea) {
    window->hide();
    window->setGeometry(-500, -400, 5000, 4000);
    window::fitToScreen(window);
    const QRect room = window->screen()->availableGeometry();
    const QRect placed = window->geometry();
    EXPECT_GE(placed.left(), room.left() + window::FRAME_ALLOWANCE_SIDE);
    EXPECT_GE(placed.top(), room.top() + window::FRAME_ALLOWANCE_TOP);
    // Never below the window's minimum, otherwise no larger than the screen.
    EXPECT_LE(placed.width(), std::max(room.width() - 2 * window::FRAME_ALLOWANCE_SIDE,
                                       window->minimumSizeHint().width()));
    EXPECT_LE(placed.height(),
              std::max(room.height() - window::FRAME_ALLOWANCE_TOP - window::FRAME_ALLOWANCE_SIDE,
                       window->minimumSizeHint().height()));
    EXPECT_GE(placed.width(), window->minimumSizeHint().width());
}

INSTANTIATE_TEST_SUITE_P(LaptopScreens, WindowLayoutCases,
                         testing::Values(LayoutCase{"smallest, video graph", false, true},
                                         LayoutCase{"smallest, trend chart", true, true},
                                         LayoutCase{"1280x720 screen, video graph", false, false},
                                         LayoutCase{"1280x720 screen, trend chart", true, false}),
                         [](const testing::TestParamInfo<LayoutCase> &info) {
                             std::string name = info.param.what;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

} // namespace
