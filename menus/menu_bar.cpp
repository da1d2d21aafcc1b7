#include "menus/menu_bar.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include <QKeySequence>
#include <QSet>

#include <array>
#include <iterator>

#include "runtime/widget_access.h"

namespace window {

namespace {

struct TopMenuEntry {
    TopMenu which;
    const char *title;
    const char *objectName;
};

constexpr std::array<TopMenuEntry, 5> TOP_MENUS{{
    {TopMenu::File, QT_TRANSLATE_NOOP("window", "&File"), "menuFile"},
    {TopMenu::View, QT_TRANSLATE_NOOP("window", "&View"), "menuView"},
    {TopMenu::Sensor, QT_TRANSLATE_NOOP("window", "&Sensor"), "menuSensor"},
    {TopMenu::Tools, QT_TRANSLATE_NOOP("window", "&Tools"), "menuTools"},
    {TopMenu::Help, QT_TRANSLATE_NOOP("window", "&Help"), "menuHelp"},
}};

int rankOf(TopMenu which) {
    for (std::size_t i = 0; i < TOP_MENUS.size(); ++i)
        if (TOP_MENUS[i].which == which)
            return static_cast<int>(i);
    return static_cast<int>(TOP_MENUS.size());
}

// The letter after a lone '&', lower-cased; a null QChar when there is none.
QChar mnemonicOf(const QString &text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toLower();
        ++i; // "&&" is a literal '&'
    }
    return {};
}

// Where a mnemonic not in `taken` can go in `text`: a word's first letter
// first, then any letter; -1 when every letter is taken.
qsizetype freeMnemonicAt(const QString &text, const QSet<QChar> &taken) {
    for (bool wordStartsOnly : {true, false})
        for (qsizetype i = 0; i < text.size(); ++i) {
            const bool wordStart = i == 0 || !text[i - 1].isLetterOrNumber();
            if (text[i].isLetterOrNumber() && (wordStart || !wordStartsOnly) &&
                !taken.contains(text[i].toLower()))
                return i;
        }
    return -1;
}

} // namespace

QMenuBar *menuBar(QWidget *mainWindow) {
    if (!mainWindow || !mainWindow->layout())
        return nullptr;
    if (auto *bar = mainWindow->findChild<QMenuBar *>(QStringLiteral("menuBar"),
                                                      Qt::FindDirectChildrenOnly))
        return bar;
    auto *bar = new QMenuBar(mainWindow);
    bar->setObjectName(QStringLiteral("menuBar"));
    // Under a desktop that shows menus outside the window the bar would take
    // the panel's place in the layout for nothing; keep it in the window.
    bar->setNativeMenuBar(false);
    mainWindow->layout()->setMenuBar(bar);
    return bar;
}

QMenu *menu(QWidget *mainWindow, TopMenu which) {
    QMenuBar *bar = menuBar(mainWindow);
    if (!bar)
        return nullptr;
    const int rank = rankOf(which);
    const TopMenuEntry &entry = TOP_MENUS[static_cast<std::size_t>(rank)];
    if (auto *existing =
            bar->findChild<QMenu *>(QLatin1String(entry.objectName), Qt::FindDirectChildrenOnly))
        return existing;

    // Put it before the first menu of a later rank that is already there.
    QAction *before = nullptr;
    for (QAction *action : bar->actions()) {
        QMenu *other = action->menu();
        if (!other)
            continue;
        for (std::size_t i = static_cast<std::size_t>(rank) + 1; i < TOP_MENUS.size(); ++i)
            if (other->objectName() == QLatin1String(TOP_MENUS[i].objectName)) {
                before = action;
                break;
            }
        if (before)
            break;
    }
    auto *created = new QMenu(QMenuBar::tr(entry.title), bar);
    created->setObjectName(QLatin1String(entry.objectName));
    bar->insertMenu(before, created);
    return created;
}

void insertBeforeQuit(QMenu *file, QAction *item) {
    const QList<QAction *> actions = file->actions();
    QAction *before = nullptr;
    for (qsizetype i = 0; i < actions.size() && !before; ++i)
        if (actions[i]->objectName() == QLatin1String("actionQuit"))
            before = i > 0 && actions[i - 1]->isSeparator() ? actions[i - 1] : actions[i];
    file->insertAction(before, item);
}

QAction *addFileToggle(QWidget *mainWindow, const QString &text, const char *objectName,
                       const QString &toolTip, std::function<void()> on,
                       std::function<void()> off) {
    QMenu *file = menu(mainWindow, TopMenu::File);
    if (!file)
        return nullptr;
    auto *item = new QAction(text, file);
    item->setObjectName(QLatin1String(objectName));
    item->setCheckable(true);
    item->setToolTip(toolTip);
    insertBeforeQuit(file, item);
    QObject::connect(item, &QAction::triggered, item,
                     [on = std::move(on), off = std::move(off)](bool checked) {
                         if (checked)
                             on();
                         else
                             off();
                     });
    return item;
}

} // namespace window

namespace window {

void giveMnemonics(QWidget *menu) {
    QSet<QChar> taken;
    for (QAction *item : menu->actions())
        if (const QChar letter = mnemonicOf(item->text()); !letter.isNull())
            taken.insert(letter);
    for (QAction *item : menu->actions()) {
        QString text = item->text();
        if (item->isSeparator() || text.isEmpty() || !mnemonicOf(text).isNull())
            continue;
        const qsizetype at = freeMnemonicAt(text, taken);
        if (at < 0)
            continue;
        taken.insert(text[at].toLower());
        item->setText(text.insert(at, QLatin1Char('&')));
    }
}

void keepMnemonics(QWidget *mainWindow) {
    QMenuBar *bar = menuBar(mainWindow);
    if (!bar)
        return;
    giveMnemonics(bar);
    for (QAction *top : bar->actions())
        if (QMenu *sub = top->menu()) {
            giveMnemonics(sub);
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub] { giveMnemonics(sub); });
        }
}

} // namespace window

void AttachMnemonics(int panel) {
    window::keepMnemonics(rt::panelWidget(panel));
}
