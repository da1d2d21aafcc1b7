#include "menus/help_menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QShortcut>
#include <QString>
#include <QWidget>
#include <qcustomplot.h>

#include "menus/menu_bar.h"
#include "menus/message_box.h"
#include "runtime/widget_access.h"

namespace window {

namespace {

QString withoutMnemonic(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")))
        .replace(QStringLiteral("&&"), QStringLiteral("&"));
}

QString aboutText() {
    return QStringLiteral("<h3>V-EXA-TB-Scope %1</h3>"
                          "<p>Configures and monitors a V-EXA-TB CCD line-sensor edge sensor "
                          "over RS-232.</p>"
                          "<p>Licence: GNU General Public License, version 3 or later "
                          "(GPL-3.0-or-later). This program comes with ABSOLUTELY NO "
                          "WARRANTY.</p>"
                          "<p>Qt %2 (built with %3)<br>QCustomPlot %4</p>")
        .arg(QStringLiteral(VEXA_VERSION), QString::fromLatin1(qVersion()),
             QStringLiteral(QT_VERSION_STR), QStringLiteral(QCUSTOMPLOT_VERSION_STR));
}

} // namespace

namespace {

// One row per key: the key, and the menu item or what the key does.
QList<QPair<QString, QString>> keyboardRows(QWidget *mainWindow) {
    QList<QPair<QString, QString>> rows;
    if (QMenuBar *bar = menuBar(mainWindow)) {
        for (QAction *top : bar->actions()) {
            QMenu *sub = top->menu();
            if (!sub)
                continue;
            for (QAction *item : sub->actions())
                if (!item->shortcut().isEmpty())
                    rows.append({item->shortcut().toString(QKeySequence::NativeText),
                                 QStringLiteral("%1 > %2").arg(withoutMnemonic(sub->title()),
                                                               withoutMnemonic(item->text()))});
        }
    }
    // Keys held by shortcuts of their own (not menu items), e.g. Esc for Stop.
    for (QShortcut *key : mainWindow->findChildren<QShortcut *>())
        if (!key->whatsThis().isEmpty())
            rows.append({key->key().toString(QKeySequence::NativeText), key->whatsThis()});
    return rows;
}

} // namespace

QString keyboardText(QWidget *mainWindow) {
    QStringList lines;
    for (const auto &[key, does] : keyboardRows(mainWindow))
        lines << key + QLatin1Char('\t') + does;
    if (lines.isEmpty())
        return QObject::tr("No shortcuts.");
    return lines.join(QLatin1Char('\n'));
}

QString keyboardTable(QWidget *mainWindow) {
    const auto rows = keyboardRows(mainWindow);
    if (rows.isEmpty())
        return QObject::tr("No shortcuts.");
    // A table of two columns lines the keys up at every scale; the text
    // follows the font, so it grows with the screen's scale.
    QString table = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    for (const auto &[key, does] : rows)
        table += QStringLiteral("<tr><td><b>%1</b></td><td>&nbsp;&nbsp;%2</td></tr>")
                     .arg(key.toHtmlEscaped(), does.toHtmlEscaped());
    return table + QStringLiteral("</table>");
}

void addHelpMenu(QWidget *mainWindow) {
    QMenu *help = menu(mainWindow, TopMenu::Help);
    if (!help)
        return;
    QAction *about = help->addAction(QObject::tr("&About"));
    about->setObjectName(QStringLiteral("actionAbout"));
    QObject::connect(about, &QAction::triggered, mainWindow, [mainWindow] {
        showMessage(mainWindow, QMessageBox::NoIcon, QObject::tr("About V-EXA-TB-Scope"),
                    aboutText(), QMessageBox::Close, QString(), Qt::RichText);
    });
    QAction *keys = help->addAction(QObject::tr("&Keyboard"));
    keys->setObjectName(QStringLiteral("actionKeyboard"));
    QObject::connect(keys, &QAction::triggered, mainWindow, [mainWindow] {
        showMessage(mainWindow, QMessageBox::NoIcon, QObject::tr("Keyboard"),
                    keyboardTable(mainWindow), QMessageBox::Close, QStringLiteral("keyboardBox"),
                    Qt::RichText);
    });
}

} // namespace window

void AttachHelpMenu(int panel) {
    if (QWidget *mainWindow = rt::panelWidget(panel))
        window::addHelpMenu(mainWindow);
}
