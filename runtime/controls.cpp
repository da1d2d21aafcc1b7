// Control values and attributes.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdio>
#include <utility>
#include <vector>

#include "runtime/registry.h"
#include "runtime/view_hold.h"
#include "runtime/widget_access.h"

namespace {

QWidget *find(int panel, int control) {
    return rt::Registry::instance().control(panel, control);
}

// A selector's value is its entry's index, or the entry's number from the
// `itemValues` property ("1,2,3") when the panel file gives one.
QList<int> itemValues(const QComboBox *combo) {
    QList<int> values;
    const QString list = combo->property("itemValues").toString();
    if (list.isEmpty()) {
        for (int i = 0; i < combo->count(); ++i)
            values.append(i);
        return values;
    }
    for (const QString &item : list.split(QLatin1Char(',')))
        values.append(item.trimmed().toInt());
    return values;
}

bool readInt(QWidget *w, int *value) {
    if (auto *spin = qobject_cast<QSpinBox *>(w)) {
        *value = spin->value();
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        const QList<int> values = itemValues(combo);
        const int index = combo->currentIndex();
        *value = index >= 0 && index < values.size() ? values[index] : index;
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        *value = button->isChecked() ? 1 : 0;
    } else if (auto *slider = qobject_cast<QSlider *>(w)) {
        *value = slider->value();
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        *value = label->text().toInt();
    } else {
        return false;
    }
    return true;
}

void fitIfRunTimeText(QWidget *w) {
    if (w->property("runTimeText").toBool())
        w->adjustSize();
}

// After every value the program writes: whoever watches the control (the
// status line's history, a numeric's range mark) hears of it.
void valueWritten(QWidget *w) {
    QEvent written(rt::programValueEvent());
    QCoreApplication::sendEvent(w, &written);
}

void textWritten(QWidget *w) {
    fitIfRunTimeText(w);
    valueWritten(w);
}

// The read-only numerics' latest values while the display is frozen.
std::vector<std::pair<QPointer<QSpinBox>, int>> &frozenValues() {
    static std::vector<std::pair<QPointer<QSpinBox>, int>> values;
    return values;
}

void keepFrozenValue(QSpinBox *spin, int value) {
    for (auto &[kept, v] : frozenValues())
        if (kept == spin) {
            v = value;
            return;
        }
    frozenValues().emplace_back(spin, value);
}

// A control held shown keeps what the program set in these properties.
constexpr const char *SHOWN_HELD = "shownHeld";
constexpr const char *PROGRAM_HIDDEN = "programHidden";

QColor colorOf(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

} // namespace

QEvent::Type rt::programValueEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

int GetCtrlVal(int panel, int control, int *value) {
    QWidget *w = find(panel, control);
    if (!w)
        return -1;
    return readInt(w, value) ? 0 : -2;
}

int GetCtrlVal(int panel, int control, unsigned short *value) {
    int v = 0;
    const int result = GetCtrlVal(panel, control, &v);
    if (result == 0)
        *value = static_cast<unsigned short>(v);
    return result;
}

int GetCtrlVal(int panel, int control, char *value) {
    QWidget *w = find(panel, control);
    if (!w)
        return -1;
    QString text;
    if (auto *label = qobject_cast<QLabel *>(w))
        text = label->text();
    else if (auto *edit = qobject_cast<QPlainTextEdit *>(w))
        text = edit->toPlainText();
    else if (auto *combo = qobject_cast<QComboBox *>(w))
        text = combo->currentText();
    else
        return -2;
    std::snprintf(value, 260, "%s", text.toLatin1().constData());
    return 0;
}

int SetCtrlVal(int panel, int control, int value) {
    QWidget *w = find(panel, control);
    if (!w)
        return -1;
    const QSignalBlocker blocker(w);
    // An unchanged value is not set again: the live loop writes every
    // indicator on every frame, and each write costs a layout and a paint.
    if (auto *spin = qobject_cast<QSpinBox *>(w)) {
        if (spin->isReadOnly() && rt::displayFrozen()) {
            keepFrozenValue(spin, value);
            return 0;
        }
        // A field the user cleared keeps its last value; its text must come
        // back all the same. Only a field the user can edit is looked at: the
        // indicators, written every frame, cannot be cleared.
        if (spin->value() != value ||
            (!spin->isReadOnly() && spin->cleanText() != QString::number(value))) {
            spin->setValue(value);
            valueWritten(w);
        }
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        const int index = itemValues(combo).indexOf(value);
        if (index < 0)
            return -3;
        combo->setCurrentIndex(index);
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        button->setChecked(value != 0);
    } else if (auto *slider = qobject_cast<QSlider *>(w)) {
        slider->setValue(value);
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        if (const QString text = QString::number(value); label->text() != text) {
            label->setText(text);
            textWritten(w);
        }
    } else {
        return -2;
    }
    return 0;
}

int SetCtrlVal(int panel, int control, const char *value) {
    QWidget *w = find(panel, control);
    if (!w)
        return -1;
    const QSignalBlocker blocker(w);
    if (auto *label = qobject_cast<QLabel *>(w)) {
        label->setText(rt::fromProgramText(value));
        textWritten(w);
    } else if (auto *edit = qobject_cast<QPlainTextEdit *>(w)) {
        edit->setPlainText(rt::fromProgramText(value));
    } else {
        return -2;
    }
    return 0;
}

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    QWidget *w = find(panel, control);
    if (!w)
        return -1;
    switch (attribute) {
    case ATTR_DIMMED:
        w->setEnabled(value == 0);
        return 0;
    case ATTR_VISIBLE:
        if (w->property(SHOWN_HELD).toBool())
            w->setProperty(PROGRAM_HIDDEN, value == 0);
        else
            w->setHidden(value == 0);
        return 0;
    case ATTR_MAX_VALUE: {
        const QSignalBlocker blocker(w);
        if (auto *slider = qobject_cast<QSlider *>(w))
            slider->setMaximum(value);
        else if (auto *spin = qobject_cast<QSpinBox *>(w))
            spin->setMaximum(value);
        else
            return -2;
        return 0;
    }
    case ATTR_TEXT_COLOR:
    case ATTR_TEXT_BGCOLOR: {
        QPalette palette = w->palette();
        palette.setColor(attribute == ATTR_TEXT_COLOR ? QPalette::WindowText : QPalette::Window,
                         colorOf(value));
        w->setPalette(palette);
        if (attribute == ATTR_TEXT_BGCOLOR)
            w->setAutoFillBackground(true);
        return 0;
    }
    case ATTR_TEXT_POINT_SIZE: {
        // Text sizes are given as the run-time's screen sizes: the height of
        // the text in pixels, so that fixed text positions keep their spacing.
        QFont font = w->font();
        font.setPixelSize(value);
        w->setFont(font);
        fitIfRunTimeText(w);
        return 0;
    }
    case ATTR_SCROLL_MODE:
    case ATTR_NUM_TRACES:
    case ATTR_POINTS_PER_SCREEN:
        w->setProperty(QByteArray("attr") + QByteArray::number(attribute), value);
        return 0;
    default:
        return -3;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *value) {
    QWidget *w = find(panel, control);
    if (!w)
        return -1;
    if (attribute != ATTR_TEXT_FONT)
        return -3;
    // The run-time's application font is whatever the desktop uses.
    QFont font = w->font();
    const QString name = QString::fromLatin1(value);
    font.setFamily(name == QLatin1String(VAL_APP_META_FONT) ? QApplication::font().family() : name);
    w->setFont(font);
    fitIfRunTimeText(w);
    return 0;
}

int GetCtrlAttribute(int panel, int control, int attribute, int *value) {
    QWidget *w = find(panel, control);
    if (!w)
        return -1;
    switch (attribute) {
    case ATTR_DIMMED:
        *value = w->testAttribute(Qt::WA_ForceDisabled) ? 1 : 0;
        return 0;
    case ATTR_VISIBLE:
        if (w->property(SHOWN_HELD).toBool())
            *value = w->property(PROGRAM_HIDDEN).toBool() ? 0 : 1;
        else
            *value = w->isHidden() ? 0 : 1;
        return 0;
    case ATTR_MAX_VALUE:
        if (auto *slider = qobject_cast<QSlider *>(w))
            *value = slider->maximum();
        else if (auto *spin = qobject_cast<QSpinBox *>(w))
            *value = spin->maximum();
        else
            return -2;
        return 0;
    case ATTR_TEXT_COLOR:
    case ATTR_TEXT_BGCOLOR: {
        const QColor c = w->palette().color(attribute == ATTR_TEXT_COLOR ? QPalette::WindowText
                                                                         : QPalette::Window);
        *value = (c.red() << 16) | (c.green() << 8) | c.blue();
        return 0;
    }
    case ATTR_TEXT_POINT_SIZE:
        *value = w->font().pixelSize();
        return 0;
    case ATTR_SCROLL_MODE:
    case ATTR_NUM_TRACES:
    case ATTR_POINTS_PER_SCREEN:
        *value = w->property(QByteArray("attr") + QByteArray::number(attribute)).toInt();
        return 0;
    default:
        return -3;
    }
}

int NewCtrl(int panel, int style, const char *label, int top, int left) {
    rt::Panel *p = rt::Registry::instance().panel(panel);
    if (!p || !p->root)
        return -1;
    if (style != CTRL_TEXT_MSG)
        return -2;
    auto *text = new QLabel(rt::fromProgramText(label), p->root);
    text->setProperty("runTimeText", true);
    // Panel coordinates start under the window's menu bar, as a client area's do.
    const QLayout *layout = p->root->layout();
    const int menuHeight = layout && layout->menuBar() ? layout->menuBar()->sizeHint().height() : 0;
    text->move(left, top + menuHeight);
    text->adjustSize();
    text->show();
    text->raise();
    const int id = p->nextControlId++;
    text->setProperty("controlId", id);
    p->controls.insert(id, text);
    return id;
}

int ReplaceTextBoxLine(int panel, int control, int line, const char *text) {
    auto *edit = qobject_cast<QPlainTextEdit *>(find(panel, control));
    if (!edit || line < 0)
        return -1;
    QTextDocument *doc = edit->document();
    while (doc->blockCount() <= line) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertBlock();
    }
    QTextCursor cursor(doc->findBlockByNumber(line));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(rt::fromProgramText(text));
    return 0;
}

namespace rt {

void thawControls() {
    auto values = std::move(frozenValues());
    frozenValues().clear();
    for (auto &[spin, value] : values)
        if (spin && spin->value() != value) {
            const QSignalBlocker blocker(spin);
            spin->setValue(value);
            valueWritten(spin);
        }
}

void holdShown(QWidget *control, bool held) {
    if (!control || control->property(SHOWN_HELD).toBool() == held)
        return;
    control->setProperty(SHOWN_HELD, held);
    if (held) {
        control->setProperty(PROGRAM_HIDDEN, control->isHidden());
        control->show();
    } else {
        control->setHidden(control->property(PROGRAM_HIDDEN).toBool());
    }
}

} // namespace rt
