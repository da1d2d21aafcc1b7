// Panels: loading forms from the panel file, showing, hiding, discarding.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QResource>
#include <QUiLoader>
#include <QWidget>

#include <qcustomplot.h>

#include <cstdio>
#include <memory>

#include "runtime/indicator_paint.h"
#include "runtime/live_plot.h"
#include "runtime/paint_pace.h"
#include "runtime/registry.h"
#include "runtime/test_hooks.h"
#include "runtime/widget_access.h"

namespace rt {

Registry &Registry::instance() {
    static Registry registry;
    return registry;
}

Panel &Registry::add(QWidget *root, int parentHandle) {
    const int handle = nextHandle_++;
    Panel &p = panels_[handle];
    p.handle = handle;
    p.parentHandle = parentHandle;
    p.root = root;
    return p;
}

Panel *Registry::panel(int handle) {
    auto it = panels_.find(handle);
    return it == panels_.end() ? nullptr : &it->second;
}

QWidget *Registry::control(int panel, int control) {
    Panel *p = this->panel(panel);
    if (!p)
        return nullptr;
    return p->controls.value(control).data();
}

void Registry::remove(int handle) {
    panels_.erase(handle);
}

void Registry::registerCallbacks(const CallbackEntry *table, int count) {
    for (int i = 0; i < count; ++i)
        callbacks_.insert(QString::fromLatin1(table[i].name), table[i]);
}

const CallbackEntry *Registry::findCallback(const QString &name) const {
    auto it = callbacks_.constFind(name);
    return it == callbacks_.constEnd() ? nullptr : &it.value();
}

QWidget *panelWidget(int panel) {
    Panel *p = Registry::instance().panel(panel);
    return p ? p->root.data() : nullptr;
}

QWidget *controlWidget(int panel, int control) {
    return Registry::instance().control(panel, control);
}

} // namespace rt

namespace {

class PanelLoader : public QUiLoader {
  public:
    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override {
        if (className == QLatin1String("QCustomPlot")) {
            auto *plot = new rt::LivePlot(parent);
            plot->setObjectName(name);
            return plot;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

// Each panel file is registered once under its own root in the resource tree.
QString resourceRootFor(const QString &path) {
    static QHash<QString, QString> roots;
    auto it = roots.constFind(path);
    if (it != roots.constEnd())
        return *it;
    const QString root = QStringLiteral("/panelfile%1").arg(roots.size());
    if (!QResource::registerResource(path, root))
        return {};
    roots.insert(path, root);
    return root;
}

QString panelFilePath(const char *fileName) {
    const QString name = QString::fromLocal8Bit(fileName);
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QFileInfo(name).absoluteFilePath();
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

// Resolves every `callback` property against the program's table; an unknown
// name fails the load and is named on stderr.
bool attachCallbacks(rt::Panel &panel) {
    auto &registry = rt::Registry::instance();
    QWidget *root = panel.root;
    const QString panelCallback = root->property("callback").toString();
    if (!panelCallback.isEmpty()) {
        const CallbackEntry *entry = registry.findCallback(panelCallback);
        if (!entry || !entry->panel) {
            std::fprintf(stderr, "panel file: unknown panel callback '%s'\n",
                         qPrintable(panelCallback));
            return false;
        }
        panel.callback = entry->panel;
        rt::connectPanelEvents(panel.handle, root, entry->panel);
    }
    for (QWidget *w : root->findChildren<QWidget *>()) {
        bool ok = false;
        const int id = w->property("controlId").toInt(&ok);
        if (!ok)
            continue;
        panel.controls.insert(id, w);
        panel.nextControlId = std::max(panel.nextControlId, id + 1);
        if (qobject_cast<QCustomPlot *>(w))
            rt::setupGraph(w);
        const QString name = w->property("callback").toString();
        if (name.isEmpty())
            continue;
        const CallbackEntry *entry = registry.findCallback(name);
        if (!entry || !entry->control) {
            std::fprintf(stderr, "panel file: control '%s' names the unknown callback '%s'\n",
                         qPrintable(w->objectName()), qPrintable(name));
            return false;
        }
        rt::connectControlEvents(panel.handle, id, w, entry->control);
    }
    return true;
}

} // namespace

void RegisterCallbacks(const CallbackEntry *table, int count) {
    rt::Registry::instance().registerCallbacks(table, count);
}

void ClearRegisteredCallbacks() {
    rt::Registry::instance().clearCallbacks();
}

int LoadPanel(int parentPanel, const char *fileName, int resourceId) {
    const QString path = panelFilePath(fileName);
    if (!QFileInfo::exists(path))
        return -1;
    const QString root = resourceRootFor(path);
    if (root.isEmpty())
        return -2;
    QFile form(QStringLiteral(":%1/%2.ui").arg(root).arg(resourceId));
    if (!form.open(QIODevice::ReadOnly))
        return -3;
    QWidget *parent = nullptr;
    if (parentPanel > 0) {
        parent = rt::panelWidget(parentPanel);
        if (!parent)
            return -4;
    }
    PanelLoader loader;
    std::unique_ptr<QWidget> widget(loader.load(&form, nullptr));
    if (!widget)
        return -5;
    widget->hide();
    rt::pacePainting(widget.get());
    rt::paintIndicatorsAlone(widget.get());
    rt::Panel &panel = rt::Registry::instance().add(widget.get(), parentPanel);
    if (!attachCallbacks(panel)) {
        rt::Registry::instance().remove(panel.handle);
        return -6;
    }
    if (parent) {
        // A child panel is a tool window of its parent: it stays on top of it,
        // never blocks it, and is closed only by the program.
        widget->setParent(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        if (!panel.callback)
            rt::connectPanelEvents(panel.handle, widget.get(), nullptr);
    }
    widget.release(); // owned by the registry's panel from here on
    return panel.handle;
}

int DisplayPanel(int panel) {
    QWidget *w = rt::panelWidget(panel);
    if (!w)
        return -1;
    w->show();
    w->raise();
    return 0;
}

int HidePanel(int panel) {
    QWidget *w = rt::panelWidget(panel);
    if (!w)
        return -1;
    w->hide();
    return 0;
}

int DiscardPanel(int panel) {
    auto &registry = rt::Registry::instance();
    rt::Panel *p = registry.panel(panel);
    if (!p)
        return -1;
    QPointer<QWidget> root = p->root;
    for (auto &control : p->controls)
        if (qobject_cast<QCustomPlot *>(control.data()))
            rt::forgetGraph(control.data());
    registry.remove(panel);
    delete root.data(); // children of a discarded parent go with it
    return 0;
}
