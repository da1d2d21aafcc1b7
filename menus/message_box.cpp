// One way of showing a message, for every part of the window.
#include "menus/message_box.h"

namespace window {

QMessageBox *showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                         const QString &text, QMessageBox::StandardButtons buttons,
                         const QString &objectName, Qt::TextFormat format) {
    auto *box = new QMessageBox(icon, title, text, buttons, parent);
    if (!objectName.isEmpty())
        box->setObjectName(objectName);
    box->setTextFormat(format);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    return box;
}

} // namespace window
