#include "scope/side_by_side.h"

#include <QAction>
#include <QBoxLayout>
#include <QMenu>
#include <QScreen>
#include <QWidget>

#include <algorithm>

#include "menus/menu_bar.h"
#include "runtime/view_hold.h"
#include "window/settings.h"

namespace scope {

SideBySide::SideBySide(QWidget *mainWindow, QWidget *trendChart, QWidget *videoGraph)
    : QObject(mainWindow), mainWindow_(mainWindow), trend_(trendChart), video_(videoGraph),
      action_(new QAction(tr("Trend and video side by side"), this)) {
    action_->setObjectName(QStringLiteral("actionSideBySide"));
    action_->setCheckable(true);
    if (QMenu *view = window::menu(mainWindow, window::TopMenu::View)) {
        view->setToolTipsVisible(true);
        view->addAction(action_);
        connect(view, &QMenu::aboutToShow, this, &SideBySide::checkScreen);
    }
    checkScreen();
    action_->setChecked(action_->isEnabled() && window::savedSideBySide());
    show(action_->isChecked());
    connect(action_, &QAction::toggled, this, [this](bool on) {
        show(on);
        window::saveSideBySide(on);
    });
}

void SideBySide::checkScreen() {
    const QScreen *screen = mainWindow_->screen();
    const int width = screen ? screen->availableGeometry().width() : 0;
    const bool wide = width >= MIN_SCREEN_WIDTH;
    action_->setEnabled(wide || action_->isChecked());
    action_->setToolTip(wide ? tr("The trend chart and the video graph next to each other")
                             : tr("Needs a screen at least %1 pixels wide; this one has %2")
                                   .arg(MIN_SCREEN_WIDTH)
                                   .arg(width));
}

void SideBySide::show(bool both) {
    if (!trend_ || !video_)
        return;
    if (auto *box = qobject_cast<QBoxLayout *>(trend_->parentWidget()->layout()))
        box->setDirection(both ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    rt::holdShown(trend_, both);
    rt::holdShown(video_, both);
    // The window grows by a graph's width, as far as the screen has room.
    if (both && grownBy_ == 0) {
        const QScreen *screen = mainWindow_->screen();
        const int room = screen ? screen->availableGeometry().width() : mainWindow_->width();
        const int wider = std::min(mainWindow_->width() + trend_->width(), room);
        grownBy_ = std::max(0, wider - mainWindow_->width());
        mainWindow_->resize(mainWindow_->width() + grownBy_, mainWindow_->height());
    } else if (!both && grownBy_ > 0) {
        mainWindow_->resize(mainWindow_->width() - grownBy_, mainWindow_->height());
        grownBy_ = 0;
    }
}

} // namespace scope
