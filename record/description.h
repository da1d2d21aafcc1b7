// The description written beside a recording, <base>.json: which program and
// sensor made it (port, firmware text, CCD description and the millimetres a
// pixel reaches, the sixteen parameters the sensor's RAM holds), when it began
// and, once it has ended, when and with how many frames. The window's
// recording and vexa-tb-ctl's capture write it through the same function; it
// needs Qt Core only.
#pragma once

#include <QString>

#include <array>
#include <chrono>
#include <optional>
#include <string>

namespace record {

struct Description {
    QString program;      // "vexa-tb-scope", "vexa-tb-ctl"
    QString port;         // the device the sensor answers on
    std::string firmware; // the sensor's firmware text, Windows-1252 bytes
    unsigned short ccdType = 0, ccdPixels = 0, ccdResolution = 0;
    std::array<unsigned short, 16> parameters{}; // by the word of the parameter block
    std::chrono::system_clock::time_point start;
    std::optional<std::chrono::system_clock::time_point> end; // set once it has ended
    long long frames = 0;                                     // written when it ended
};

// The sensor as the program-wide variables hold it: the firmware text, the
// CCD info and the parameter variables (which the Run loop sends with every
// frame, so they are the sensor's RAM); starting now.
Description describeSensor(const QString &program, const QString &port);

// The description as JSON (UTF-8).
QByteArray descriptionJson(const Description &description);

// Writes it to "<base>.json" beside `framesPath` in one step: whole or not at
// all. False with the file and the reason in `problem`.
bool writeDescription(const QString &framesPath, const Description &description, QString *problem);

} // namespace record
