// Where the monitor's frames, passes, events and line states go: the frame
// lines (--csv), the event log (--events), the supervision of the band and
// the broker (--publish). All of them listen to the frame stream; the loop
// only tells them what the stream does not carry.
#pragma once

#include <QString>

#include <memory>

#include "ctl/sensor_line.h"

namespace ctl {

struct Invocation;

// The line as the broker's status names it.
enum class LineState { Unknown, Online, NoAnswer, PortLost };

// What the sensor told of itself after the port opened.
struct SensorInfo {
    QString firmware;
    CcdInfo ccd{};
    ParameterSet parameters{};
};

class MonitorSinks {
  public:
    MonitorSinks();
    ~MonitorSinks();
    MonitorSinks(const MonitorSinks &) = delete;
    MonitorSinks &operator=(const MonitorSinks &) = delete;

    // Checks the broker's URL, the name and the password file and opens the
    // files, before anything is sent; ExitSuccess, or the exit code after
    // saying why.
    int open(const Invocation &how);
    void sensorKnown(const SensorInfo &info);
    void lineState(LineState state);
    // True once the broker has refused the credentials: the monitor ends.
    bool failed() const;
    // Publishes "offline", closes the files whole; the exit code.
    int close();

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace ctl
