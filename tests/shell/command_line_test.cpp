// The command line: what is taken, what is refused (usage on stderr, exit
// code 255, no port opened), and the two start-up failures a user meets
// first: no display, and a serial device they may not use.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "sim/scripted_sensor.h"

namespace {

CommandLine Parse(std::vector<const char *> args) {
    args.insert(args.begin(), "vexa-tb-scope");
    return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, TakesEveryOptionInEachSpelling) {
    const CommandLine line =
        Parse({"--com", "1=/dev/ttyUSB0", "--com=16=/dev/pts/3", "--screenshot", "a.png",
               "-platform", "offscreen", "--style", "x", "-display", ":1", "--reverse"});
    EXPECT_EQ(line.error, "");
    const std::vector<std::pair<int, std::string>> com{{1, "/dev/ttyUSB0"}, {16, "/dev/pts/3"}};
    EXPECT_EQ(line.comDevices, com);
    EXPECT_EQ(line.screenshotFile, "a.png");
    const std::vector<std::string> toolkit{"vexa-tb-scope", "-platform", "offscreen",
                                           "-display",      ":1",        "--reverse"};
    EXPECT_EQ(Parse({"-platform", "offscreen", "-display", ":1", "--reverse"}).toolkitArgs,
              toolkit);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(CommandLine, RefusesWhatItDoesNotKnowOrCannotUse) {
    const struct {
        std::vector<const char *> args;
        const char *error;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"stray"}, "unknown option 'stray'"},
        {{"-platform=offscreen"}, "unknown option '-platform=offscreen'"},
        {{"--platform=offscreen"}, "unknown option '--platform=offscreen'"},
        {{"--com"}, "option '--com' needs a value (N=DEVICE)"},
        {{"--screenshot"}, "option '--screenshot' needs a value (FILE)"},
        {{"-platform"}, "option '-platform' needs a value (NAME)"},
        {{"--com", "x"}, "invalid --com value 'x' (expected N=DEVICE with N from 1 to 16)"},
        {{"--com", "1x=/dev/ttyS0"},
         "invalid --com value '1x=/dev/ttyS0' (expected N=DEVICE with N from 1 to 16)"},
        {{"--com", "0=/dev/ttyS0"},
         "invalid --com value '0=/dev/ttyS0' (expected N=DEVICE with N from 1 to 16)"},
        {{"--com", "17=/dev/ttyS0"},
         "invalid --com value '17=/dev/ttyS0' (expected N=DEVICE with N from 1 to 16)"},
        {{"--com", "2="}, "invalid --com value '2=' (expected N=DEVICE with N from 1 to 16)"},
        {{"--screenshot", "a", "--screenshot=b"}, "option '--screenshot' given more than once"},
        {{"--help=yes"}, "option '--help' takes no value"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Parse(c.args).error, c.error) << c.args.front();
}

TEST(CommandLine, UsageListsEveryOption) {
    const std::string usage = UsageText("vexa-tb-scope");
    for (const char *option : {"--com N=DEVICE", "--screenshot FILE", "--help, -h", "--version",
                               "-platform NAME", "-display DISPLAY", "-style STYLE"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

struct ProgramRun {
    int exitCode;
    QString out;
    QString err;
};

ProgramRun RunProgram(const QStringList &args, const QProcessEnvironment &env,
                      const QString &program = QStringLiteral(VEXA_PROGRAM)) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QProcessEnvironment Offscreen() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

TEST(ProgramCommandLine, HelpAndVersionAnswerOnStdoutAndEnd) {
    ProgramRun run = RunProgram({QStringLiteral("--help")}, Offscreen());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: "))) << run.out.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    run = RunProgram({QStringLiteral("--version")}, Offscreen());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("V-EXA-TB-Scope 1.41\n"));
}

TEST(ProgramCommandLine, ARefusedLineShowsUsageEndsWith255AndOpensNoPort) {
    sim::ScriptedSensor sensor;
    const QString port = QStringLiteral("1=") + sensor.slavePath().c_str();
    const std::vector<QStringList> refused = {
        {"--com", port, "--bogus"},
        {"--com", port, "--com"},
        {"--com", port, "--screenshot", "a.png", "--screenshot", "b.png"},
    };
    for (const QStringList &args : refused) {
        const ProgramRun run = RunProgram(args, Offscreen());
        EXPECT_EQ(run.exitCode, 255) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Usage: "))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(sensor.receivedBytes().empty());
}

TEST(ProgramCommandLine, WithoutADisplayOneLineSaysSoAndTheExitCodeIs255) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const ProgramRun run =
        RunProgram({QStringLiteral("--com"), QStringLiteral("1=/nonexistent")}, env);
    EXPECT_EQ(run.exitCode, 255);
    const QStringList lines = run.err.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 1) << run.err.toStdString();
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("vexa-tb-scope: cannot open a display (")))
        << run.err.toStdString();
    // The reason given is the toolkit's word on the display, not its last gasp.
    EXPECT_TRUE(lines.front().contains(QStringLiteral("display)"))) << run.err.toStdString();
}

TEST(ProgramCommandLine, TheToolkitsStartMessagesStillReachStderr) {
    QTemporaryDir dir;
    const ProgramRun run =
        RunProgram({QStringLiteral("--com"), QStringLiteral("1=/nonexistent"),
                    QStringLiteral("-style"), QStringLiteral("NoSuchStyle"),
                    QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("shot.png"))},
                   Offscreen());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("NoSuchStyle"))) << run.err.toStdString();
}

// The device is the sensor's pseudo-terminal with every permission taken
// away; root, who may open it anyway, runs the program as nobody.
TEST(ProgramCommandLine, APortWithoutPermissionSaysWhyAndWhatHelps) {
    sim::ScriptedSensor sensor;
    const char *slave = sensor.slavePath().c_str();
    ASSERT_EQ(::chmod(slave, 0), 0);
    if (const group *dialout = ::getgrnam("dialout"); dialout && ::geteuid() == 0) {
        ASSERT_EQ(::chown(slave, 0, dialout->gr_gid), 0);
    }
    struct stat info {};
    ASSERT_EQ(::stat(slave, &info), 0);
    const group *owner = info.st_gid != 0 ? ::getgrgid(info.st_gid) : nullptr;
    const QString remedy =
        owner ? QStringLiteral(
                    "add your user to the %1 group (sudo adduser $USER %1) and log in again")
                    .arg(QString::fromLocal8Bit(owner->gr_name))
              : QStringLiteral("ask an administrator for read and write access to it");
    // The program runs from a copy that nobody may read, wherever the build lies.
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    QString program = dir.filePath(QStringLiteral("vexa-tb-scope"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VEXA_PROGRAM), program));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VEXA_PANEL_FILE_PATH),
                            dir.filePath(QStringLiteral("VexaTBScope14.uir"))));
    QStringList args = {QStringLiteral("--com"), QStringLiteral("1=") + sensor.slavePath().c_str(),
                        QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("shot.png"))};
    QProcessEnvironment env = Offscreen();
    if (::geteuid() == 0) {
        args = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                           QStringLiteral("--clear-groups"), program} +
               args;
        program = QStringLiteral("setpriv");
        env.insert(QStringLiteral("HOME"), dir.path());
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    }
    const ProgramRun run = RunProgram(args, env, program);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("vexa-tb-scope: COM1: Permission denied on %1: %2\n")
                             .arg(QString::fromLocal8Bit(slave), remedy)))
        << run.err.toStdString();
    EXPECT_TRUE(sensor.receivedBytes().empty());
}

} // namespace
