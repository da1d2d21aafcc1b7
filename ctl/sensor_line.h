// The sensor's line for vexa-tb-ctl: the port opened as the window opens it,
// and each exchange of link/exchanges.h as one step that says whether it
// worked and, if not, with the status text the window would show. The
// program-wide variables hold the window's start values, so requests carry
// the same words as the window's first requests.
#pragma once

#include <QString>

#include <array>

#include "link/exchanges.h"

namespace ctl {

using ParameterSet = std::array<unsigned short, PNUM>;
using VideoSamples = std::array<unsigned short, 256>;
using FrameWords = std::array<unsigned short, PNUM>;

struct Step {
    bool ok = false;
    QString text; // the window's status text for a failure
};

// Where the sensor is: a device path, or a COM number of the window's selector.
struct PortChoice {
    QString device; // set for --port
    int number = 0; // set for --com
};

class SensorLine {
  public:
    SensorLine(); // sets the start values; notes are not shown
    ~SensorLine();
    SensorLine(const SensorLine &) = delete;
    SensorLine &operator=(const SensorLine &) = delete;

    // Opens and sets up the port; false with why it did not open.
    bool open(const PortChoice &choice, QString *problem);
    // The device the port was opened on.
    QString device() const;

    // Every step of a 36-byte reply fails unless the reply begins with the
    // header word 0x00AA and echoes the order sent; the window does not look.
    Step echo();
    Step firmware(QString *text);
    Step ccdInfo(CcdInfo *info);
    Step readSet(bool eeprom, ParameterSet *set);
    // The set becomes the parameter variables, as after the window's connect.
    void adopt(const ParameterSet &set);
    // Writes the set and waits until it has left the port.
    Step writeSet(bool eeprom, const ParameterSet &set);
    Step teach();
    Step reset();
    // One order-8 frame: packed parameters (`packed`, the Run loop) or the
    // current pp (the Data loop). Its sixteen words go to `words` as they
    // came (in0 too, which the Data loop does not take over) and, as the
    // loop takes them, to the frame variables.
    Step frame(bool packed, FrameWords *words);
    // The four blocks of 64 samples, with the receive callback off.
    Step videoSignal(VideoSamples *samples);

  private:
    int port_ = 0;
    bool open_ = false;
};

} // namespace ctl
