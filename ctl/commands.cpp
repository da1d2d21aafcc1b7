// info, read, write, teach and reset: each opens the line, runs the window's
// exchanges in the window's order and prints what a script needs on stdout.
// A bad file is found before the port is opened, so nothing is sent then.
#include "ctl/commands.h"

#include <QByteArray>

#include <cstdio>

#include "ctl/exit_codes.h"
#include "ctl/set_file.h"
#include "link/transactions.h"
#include "params/parameter_file.h"
#include "params/parameter_table.h"
#include "runtime/low_latency.h"

namespace ctl {

namespace {

enum LineStart { NoEcho, EchoFirst };

// Opens the line and, for the commands that begin so, checks it with the
// echo. ExitSuccess, or the exit code after saying why.
int startLine(SensorLine &line, const Invocation &how, LineStart start) {
    if (!openLine(line, how))
        return ExitSensorFailed;
    if (start == EchoFirst)
        if (Step step = line.echo(); !step.ok)
            return sensorFailed(step);
    return ExitSuccess;
}

void print(const QString &text) {
    std::fputs(text.toUtf8().constData(), stdout);
}

// As a parameter file holds it: one number a line, right-aligned.
QString parameterFileText(const ParameterSet &set) {
    QString text;
    for (unsigned short word : set)
        text += QString::number(word).rightJustified(PARA_FIELD_WIDTH, QLatin1Char(' ')) +
                QLatin1Char('\n');
    return text;
}

int runInfo(const Invocation &how) {
    SensorLine line;
    if (const int code = startLine(line, how, EchoFirst))
        return code;
    QString firmware;
    if (Step step = line.firmware(&firmware); !step.ok)
        return sensorFailed(step);
    print(QStringLiteral("firmware: %1\n").arg(firmware));
    CcdInfo info{};
    if (Step step = line.ccdInfo(&info); !step.ok)
        return sensorFailed(step);
    print(QStringLiteral("ccd: %1\n")
              .arg(QString::fromLatin1(CCDDescription(info.type, info.resolution)).trimmed()));
    if (const QString note = rt::adapterLatencyNote(line.device()); !note.isEmpty())
        print(note + QLatin1Char('\n'));
    return ExitSuccess;
}

int runRead(const Invocation &how) {
    SensorLine line;
    if (const int code = startLine(line, how, EchoFirst))
        return code;
    ParameterSet set{};
    if (Step step = line.readSet(how.eeprom, &set); !step.ok)
        return sensorFailed(step);
    print(parameterFileText(set));
    return ExitSuccess;
}

int runWrite(const Invocation &how) {
    const QString path = how.arguments.value(0);
    ParameterSet set{};
    QString problem;
    if (!readSetFile(path, &set, &problem)) {
        complain(QStringLiteral("Cannot read parameter file! (%1: %2)").arg(path, problem));
        return ExitUsage;
    }
    // The window's Load would replace these values; written only when asked.
    if (const QStringList outside = outOfRange(set); !outside.isEmpty() && !how.allowOutOfRange) {
        for (const QString &text : outside)
            complain(text);
        complain(QStringLiteral("%1 not written: a Load would replace these values (write them "
                                "as they are with --allow-out-of-range)")
                     .arg(path));
        return ExitUsage;
    }
    SensorLine line;
    if (const int code = startLine(line, how, EchoFirst))
        return code;
    if (Step step = line.writeSet(how.eeprom, set); !step.ok)
        return sensorFailed(step);
    if (!how.verify)
        return ExitSuccess;
    ParameterSet held{};
    if (Step step = line.readSet(how.eeprom, &held); !step.ok)
        return sensorFailed(step);
    bool same = true;
    for (int i = 0; i < PNUM; i++) {
        if (held[i] == set[i])
            continue;
        same = false;
        complain(QStringLiteral("%1: written %2, the sensor holds %3")
                     .arg(QLatin1String(parameterTable[i].name))
                     .arg(set[i])
                     .arg(held[i]));
    }
    if (!same) {
        complain(QStringLiteral("verify failed"));
        return ExitSensorFailed;
    }
    return ExitSuccess;
}

int runTeach(const Invocation &how) {
    SensorLine line;
    if (const int code = startLine(line, how, NoEcho))
        return code;
    if (Step step = line.teach(); !step.ok)
        return sensorFailed(step);
    // As the Teach button: the new value is read back from RAM.
    ParameterSet set{};
    if (Step step = line.readSet(false, &set); !step.ok)
        return sensorFailed(step);
    print(QStringLiteral("%1: %2\n")
              .arg(QLatin1String(parameterTable[TEACH_VALUE_WORD].name))
              .arg(set[TEACH_VALUE_WORD]));
    return ExitSuccess;
}

int runReset(const Invocation &how) {
    SensorLine line;
    if (const int code = startLine(line, how, NoEcho))
        return code;
    if (Step step = line.reset(); !step.ok)
        return sensorFailed(step);
    return ExitSuccess;
}

} // namespace

const std::vector<Command> &commands() {
    static const std::vector<Command> table{
        {"info",
         "",
         "echo check, then print the firmware text and the CCD description",
         {},
         runInfo},
        {"read",
         "",
         "echo check, then print the sensor's sixteen parameters (RAM, or EEPROM with "
         "--eeprom) in the parameter-file format",
         {QStringLiteral("eeprom")},
         runRead},
        {"write",
         "FILE",
         "write the parameter file FILE to RAM (or EEPROM with --eeprom), then read it back "
         "and compare unless --no-verify; values outside the program's ranges only with "
         "--allow-out-of-range",
         {QStringLiteral("eeprom"), QStringLiteral("no-verify"),
          QStringLiteral("allow-out-of-range")},
         runWrite},
        {"teach", "", "teach a new set-point and print the new teach value (tVal)", {}, runTeach},
        {"reset", "", "reset the sensor's stored maximum and minimum", {}, runReset},
        {"capture",
         "",
         "take --frames N measurement frames (with --video: N passes with the video signal) "
         "and write them as CSV to stdout or --csv FILE",
         {QStringLiteral("frames"), QStringLiteral("video"), QStringLiteral("csv")},
         runCapture},
        {"monitor",
         "",
         "run the live loop (with --video the Data loop) until SIGINT or SIGTERM: frames to "
         "--csv FILE, excursions out of the tolerance band and the line's changes to --events "
         "FILE, and with --publish URL everything to an MQTT broker; a missing or vanished port "
         "is tried again, a silent sensor asked again",
         {QStringLiteral("video"), QStringLiteral("csv"), QStringLiteral("publish"),
          QStringLiteral("name"), QStringLiteral("events"), QStringLiteral("frame-every"),
          QStringLiteral("on-delay"), QStringLiteral("hysteresis"), QStringLiteral("password-file"),
          QStringLiteral("allow-open-password-file"), QStringLiteral("cafile")},
         runMonitor},
    };
    return table;
}

const Command *findCommand(const QString &name) {
    for (const Command &command : commands())
        if (name == QLatin1String(command.name))
            return &command;
    return nullptr;
}

void complain(const QString &text) {
    std::fprintf(stderr, "vexa-tb-ctl: %s\n", text.toLocal8Bit().constData());
}

bool openLine(SensorLine &line, const Invocation &how) {
    QString problem;
    if (line.open(how.port, &problem))
        return true;
    complain(QStringLiteral("cannot open the sensor's port: %1").arg(problem));
    return false;
}

int sensorFailed(const Step &step) {
    complain(step.text);
    return ExitSensorFailed;
}

} // namespace ctl
