// The compare window: a table built from the parameter table, filled from a
// ParameterComparison. Reading the sensor runs one exchange that processes
// events while it waits, as the panels' buttons do; the file dialog is
// opened with open(), so neither holds a running loop.
#include "compare/compare_window.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidgetItem>

#include "compare/parameter_rows.h"
#include "compare/sensor_read.h"
#include "menus/tool_window.h"
#include "params/panel_binding.h"
#include "params/parameter_file.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "stream/stream.h"
#include "ui_compare_window.h"
#include "window/settings_keys.h"
#include "window/window_keeper.h"

namespace compare {

namespace {

constexpr int NAME_COLUMN = 0;
constexpr int RANGE_COLUMN = 1;
constexpr int REPLACEMENT_COLUMN = 2;
constexpr int PANEL_WATCH_MS = 500;
constexpr int ROW_PADDING = 6; // pixels above and below a row's line

const char *columnName(Column column) {
    switch (column) {
    case Column::Panel:
        return QT_TRANSLATE_NOOP("compare", "Panel");
    case Column::Ram:
        return QT_TRANSLATE_NOOP("compare", "RAM");
    case Column::Eeprom:
        return QT_TRANSLATE_NOOP("compare", "EEPROM");
    case Column::File:
        break;
    }
    return QT_TRANSLATE_NOOP("compare", "File");
}

QString trColumn(Column column) {
    return QCoreApplication::translate("compare", columnName(column));
}

// Why a parameter file did not load: the program's text, then the cause
// ReadParameterFile gave ("No such file or directory", "not a regular file").
QString fileFailure(const QString &path) {
    return QString::fromLatin1(PARA_FILE_READ_ERROR) + QLatin1Char('\n') +
           QFileInfo(path).fileName() + QStringLiteral(": ") +
           QString::fromLocal8Bit(ParameterFileProblem());
}

// The Get button is dimmed while a loop runs; a column goes onto the panels
// only when a Get could put a set there.
bool getAvailable() {
    int dimmed = 0;
    GetCtrlAttribute(panelHandle, CTRL_Busy3, ATTR_DIMMED, &dimmed);
    return dimmed == 0;
}

} // namespace

QColor differenceColour() {
    return QColor(255, 205, 130);
}

int tableColumn(Column column) {
    return REPLACEMENT_COLUMN + 1 + static_cast<int>(column);
}

CompareWindow::CompareWindow(QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Window), ui_(std::make_unique<Ui::CompareWindow>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("compareWindow"));

    QTableWidget *table = ui_->table;
    table->setRowCount(PNUM);
    for (int word = 0; word < PNUM; word++) {
        table->setItem(word, NAME_COLUMN, new QTableWidgetItem(parameterName(word)));
        table->setItem(word, RANGE_COLUMN, new QTableWidgetItem(rangeText(word)));
        table->setItem(word, REPLACEMENT_COLUMN, new QTableWidgetItem(replacementText(word)));
        for (Column column : kColumns) {
            auto *item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(word, tableColumn(column), item);
        }
    }
    // The texts fit their columns; the values share the rest, so that a
    // column's failure text has room.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (Column column : kColumns)
        table->horizontalHeader()->setSectionResizeMode(tableColumn(column), QHeaderView::Stretch);
    // All sixteen rows without scrolling, also on a 1280x720 screen: rows one
    // line high, and the table as tall as they are.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + ROW_PADDING);
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    resize(width(), sizeHint().height());

    // Beside the main window, never over its panels; Esc closes it.
    window::keepBesideMainWindow(mainWindow, this, window::settings_keys::COMPARE_WINDOW_POS,
                                 [this] { hide(); });
    // A port opened again, or lost, may stand for another sensor now.
    portEvents_ = stream::programStream().portEvents.subscribe([this](const stream::PortEvent &e) {
        if (e.kind == stream::PortEvent::Kind::Opened || e.kind == stream::PortEvent::Kind::Lost)
            markSensorColumnsOld(true);
    });

    connect(ui_->readSensorButton, &QPushButton::clicked, this, &CompareWindow::readSensor);
    connect(ui_->openFileButton, &QPushButton::clicked, this, &CompareWindow::openFile);
    connect(ui_->useRamButton, &QPushButton::clicked, this, [this] { useColumn(Column::Ram); });
    connect(ui_->useEepromButton, &QPushButton::clicked, this,
            [this] { useColumn(Column::Eeprom); });
    connect(ui_->useFileButton, &QPushButton::clicked, this, [this] { useColumn(Column::File); });

    panelWatch_.setInterval(PANEL_WATCH_MS);
    connect(&panelWatch_, &QTimer::timeout, this, &CompareWindow::refreshPanelColumn);
    refreshPanelColumn();
}

CompareWindow::~CompareWindow() = default;

void CompareWindow::readSensor() {
    refreshPanelColumn();
    ui_->readSensorButton->setEnabled(false);
    if (readSensorColumns(comparison_, [this](const QString &text) { note(text); })) {
        markSensorColumnsOld(false);
        showComparison();
    }
    ui_->readSensorButton->setEnabled(true);
}

void CompareWindow::openFile() {
    if (!fileDialog_) {
        const QString folder = filePath_.isEmpty() ? QString::fromLocal8Bit(proj_dir)
                                                   : QFileInfo(filePath_).absolutePath();
        fileDialog_ = new QFileDialog(this, tr("Parameter file to compare"), folder);
        fileDialog_->setObjectName(QStringLiteral("compareFileDialog"));
        fileDialog_->setAcceptMode(QFileDialog::AcceptOpen);
        fileDialog_->setFileMode(QFileDialog::ExistingFile);
        fileDialog_->setNameFilters({tr("Parameter files (*.dat)"), tr("All files (*)")});
        connect(fileDialog_, &QFileDialog::fileSelected, this, &CompareWindow::loadFile);
    }
    fileDialog_->open();
}

void CompareWindow::loadFile(const QString &path) {
    filePath_ = path;
    ParameterSet set{};
    const QByteArray name = QFile::encodeName(path);
    if (ReadParameterFile(name.constData(), set.data()) < 0) {
        comparison_.setFailure(Column::File, fileFailure(path));
        note(comparison_.failure(Column::File));
    } else {
        comparison_.setValues(Column::File, set);
        note(tr("File: %1").arg(QDir::toNativeSeparators(path)));
    }
    QTableWidgetItem *header = ui_->table->horizontalHeaderItem(tableColumn(Column::File));
    header->setText(tr("File (%1)").arg(QFileInfo(path).fileName()));
    header->setToolTip(QDir::toNativeSeparators(path));
    refreshPanelColumn();
    showComparison();
}

void CompareWindow::useColumn(Column column) {
    if (column == Column::Panel || !comparison_.hasValues(column))
        return;
    if (!getAvailable()) {
        note(tr("Not while a loop runs: press Stop first."));
        return;
    }
    SetPanelValuesFrom(comparison_.values(column).data());
    refreshPanelColumn();
    note(tr("The %1 column is on the panels now, checked as a Get checks it; nothing was sent.")
             .arg(trColumn(column)));
}

void CompareWindow::refreshPanelColumn() {
    ParameterSet set{};
    GetPanelValuesInto(set.data());
    if (comparison_.hasValues(Column::Panel) && comparison_.values(Column::Panel) == set)
        return;
    comparison_.setValues(Column::Panel, set);
    showComparison();
}

void CompareWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    refreshPanelColumn();
    panelWatch_.start();
}

void CompareWindow::hideEvent(QHideEvent *event) {
    panelWatch_.stop();
    QWidget::hideEvent(event);
}

void CompareWindow::showComparison() {
    for (Column column : kColumns)
        showColumn(column);
    ui_->useRamButton->setEnabled(comparison_.hasValues(Column::Ram));
    ui_->useEepromButton->setEnabled(comparison_.hasValues(Column::Eeprom));
    ui_->useFileButton->setEnabled(comparison_.hasValues(Column::File));
}

void CompareWindow::showColumn(Column column) {
    QTableWidget *table = ui_->table;
    const int col = tableColumn(column);
    const QString failure = comparison_.failure(column);
    const bool spanned = table->rowSpan(0, col) > 1;
    if (!failure.isEmpty() && !spanned)
        table->setSpan(0, col, PNUM, 1);
    if (failure.isEmpty() && spanned)
        table->setSpan(0, col, 1, 1);

    for (int word = 0; word < PNUM; word++) {
        QTableWidgetItem *item = table->item(word, col);
        if (!failure.isEmpty()) {
            const bool first = word == 0;
            item->setText(first ? failure : QString());
            item->setToolTip(first ? failure : QString());
            item->setTextAlignment(Qt::AlignCenter);
            item->setForeground(first ? QBrush(Qt::darkRed) : QBrush());
            item->setBackground(QBrush());
            continue;
        }
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (!comparison_.hasValues(column)) {
            item->setForeground(QBrush());
            item->setText(QString());
            item->setToolTip(QString());
            item->setBackground(QBrush());
            continue;
        }
        const unsigned short value = comparison_.values(column)[word];
        item->setText(QString::number(value));
        QStringList tip;
        if (comparison_.differs(column, word))
            tip << tr("Panel: %1").arg(comparison_.values(Column::Panel)[word]);
        // A value a Get would replace is red.
        const QString replaced = replacedNote(word, value);
        if (!replaced.isEmpty())
            tip << replaced;
        const bool old = sensorColumnsOld_ && (column == Column::Ram || column == Column::Eeprom);
        item->setForeground(old                  ? QBrush(Qt::gray)
                            : replaced.isEmpty() ? QBrush()
                                                 : QBrush(Qt::red));
        item->setToolTip(tip.join(QLatin1Char('\n')));
        item->setBackground(comparison_.differs(column, word) ? QBrush(differenceColour())
                                                              : QBrush());
    }
}

void CompareWindow::markSensorColumnsOld(bool old) {
    sensorColumnsOld_ = old;
    for (Column column : {Column::Ram, Column::Eeprom}) {
        QTableWidgetItem *header = ui_->table->horizontalHeaderItem(tableColumn(column));
        header->setText(old ? tr("%1 (read again)").arg(trColumn(column)) : trColumn(column));
        header->setToolTip(old ? tr("Read before the port last opened or was lost: press Read "
                                    "sensor for the sensor's values now.")
                               : QString());
        showColumn(column);
    }
}

void CompareWindow::note(const QString &text) {
    ui_->noteLabel->setText(text);
}

CompareWindow *showCompareWindow(QWidget *mainWindow) {
    return window::showToolWindow<CompareWindow>(mainWindow);
}

} // namespace compare
