// Command line of vexa-sim.
#pragma once

#include "sim/sensor.h"

#include <string>
#include <vector>

namespace sim {

struct Options {
    std::string link;   // symlink to the slave, if not empty
    std::string eeprom; // EEPROM file, if not empty
    std::string replay; // recording to answer orders 8 and 9 from, if not empty
    bool once = false;
    bool verbose = false;
    bool stats = false; // print the program's turnaround times at exit
    bool help = false;
    bool version = false;
    unsigned baud = 19200;
    unsigned chunk = 1;            // reply bytes handed over together
    unsigned adapterLatencyMs = 0; // a USB adapter's latency timer; 0: no adapter
    unsigned adapterPacket = 62;   // the data bytes of its USB packet
    SensorConfig sensor;
};

// Parses the arguments (without the program name). Returns an error text, empty when all is well.
std::string parseOptions(const std::vector<std::string> &args, Options &out);

std::string usageText();

} // namespace sim
