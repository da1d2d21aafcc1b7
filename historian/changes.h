// The parameter history of a sensor, read from its kept infos: each info is
// compared with the sensor's one before, field by field (the firmware, the
// CCD, the pixel count, then the sixteen parameters in the order of
// params/parameter_table.h), and each field that differs is one change. The
// stores keep whole infos (the set in force from a time on); the changes are
// made when asked, so a query can start from any info it likes.
#pragma once

#include <string>
#include <vector>

#include "historian/records.h"

namespace historian {

struct ParameterChange {
    std::string sensor;
    Millis time = 0;
    std::string what;     // a parameter's name ("tVal"), "firmware", "ccd" or "pixels"
    std::string from, to; // the values as text ("512", "V-EXA-TB 1.4")
    std::string program;  // the program that published the later info
};

// What the first info of each sensor in the list counts as: only the start
// (no change), or a change of every field from "" to its value.
enum class FirstInfo { IsTheStart, ListsEveryField };

// The fields of `after` that differ from `before` (the same sensor).
std::vector<ParameterChange> changesBetween(const InfoRecord &before, const InfoRecord &after);

// The changes of the infos, oldest first; the infos may be of several
// sensors, each compared with the same sensor's info before it in the list.
std::vector<ParameterChange> parameterChanges(const std::vector<InfoRecord> &infos,
                                              FirstInfo first = FirstInfo::IsTheStart);

} // namespace historian
