// The window's messages and questions: non-modal boxes that delete themselves
// when closed, so that a running loop goes on while one is open.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace window {

// Shows a non-modal box over `parent` and returns it (it deletes itself on
// close); connect to its signals right after. `objectName` empty: none set.
QMessageBox *showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                         const QString &text, QMessageBox::StandardButtons buttons,
                         const QString &objectName, Qt::TextFormat format = Qt::AutoText);

} // namespace window
