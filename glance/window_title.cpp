#include "glance/window_title.h"

#include <QString>
#include <QVariant>
#include <QWidget>

#include <array>

namespace window {

namespace {

constexpr std::array<const char *, 3> PART_PROPERTIES{"titleLink", "titleRecording", "titleFrozen"};
constexpr const char *NAME_PROPERTY = "titleName";

} // namespace

void setTitlePart(QWidget *mainWindow, TitlePart part, const QString &text) {
    if (!mainWindow)
        return;
    // The name is the title the window had before any part was set.
    if (!mainWindow->property(NAME_PROPERTY).isValid())
        mainWindow->setProperty(NAME_PROPERTY, mainWindow->windowTitle());
    mainWindow->setProperty(PART_PROPERTIES[static_cast<std::size_t>(part)], text);
    QString title = mainWindow->property(NAME_PROPERTY).toString();
    for (const char *name : PART_PROPERTIES)
        title += mainWindow->property(name).toString();
    mainWindow->setWindowTitle(title);
}

} // namespace window
