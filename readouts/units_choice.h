// View > Units: pixels (the default) or millimetres. Millimetres come from the
// CCD description of the sensor's last CCD-info reply, read each time they are
// asked for, so a reconnect to another sensor changes them at once; where
// the description names no pixel pitch the mm item is greyed and says why.
#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QAction;
class QMenu;

namespace readouts {

class UnitsChoice : public QObject {
    Q_OBJECT

  public:
    // `ccdtype` and `ccdresolution`: where the program keeps the CCD
    // description; they must outlive this object.
    UnitsChoice(QObject *parent, const unsigned short *ccdtype,
                const unsigned short *ccdresolution);

    // Puts the "Units" submenu into `view`.
    void addTo(QMenu *view);

    // Millimetres per pixel while "mm" is chosen and the sensor's description
    // names a pitch; empty otherwise.
    std::optional<double> mmPerPixel() const;
    // A pixel count with its mm beside it while mm is shown: "412 (3.214 mm)".
    QString pixels(double value) const;

    QAction *pixelsItem() const { return pixels_; }
    QAction *mmItem() const { return mm_; }
    // Greys the mm item (with its reason) when the description names no pitch.
    void refresh();

  signals:
    void changed();

  private:
    std::optional<double> factor() const;

    const unsigned short *ccdtype_, *ccdresolution_;
    QAction *pixels_, *mm_;
};

} // namespace readouts
