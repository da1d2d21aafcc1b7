#include "scope/freeze.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>
#include <QWidget>

#include <algorithm>

#include "glance/window_title.h"
#include "menus/menu_bar.h"
#include "runtime/view_hold.h"

namespace scope {

namespace {

constexpr int MIN_BUTTON_HEIGHT = 16;

} // namespace

Freeze::Freeze(QWidget *mainWindow, QWidget *graphBox)
    : QObject(mainWindow), mainWindow_(mainWindow), action_(new QAction(tr("Freeze"), this)) {
    action_->setObjectName(QStringLiteral("actionFreeze"));
    action_->setCheckable(true);
    action_->setShortcut(Qt::Key_F9);
    action_->setToolTip(tr("Hold the graphs and numbers as they are; the loop, recording and "
                           "publishing go on (F9)"));
    if (QMenu *sensor = window::menu(mainWindow, window::TopMenu::Sensor)) {
        sensor->addSeparator();
        sensor->addAction(action_);
    } else {
        mainWindow->addAction(action_);
    }
    if (graphBox) {
        button_ = new QToolButton(graphBox);
        button_->setObjectName(QStringLiteral("freezeButton"));
        button_->setDefaultAction(action_);
        button_->setAutoRaise(true);
        box_ = graphBox;
        graphBox->installEventFilter(this);
        placeButton();
    }
    if (auto *bar = mainWindow->findChild<QStatusBar *>(QStringLiteral("statusBar"))) {
        word_ = new QLabel(tr("frozen"), bar);
        word_->setObjectName(QStringLiteral("statusFrozen"));
        word_->setStyleSheet(QStringLiteral("color: #0050c0; font-weight: bold;"));
        word_->hide();
        bar->addPermanentWidget(word_);
    }
    connect(action_, &QAction::toggled, this, &Freeze::setFrozen);
}

void Freeze::setFrozen(bool frozen) {
    rt::setDisplayFrozen(frozen);
    window::setTitlePart(mainWindow_, window::TitlePart::Frozen,
                         frozen ? tr(" \u2014 frozen") : QString());
    if (word_)
        word_->setVisible(frozen);
}

// On the box's top edge, right, where its title leaves room.
void Freeze::placeButton() {
    auto *box = button_->parentWidget();
    button_->adjustSize();
    button_->setFixedHeight(std::max(MIN_BUTTON_HEIGHT, box->contentsRect().top()));
    button_->move(box->width() - button_->width() - 2, 0);
    button_->raise();
}

bool Freeze::eventFilter(QObject *watched, QEvent *event) {
    if (watched == box_ && event->type() == QEvent::Resize)
        placeButton();
    return false;
}

} // namespace scope
