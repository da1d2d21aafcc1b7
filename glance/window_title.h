// The main window's title is the program's name followed by parts that
// different additions own: the port and its state, the recording. Each sets
// only its own part, so one never wipes out the other's.
#pragma once

class QString;
class QWidget;

namespace window {

// The parts, in the order they follow the name.
enum class TitlePart { Link, Recording, Frozen };

// Sets one part (empty: none) and shows the name with every part set.
void setTitlePart(QWidget *mainWindow, TitlePart part, const QString &text);

} // namespace window
