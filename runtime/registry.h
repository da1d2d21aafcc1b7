// Inside the run-time: the loaded panels and their controls, addressed by the
// integer handles the program uses.
#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>

#include "runtime/runtime.h"

namespace rt {

struct Panel {
    int handle = 0;
    int parentHandle = 0;
    QPointer<QWidget> root;
    PanelCallbackPtr callback = nullptr;
    QHash<int, QPointer<QWidget>> controls;
    int nextControlId = 1;
};

class Registry {
  public:
    static Registry &instance();

    Panel &add(QWidget *root, int parentHandle);
    Panel *panel(int handle);
    QWidget *control(int panel, int control);
    void remove(int handle);

    void registerCallbacks(const CallbackEntry *table, int count);
    void clearCallbacks() { callbacks_.clear(); }
    const CallbackEntry *findCallback(const QString &name) const;

  private:
    std::map<int, Panel> panels_;
    int nextHandle_ = 1;
    QHash<QString, CallbackEntry> callbacks_;
};

// Text from the program is Windows-1252/Latin-1 (the micro sign is 0xB5).
inline QString fromProgramText(const char *text) {
    return QString::fromLatin1(text);
}

// Wires a loaded control to its callback: user actions become queued calls
// that run only from event processing.
void connectControlEvents(int panel, int controlId, QWidget *widget, CtrlCallbackPtr callback);
// A close of the panel's window goes to its callback; without a callback the
// window ignores it.
void connectPanelEvents(int panel, QWidget *root, PanelCallbackPtr callback);

// Graph state lives beside the QCustomPlot widget.
void setupGraph(QWidget *plot);
void forgetGraph(QWidget *plot);

// The read-only numerics' values kept while the display was frozen, shown.
void thawControls();

} // namespace rt
