// View > Theme on the real panels: each theme leaves every visible control's
// text readable against its background (WCAG contrast 4.5 or more), the
// graphs' axes against their plot area and the lamp against the status bar
// (3 or more for a mark); Dark makes window and graphs dark; the design's
// info texts keep their white on blue; the choice is kept in the settings.
#include "tests/display/display_test_support.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

#include <cmath>

#include <qcustomplot.h>

#include "glance/glance.h"
#include "glance/glance_bar.h"
#include "glance/sensor_watch.h"
#include "tests/window/temp_settings.h"
#include "theme/theme.h"
#include "window/settings.h"

using namespace display_test;

namespace {

double Luminance(const QColor &c) {
    const auto linear = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double Contrast(const QColor &a, const QColor &b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The text's colour and its background's, from the widget's own palette.
std::pair<QColor, QColor> TextColours(const QWidget *w) {
    const QPalette p = w->palette();
    if (qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QLineEdit *>(w) ||
        (qobject_cast<const QComboBox *>(w) && static_cast<const QComboBox *>(w)->isEditable()))
        return {p.color(QPalette::Text), p.color(QPalette::Base)};
    if (qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QComboBox *>(w))
        return {p.color(QPalette::ButtonText), p.color(QPalette::Button)};
    return {p.color(w->foregroundRole()), p.color(w->backgroundRole())};
}

bool ShowsText(const QWidget *w) {
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return !label->text().isEmpty();
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        return !button->text().isEmpty();
    return qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QComboBox *>(w);
}

class Themes : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        window = rt::panelWidget(panelHandle);
        AttachGlance(panelHandle, TEXT_Status, GRAPH_Raw, STRIP_Trend);
        AttachTheme(panelHandle);
        Settle();
    }
    void TearDown() override {
        theme::applyTheme(theme::Theme::System);
        PanelTest::TearDown();
    }
    window_test::TempSettings settings;
    QWidget *window = nullptr;
};

TEST_F(Themes, EachLeavesEveryControlTheGraphsAndTheLampReadable) {
    window::SensorWatch watch;
    window::GlanceBar bar(&watch, window);
    bar.show();
    const QColor infoText(Qt::white), infoBack(0x00, 0x80, 0xff);
    const struct {
        const char *item;
        const char *kept;
        bool dark;
    } cases[] = {{"actionThemeDark", "dark", true},
                 {"actionThemeLight", "light", false},
                 {"actionThemeSystem", "system", false}};
    for (const auto &c : cases) {
        QAction *item = window->findChild<QAction *>(QLatin1String(c.item));
        ASSERT_NE(item, nullptr) << c.item;
        item->trigger();
        Settle();
        EXPECT_TRUE(item->isChecked()) << c.item;
        EXPECT_EQ(window::savedTheme(), c.kept);
        EXPECT_EQ(Luminance(window->palette().color(QPalette::Window)) < 0.2, c.dark) << c.item;

        int texts = 0, infoTexts = 0;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (!w->isVisibleTo(window) || !w->isEnabled() || !ShowsText(w))
                continue;
            const auto [text, back] = TextColours(w);
            ++texts;
            if (text == infoText && back == infoBack) { // the design's, in both themes
                ++infoTexts;
                continue;
            }
            EXPECT_GE(Contrast(text, back), 4.5)
                << c.item << ": " << w->metaObject()->className() << " "
                << w->objectName().toStdString() << " " << text.name().toStdString() << " on "
                << back.name().toStdString();
        }
        EXPECT_GT(texts, 20) << c.item;
        EXPECT_EQ(infoTexts, 5) << c.item;

        const auto plots = window->findChildren<QCustomPlot *>();
        ASSERT_GE(plots.size(), 3);
        for (QCustomPlot *plot : plots) {
            plot->replot();
            const QColor back =
                plot->toPixmap(plot->width(), plot->height()).toImage().pixelColor(1, 1);
            EXPECT_EQ(Luminance(back) < 0.2, c.dark) << c.item << " " << back.name().toStdString();
            // The program's black traces against the plot area they lie on.
            const QBrush area = plot->axisRect()->backgroundBrush();
            EXPECT_GE(Contrast(Qt::black, area.style() == Qt::NoBrush ? back : area.color()), 3.0)
                << c.item;
            for (QCPAxis *axis : plot->axisRect()->axes()) {
                EXPECT_GE(Contrast(axis->tickLabelColor(), back), 4.5) << c.item;
                EXPECT_GE(Contrast(axis->basePen().color(), back), 3.0) << c.item;
            }
        }

        // The lamp's mark, in and out of tolerance, against the status bar.
        const QRegularExpression colour(QStringLiteral("color:(#[0-9a-f]{6})"));
        for (const std::uint16_t mvalue : {500, 700}) {
            std::uint16_t frame[13] = {};
            frame[2] = mvalue, frame[3] = 512, frame[4] = 100;
            watch.loopRunning(true);
            watch.frameDecoded(frame, 13);
            bar.refreshAt(10'000 + mvalue);
            const auto *lamp = bar.findChild<QLabel *>(QStringLiteral("statusLamp"));
            const QString mark = colour.match(lamp->text()).captured(1);
            ASSERT_FALSE(mark.isEmpty()) << lamp->text().toStdString();
            EXPECT_GE(Contrast(QColor(mark), bar.palette().color(QPalette::Window)), 3.0)
                << c.item << " " << bar.lampText().toStdString() << " " << mark.toStdString();
        }
    }
}

} // namespace
