#include "ports/port_selector.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

#include "ports/port_catalog.h"
#include "runtime/low_latency.h"
#include "runtime/runtime.h"
#include "shell/window_note.h"
#include "window/settings.h"

namespace ports {

namespace {

// The value of the "Other device..." entry, which is never a port: picking
// it asks for a device instead.
constexpr int ASK_FOR_DEVICE = 0;

QString deviceEntryText(int number, const QString &device) {
    return QStringLiteral("COM%1 - %2").arg(number).arg(device);
}

void note(const QString &text) {
    WindowNote(text.toUtf8().constData());
}

} // namespace

PortSelector::PortSelector(QComboBox *selector) : QObject(selector), selector_(selector) {
    const QStringList given =
        selector->property("itemValues").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    panelEntries_ = selector->count();
    for (int i = 0; i < panelEntries_; ++i) {
        bool ok = false;
        const int number = given.value(i).trimmed().toInt(&ok);
        values_.append(ok ? number : i);
    }
    {
        const QSignalBlocker quiet(selector);
        selector->addItem(tr("Simulated sensor"));
        values_.append(SIMULATED_PORT);
        selector->addItem(tr("Other device..."));
        values_.append(ASK_FOR_DEVICE);
    }
    writeValues();
    for (const QString &device : window::savedOtherDevices())
        addDeviceEntry(device);
    lastRow_ = rowBeforeSimulated_ = selector->currentIndex();

    selector->installEventFilter(this);
    // The open list: a pick of "Other device..." is taken before the
    // selector makes it a pick of a port.
    list_ = selector->view();
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    list_->window()->installEventFilter(this);
    connect(selector, qOverload<int>(&QComboBox::activated), this, &PortSelector::picked);
    connect(&PortCatalog::instance(), &PortCatalog::refreshed, this, &PortSelector::showLabels);
    connect(&simulated_, &SimulatedSensor::ended, this, &PortSelector::simulatedEnded);
    connect(qApp, &QCoreApplication::aboutToQuit, &simulated_, &SimulatedSensor::stop);
    portEvents_ = stream::programStream().portEvents.subscribe([this](const stream::PortEvent &e) {
        if (e.kind == stream::PortEvent::Kind::Opened)
            portOpened(e.port);
    });
    showLabels();
}

int PortSelector::valueAt(int row) const {
    return values_.value(row, ASK_FOR_DEVICE);
}

void PortSelector::addDeviceEntry(const QString &device) {
    const int number = FIRST_OTHER_PORT + otherDevices_.size();
    const int row = values_.indexOf(SIMULATED_PORT);
    SetComDevice(number, device.toLocal8Bit().constData());
    otherDevices_.append(device);
    values_.insert(row, number);
    writeValues();
    const QSignalBlocker quiet(selector_);
    selector_->insertItem(row, deviceEntryText(number, device));
}

void PortSelector::writeValues() {
    QStringList texts;
    for (int value : values_)
        texts.append(QString::number(value));
    selector_->setProperty("itemValues", texts.join(QLatin1Char(',')));
}

bool PortSelector::eventFilter(QObject *watched, QEvent *event) {
    // The list is made by the selector's first view(), which sends the
    // selector events: it is looked at only once made.
    QAbstractItemView *list = list_;
    if (!selector_ || !list)
        return false;
    const auto askingRow = [this](const QModelIndex &index) {
        return index.isValid() && index.row() == otherRow();
    };
    const auto ask = [this] {
        selector_->hidePopup();
        QTimer::singleShot(0, this, &PortSelector::askForDevice);
    };
    if (watched == selector_ &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress)) {
        // A letter that leads the closed selector's search to "Other
        // device..." asks at once: reached by the search, the entry would
        // first make the program open the port in use again, which reads
        // the sensor's set over the panels' unsent values.
        if (event->type() == QEvent::KeyPress && !list->isVisible()) {
            const QString typed = static_cast<QKeyEvent *>(event)->text();
            if (!typed.isEmpty() && typed.at(0).isLetter() &&
                selector_->findText(typed, Qt::MatchStartsWith) == otherRow()) {
                ask();
                return true;
            }
        }
        // Runs before the selector opens its list or steps to another entry.
        PortCatalog::instance().refresh();
    } else if (watched == list->window() &&
               (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        // Keys and the wheel on the closed selector step over "Other
        // device...": only a pick in the open list asks.
        if (auto *model = qobject_cast<QStandardItemModel *>(selector_->model()))
            model->item(otherRow())->setEnabled(event->type() == QEvent::Show);
    } else if (watched == list->viewport() && event->type() == QEvent::MouseButtonRelease &&
               askingRow(list->indexAt(static_cast<QMouseEvent *>(event)->position().toPoint()))) {
        ask();
        return true;
    } else if (watched == list &&
               (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
               (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Return ||
                static_cast<QKeyEvent *>(event)->key() == Qt::Key_Enter) &&
               askingRow(list->currentIndex())) {
        // The open list picks on Enter already as a shortcut: the key is
        // taken there, and asks as it comes.
        event->accept();
        if (event->type() == QEvent::KeyPress)
            ask();
        return true;
    }
    return false;
}

void PortSelector::picked(int row) {
    // The design's own pick of the port runs after this (queued) and reads
    // the selector's value then.
    const int value = valueAt(row);
    if (value == ASK_FOR_DEVICE) {
        // Reached some other way than the open list: the previous port stays.
        selector_->setCurrentIndex(lastRow_);
        QTimer::singleShot(0, this, &PortSelector::askForDevice);
        return;
    }
    if (value == SIMULATED_PORT) {
        if (!simulated_.running())
            rowBeforeSimulated_ = lastRow_;
        QString problem;
        const QString link = simulated_.start(&problem);
        if (link.isEmpty()) {
            selector_->setCurrentIndex(rowBeforeSimulated_);
            const QString text = tr("Simulated sensor: %1").arg(problem);
            std::fprintf(stderr, "%s\n", qPrintable(text));
            note(text);
            return;
        }
        SetComDevice(SIMULATED_PORT, link.toLocal8Bit().constData());
    }
    lastRow_ = row;
}

void PortSelector::pickRow(int row) {
    selector_->setCurrentIndex(row);
    emit selector_->activated(row);
}

void PortSelector::askForDevice() {
    if (!selector_)
        return;
    QDialog dialog(selector_->window());
    dialog.setObjectName(QStringLiteral("otherDeviceDialog"));
    dialog.setWindowTitle(tr("Other device"));
    auto *path = new QLineEdit(&dialog);
    path->setObjectName(QStringLiteral("devicePath"));
    path->setPlaceholderText(QStringLiteral("/dev/ttyUSB3"));
    auto *browse = new QPushButton(tr("&Browse..."), &dialog);
    connect(browse, &QPushButton::clicked, &dialog, [&dialog, path] {
        QFileDialog files(&dialog, tr("Pick a device"), QStringLiteral("/dev"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setFileMode(QFileDialog::ExistingFile);
        files.setFilter(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        if (files.exec() == QDialog::Accepted && !files.selectedFiles().isEmpty())
            path->setText(files.selectedFiles().constFirst());
    });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addWidget(path, 1);
    row->addWidget(browse);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(tr("&Device path: a serial adapter such as /dev/ttyUSB3, or a link "
                                "made by vexa-sim --link"),
                             &dialog);
    label->setBuddy(path);
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addLayout(row);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || path->text().trimmed().isEmpty())
        return;
    connectToDevice(QFileInfo(path->text().trimmed()).absoluteFilePath());
}

void PortSelector::connectToDevice(const QString &device) {
    if (!selector_)
        return;
    if (!otherDevices_.contains(device)) {
        addDeviceEntry(device);
        window::saveOtherDevices(otherDevices_);
    }
    pickRow(values_.indexOf(FIRST_OTHER_PORT + otherDevices_.indexOf(device)));
}

void PortSelector::portOpened(int port) {
    if (port == SIMULATED_PORT) {
        showSimulatedMark(simulated_.running());
    } else if (simulated_.running()) {
        simulated_.stop();
        showSimulatedMark(false);
    }
}

void PortSelector::simulatedEnded(const QString &why) {
    showSimulatedMark(false);
    const QString text = tr("Simulated sensor: %1").arg(why);
    std::fprintf(stderr, "%s\n", qPrintable(text));
    note(text);
    simulated_.stop();
    if (selector_ && valueAt(selector_->currentIndex()) == SIMULATED_PORT)
        pickRow(rowBeforeSimulated_);
}

void PortSelector::showSimulatedMark(bool shown) {
    if (shown && !simulatedMark_ && selector_) {
        auto *bar = selector_->window()->findChild<QStatusBar *>(QStringLiteral("statusBar"));
        if (!bar)
            return;
        simulatedMark_ = new QLabel(bar);
        simulatedMark_->setObjectName(QStringLiteral("simulatedSensorMark"));
        bar->addPermanentWidget(simulatedMark_);
    }
    if (!simulatedMark_)
        return;
    simulatedMark_->setText(
        tr("simulated sensor (vexa-sim on %1)").arg(simulated_.pseudoTerminal()));
    simulatedMark_->setVisible(shown);
}

void PortSelector::showLabels() {
    if (!selector_)
        return;
    // The entries keep their values (the panel's "itemValues"); only the
    // texts change, and no change of text is a pick.
    const PortMap &map = PortCatalog::instance().map();
    const QSignalBlocker quiet(selector_);
    for (int i = 0; i < panelEntries_; ++i) {
        const int shown = values_[i];
        selector_->setItemText(i, map.label(shown));
        // An adapter that holds each reply longer than a few bytes' time says so.
        const QString device = map.device(shown);
        const QString note = device.isEmpty() ? QString() : rt::adapterLatencyNote(device);
        selector_->setItemData(i, note.isEmpty() ? QVariant() : QVariant(note), Qt::ToolTipRole);
    }
    // The open list shows whole entries even where the closed selector is
    // narrower than an adapter's name.
    QAbstractItemView *list = selector_->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->frameWidth() * 2 +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

} // namespace ports
