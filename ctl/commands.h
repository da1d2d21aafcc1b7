// The commands of vexa-tb-ctl, each one table row: name, arguments, help, the
// options it takes, and its handler. The command line, the --help text and
// the dispatch are all made from this table.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "ctl/sensor_line.h"

namespace ctl {

// What the command line asked for, checked against the table.
struct Invocation {
    PortChoice port;
    QStringList arguments; // after the command name
    bool eeprom = false;
    bool verify = true;
    bool allowOutOfRange = false; // write: values the window's range check would replace
    int frames = 0;
    bool video = false;
    QString csvPath; // empty: stdout
    // monitor
    QString publishUrl; // empty: record and supervise only
    QString name;       // the sensor's name on the broker; empty: the default
    QString eventsPath;
    QString passwordFile;
    bool allowOpenPasswordFile = false; // group or others may read it
    QString caFile;
    int frameEvery = 1;
    int onDelayMs = 0;
    int hysteresis = 0;
};

struct Command {
    const char *name;
    const char *arguments; // "FILE", or "" for none
    const char *help;
    QStringList options; // the long options it takes besides --port and --com
    int (*run)(const Invocation &);
};

const std::vector<Command> &commands();
const Command *findCommand(const QString &name);

// Messages for people, on stderr: "vexa-tb-ctl: TEXT".
void complain(const QString &text);
// Opens the line; false after saying on stderr why it did not open.
bool openLine(SensorLine &line, const Invocation &how);
// Ends a failed step: its text on stderr, the sensor's exit code.
int sensorFailed(const Step &step);

int runCapture(const Invocation &how); // capture.cpp
int runMonitor(const Invocation &how); // monitor.cpp

} // namespace ctl
