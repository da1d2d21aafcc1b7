#include "theme/theme.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleHints>

#include <optional>

#include "menus/menu_bar.h"
#include "runtime/widget_access.h"
#include "window/settings.h"
#include <qcustomplot.h>

namespace theme {

namespace {

struct Start {
    QString style;
    QPalette palette;
};

std::optional<Start> &start() {
    static std::optional<Start> kept;
    return kept;
}

Theme &current() {
    static Theme theme = Theme::System;
    return theme;
}

// Graphs made later (a tool window's) and graphs whose palette changes (a
// theme switch, the desktop's scheme) are painted for their palette.
class PlotPainter : public QObject {
  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::Polish || type == QEvent::PaletteChange)
            if (auto *plot = qobject_cast<QCustomPlot *>(watched))
                paintPlot(plot);
        return false;
    }
};

bool systemWantsDark() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QGuiApplication::styleHints()->colorScheme() == Qt::ColorScheme::Dark;
#else
    return false; // Qt tells the desktop's scheme from 6.5 on
#endif
}

bool isDark(const QPalette &palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

} // namespace

QString themeName(Theme theme) {
    switch (theme) {
    case Theme::Light:
        return QStringLiteral("light");
    case Theme::Dark:
        return QStringLiteral("dark");
    default:
        return QStringLiteral("system");
    }
}

Theme themeNamed(const QString &name) {
    for (Theme theme : {Theme::Light, Theme::Dark})
        if (name == themeName(theme))
            return theme;
    return Theme::System;
}

QPalette darkPalette() {
    const QColor window(0x35, 0x35, 0x35), base(0x23, 0x23, 0x23), text(0xf0, 0xf0, 0xf0);
    const QColor dimmed(0x80, 0x80, 0x80), highlight(0x2a, 0x82, 0xda);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xff, 0x60, 0x60));
    p.setColor(QPalette::Link, QColor(0x6a, 0xb0, 0xf0));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x45, 0x45, 0x45));
    p.setColor(QPalette::Mid, QColor(0x2a, 0x2a, 0x2a));
    p.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, dimmed);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x50, 0x50, 0x50));
    return p;
}

void paintPlot(QCustomPlot *plot) {
    const bool dark = isDark(plot->palette());
    // QCustomPlot's own colours on a light palette.
    const QColor back = dark ? QColor(0x23, 0x23, 0x23) : QColor(Qt::white);
    const QColor ink = dark ? QColor(0xe0, 0xe0, 0xe0) : QColor(Qt::black);
    const QColor grid = dark ? QColor(0x80, 0x80, 0x80) : QColor(200, 200, 200);
    plot->setBackground(back);
    // The plot area stays light on dark: the traces keep the program's
    // colours, and the trend's limits and teach value are black.
    const QBrush area = dark ? QBrush(QColor(0xc8, 0xc8, 0xc8)) : QBrush(Qt::NoBrush);
    for (QCPAxisRect *rect : plot->axisRects()) {
        rect->setBackground(area);
        for (QCPAxis *axis : rect->axes()) {
            axis->setBasePen(QPen(ink, 0));
            axis->setTickPen(QPen(ink, 0));
            axis->setSubTickPen(QPen(ink, 0));
            axis->setTickLabelColor(ink);
            axis->setLabelColor(ink);
            axis->grid()->setPen(QPen(grid, 0, Qt::DotLine));
        }
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void applyTheme(Theme theme) {
    if (!start()) {
        start() = Start{QApplication::style()->name(), QApplication::palette()};
        auto *painter = new PlotPainter;
        painter->setParent(qApp);
        qApp->installEventFilter(painter);
    }
    current() = theme;
    if (theme == Theme::System && !(systemWantsDark() && !isDark(start()->palette))) {
        QApplication::setStyle(start()->style);
        QApplication::setPalette(start()->palette);
    } else {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(theme == Theme::Light ? QApplication::style()->standardPalette()
                                                       : darkPalette());
    }
}

Theme currentTheme() {
    return current();
}

} // namespace theme

void AttachTheme(int panel) {
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow)
        return;
    using theme::Theme;
    QMenu *menu = window::menu(mainWindow, window::TopMenu::View)->addMenu(QObject::tr("&Theme"));
    menu->setObjectName(QStringLiteral("menuTheme"));
    auto *group = new QActionGroup(menu);
    const Theme saved = theme::themeNamed(window::savedTheme());
    const struct {
        Theme theme;
        const char *text, *name;
    } items[] = {{Theme::System, QT_TRANSLATE_NOOP("theme", "&System"), "actionThemeSystem"},
                 {Theme::Light, QT_TRANSLATE_NOOP("theme", "&Light"), "actionThemeLight"},
                 {Theme::Dark, QT_TRANSLATE_NOOP("theme", "&Dark"), "actionThemeDark"}};
    for (const auto &item : items) {
        QAction *action = menu->addAction(QCoreApplication::translate("theme", item.text));
        action->setObjectName(QLatin1String(item.name));
        action->setCheckable(true);
        action->setChecked(item.theme == saved);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, menu, [theme = item.theme] {
            theme::applyTheme(theme);
            window::saveTheme(theme::themeName(theme));
        });
    }
    theme::applyTheme(saved);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    QObject::connect(QGuiApplication::styleHints(), &QStyleHints::colorSchemeChanged, menu, [] {
        if (theme::currentTheme() == Theme::System)
            theme::applyTheme(Theme::System);
    });
#endif
}
