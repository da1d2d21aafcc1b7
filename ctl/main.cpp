// vexa-tb-ctl: the sensor's exchanges from the command line, on the link code
// of the window, without a display. One QCommandLineParser; the commands and
// their options come from the table in commands.cpp.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

#include "ctl/commands.h"
#include "ctl/exit_codes.h"
#include "runtime/runtime.h"

namespace {

using namespace ctl;

struct Options {
    // Qt's addHelpOption() would also list --help-all, which a parse() of
    // our own does not act on.
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Displays help on commandline options.")};
    // -V as in vexa-sim, whose -v is --verbose; Qt's addVersionOption() takes -v.
    QCommandLineOption version{{QStringLiteral("V"), QStringLiteral("version")},
                               QStringLiteral("Displays version information.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("the sensor's serial device, e.g. /dev/ttyUSB0"),
                            QStringLiteral("DEVICE")};
    QCommandLineOption com{QStringLiteral("com"),
                           QStringLiteral("COM port N as the window numbers it (1-16)"),
                           QStringLiteral("N")};
    QCommandLineOption eeprom{QStringLiteral("eeprom"),
                              QStringLiteral("read or write: the EEPROM instead of the RAM")};
    QCommandLineOption noVerify{QStringLiteral("no-verify"),
                                QStringLiteral("write: do not read the set back to compare")};
    QCommandLineOption allowOutOfRange{
        QStringLiteral("allow-out-of-range"),
        QStringLiteral("write: also values the program's range check would replace")};
    QCommandLineOption frames{QStringLiteral("frames"),
                              QStringLiteral("capture: the number of frames or passes"),
                              QStringLiteral("N")};
    QCommandLineOption video{
        QStringLiteral("video"),
        QStringLiteral("capture, monitor: the Data loop's passes with the video signal, written "
                       "to <base>-video.csv beside --csv FILE (monitor: also published)")};
    QCommandLineOption csv{
        QStringLiteral("csv"),
        QStringLiteral(
            "capture: write the frames to FILE, not stdout; monitor: write them to FILE"),
        QStringLiteral("FILE")};
    QCommandLineOption publish{
        QStringLiteral("publish"),
        QStringLiteral("monitor: publish to the MQTT broker at URL, mqtt://[user@]host[:port] or "
                       "mqtts://... (TLS)"),
        QStringLiteral("URL")};
    QCommandLineOption name{
        QStringLiteral("name"),
        QStringLiteral("monitor --publish: the sensor's name on the broker (letters, "
                       "digits, - _ .); default <hostname>-<port's name>"),
        QStringLiteral("NAME")};
    QCommandLineOption events{
        QStringLiteral("events"),
        QStringLiteral("monitor: write the excursions and the line's changes to FILE (CSV)"),
        QStringLiteral("FILE")};
    QCommandLineOption frameEvery{
        QStringLiteral("frame-every"),
        QStringLiteral("monitor --publish: publish every Nth frame only (default 1: every frame)"),
        QStringLiteral("N")};
    QCommandLineOption onDelay{
        QStringLiteral("on-delay"),
        QStringLiteral("monitor: an excursion counts once Mvalue has been outside the band for "
                       "MS milliseconds (default 0)"),
        QStringLiteral("MS")};
    QCommandLineOption hysteresis{
        QStringLiteral("hysteresis"),
        QStringLiteral("monitor: an excursion ends once Mvalue is inside the band by more than N "
                       "pixels (default 0)"),
        QStringLiteral("N")};
    QCommandLineOption passwordFile{
        QStringLiteral("password-file"),
        QStringLiteral("monitor --publish: the password of the URL's user, the first line of FILE; "
                       "ignored without a user"),
        QStringLiteral("FILE")};
    QCommandLineOption allowOpenPasswordFile{
        QStringLiteral("allow-open-password-file"),
        QStringLiteral("monitor --publish: take a password file that group or others may "
                       "read (refused by default)")};
    QCommandLineOption caFile{
        QStringLiteral("cafile"),
        QStringLiteral("monitor --publish: the certificates that vouch for an mqtts:// broker"),
        QStringLiteral("FILE")};
};

// A whole number from `least` to `most`; false when the option's value is
// none.
bool numberOption(const QCommandLineParser &parser, const QCommandLineOption &option, int least,
                  int most, int *number) {
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < least || value > most)
        return false;
    *number = value;
    return true;
}

QString commandTable() {
    QString text = QStringLiteral("Commands:\n");
    for (const Command &command : commands()) {
        const QString head = QStringLiteral("%1 %2")
                                 .arg(QLatin1String(command.name), QLatin1String(command.arguments))
                                 .trimmed();
        text += QStringLiteral("  %1  %2\n").arg(head, -12).arg(QLatin1String(command.help));
    }
    text += QStringLiteral(
        "\nEvery 36-byte reply must begin with the header 0x00AA and echo the order sent.\n"
        "\nExit codes: 0 success (monitor: ended by SIGINT or SIGTERM); 1 the sensor failed (no "
        "reply, wrong header or order echo, "
        "short reply, failed verify) or its port cannot be opened, or the broker refused "
        "monitor's credentials, with the reason on stderr; 2 "
        "a bad command line or parameter file, before anything is sent, or an output file "
        "that fails during a capture.");
    return text;
}

int usageError(const QString &text) {
    complain(text);
    complain(QStringLiteral("see vexa-tb-ctl --help"));
    return ExitUsage;
}

// Options given that the command does not take.
QString foreignOption(const QCommandLineParser &parser, const Command &command) {
    for (const QString &name : parser.optionNames()) {
        const bool general = name == QLatin1String("port") || name == QLatin1String("com");
        if (!general && !command.options.contains(name))
            return name;
    }
    return {};
}

int run(QCommandLineParser &parser, const Options &options) {
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(options.help)) {
        std::fputs(parser.helpText().toUtf8().constData(), stdout);
        return ExitSuccess;
    }
    if (parser.isSet(options.version)) {
        std::printf("vexa-tb-ctl %s\n", VEXA_VERSION);
        return ExitSuccess;
    }

    QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const Command *command = findCommand(words.takeFirst());
    if (!command)
        return usageError(
            QStringLiteral("unknown command '%1'").arg(parser.positionalArguments()[0]));
    const int wanted = QLatin1String(command->arguments).isEmpty() ? 0 : 1;
    if (words.size() != wanted)
        return usageError(
            wanted ? QStringLiteral("%1 needs %2")
                         .arg(QLatin1String(command->name), QLatin1String(command->arguments))
                   : QStringLiteral("%1 takes no argument").arg(QLatin1String(command->name)));
    if (const QString option = foreignOption(parser, *command); !option.isEmpty())
        return usageError(
            QStringLiteral("%1 does not take --%2").arg(QLatin1String(command->name), option));

    Invocation how;
    how.arguments = words;
    const qsizetype ports = parser.values(options.port).size() + parser.values(options.com).size();
    if (ports == 0)
        return usageError(QStringLiteral("give the sensor's port: --port DEVICE or --com N"));
    if (ports > 1)
        return usageError(QStringLiteral("give the sensor's port once: one --port DEVICE or one "
                                         "--com N"));
    for (const QCommandLineOption *once :
         {&options.frames, &options.csv, &options.publish, &options.name, &options.events,
          &options.frameEvery, &options.onDelay, &options.hysteresis, &options.passwordFile,
          &options.caFile})
        if (parser.values(*once).size() > 1)
            return usageError(QStringLiteral("--%1 given more than once").arg(once->names()[0]));
    if (parser.isSet(options.port)) {
        how.port.device = parser.value(options.port);
        if (how.port.device.isEmpty())
            return usageError(QStringLiteral("--port needs a device"));
    } else {
        bool ok = false;
        how.port.number = parser.value(options.com).toInt(&ok);
        if (!ok || how.port.number < 1 || how.port.number > 16)
            return usageError(QStringLiteral("--com takes a number from 1 to 16"));
    }
    how.eeprom = parser.isSet(options.eeprom);
    how.verify = !parser.isSet(options.noVerify);
    how.allowOutOfRange = parser.isSet(options.allowOutOfRange);
    how.video = parser.isSet(options.video);
    how.csvPath = parser.value(options.csv);
    how.publishUrl = parser.value(options.publish);
    how.name = parser.value(options.name);
    how.eventsPath = parser.value(options.events);
    how.passwordFile = parser.value(options.passwordFile);
    how.caFile = parser.value(options.caFile);
    how.allowOpenPasswordFile = parser.isSet(options.allowOpenPasswordFile);
    struct Range {
        const QCommandLineOption &option;
        int least, most;
        int *number;
    };
    for (const Range &range : {Range{options.frameEvery, 1, 1000000, &how.frameEvery},
                               Range{options.onDelay, 0, 86400000, &how.onDelayMs},
                               Range{options.hysteresis, 0, 1023, &how.hysteresis}})
        if (!numberOption(parser, range.option, range.least, range.most, range.number))
            return usageError(QStringLiteral("--%1 takes a number from %2 to %3")
                                  .arg(range.option.names()[0])
                                  .arg(range.least)
                                  .arg(range.most));
    if (QLatin1String(command->name) == QLatin1String("capture")) {
        bool ok = false;
        how.frames = parser.value(options.frames).toInt(&ok);
        if (!ok || how.frames < 1)
            return usageError(QStringLiteral("capture needs --frames N, N at least 1"));
    }
    return command->run(how);
}

} // namespace

int main(int argc, char *argv[]) {
    InitConsoleRTE(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vexa-tb-ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEXA_VERSION));

    const Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Talks to a V-EXA-TB edge sensor over RS-232 without a window, with the "
                       "exchanges, waits and texts of vexa-tb-scope.\n\n") +
        commandTable());
    parser.addOption(options.help);
    parser.addOption(options.version);
    parser.addOptions({options.port, options.com, options.eeprom, options.noVerify,
                       options.allowOutOfRange, options.frames, options.video, options.csv,
                       options.publish, options.name, options.events, options.frameEvery,
                       options.onDelay, options.hysteresis, options.passwordFile,
                       options.allowOpenPasswordFile, options.caFile});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("one of the commands above"),
                                 QStringLiteral("(--port DEVICE | --com N) COMMAND [FILE]"));
    const int code = run(parser, options);
    CloseCVIRTE();
    return code;
}
