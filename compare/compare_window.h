// The "Compare parameters" window: the sixteen parameters with their range,
// and the sets on the panels, in the sensor's RAM and EEPROM and in a file
// side by side; a value unlike the panel's is marked. It shows a
// ParameterComparison and moves a column onto the panels only when asked.
#pragma once

#include <QColor>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "compare/parameter_comparison.h"
#include "stream/channel.h"

class QFileDialog;

namespace Ui {
class CompareWindow;
}

namespace compare {

// Background of a value that differs from the panel's.
QColor differenceColour();
// The table column that shows `column` (the first three hold name, range and
// replacement).
int tableColumn(Column column);

class CompareWindow : public QWidget {
    Q_OBJECT

  public:
    explicit CompareWindow(QWidget *mainWindow);
    ~CompareWindow() override;

    const ParameterComparison &comparison() const { return comparison_; }

    // Orders 2 and 4 into the RAM and EEPROM columns (refused while another
    // exchange runs).
    void readSensor();
    // The non-modal file dialog; the chosen file goes to loadFile.
    void openFile();
    void loadFile(const QString &path);
    // The column onto the panels as a Get puts a set there; nothing is sent.
    void useColumn(Column column);
    // The Panel column from the controls as they stand.
    void refreshPanelColumn();
    // Whether the RAM and EEPROM columns were read before the port last
    // opened or was lost: another sensor may stand behind it now.
    bool sensorColumnsOld() const { return sensorColumnsOld_; }

  protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    void showComparison();
    void showColumn(Column column);
    void note(const QString &text);
    void markSensorColumnsOld(bool old);

    std::unique_ptr<Ui::CompareWindow> ui_;
    ParameterComparison comparison_;
    QString filePath_;
    QPointer<QFileDialog> fileDialog_;
    QTimer panelWatch_; // edits on the panels show while the window is open
    stream::Subscription portEvents_;
    bool sensorColumnsOld_ = false;
};

// The one compare window of `mainWindow`: made on the first call, then shown,
// raised and activated.
CompareWindow *showCompareWindow(QWidget *mainWindow);

} // namespace compare
