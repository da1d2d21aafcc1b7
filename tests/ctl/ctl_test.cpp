// vexa-tb-ctl run as a process against the scripted sensor on a
// pseudo-terminal: the bytes each command sends, what it prints, and its exit
// code for every kind of failure.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "record/frame_csv.h"
#include "sim/protocol.h"
#include "sim/replay_description.h"
#include "sim/replay_file.h"
#include "sim/scripted_sensor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Requests = std::vector<sim::Telegram>;

// The window's start values: what requests carry where no set is written.
const sim::Words kStart{500, 0, 512, 64, 1, 1, 1, 1024, 512, 100, 1, 1, 0, 1, 0, 1000};
const sim::Words kSensorSet{800, 1, 600, 70, 0, 2, 10, 900, 400, 50, 0, 0, 0, 200, 2, 1100};

constexpr const char *kSetFileText = " 800\n   1\n 600\n  70\n   0\n   2\n  10\n 900\n 400\n"
                                     "  50\n   0\n   0\n   0\n 200\n   2\n1100\n";

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

sim::Words WithWord(sim::Words words, std::size_t i, std::uint16_t value) {
    words[i] = value;
    return words;
}

// Firmware reply: "V1" and a zero, in the low bytes of 36 words.
// The firmware text, a character in the low byte of each word, ended by 0.
Bytes FirmwareReply(std::size_t length = 72, const char *text = "V1") {
    std::vector<std::uint16_t> words(36, 0x4141);
    std::size_t i = 0;
    for (; text[i]; ++i)
        words[i] = static_cast<unsigned char>(text[i]);
    words[i] = 0x0000;
    Bytes bytes = sim::wordsToBytes(words);
    bytes.resize(length);
    return bytes;
}

class Ctl : public testing::Test {
  protected:
    // The tool on the scripted sensor's port.
    Outcome ctl(const QStringList &arguments) {
        return ctlWithoutPort(
            QStringList{QStringLiteral("--port"), QString::fromStdString(sensor.slavePath())} +
            arguments);
    }
    Outcome ctlWithoutPort(const QStringList &arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        if (!stdoutFile.isEmpty())
            process.setStandardOutputFile(stdoutFile);
        if (fileSizeLimit) {
            // A full disk after `fileSizeLimit` bytes of any file: write() fails with EFBIG.
            process.setChildProcessModifier([limit = fileSizeLimit] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit small{limit, limit};
                setrlimit(RLIMIT_FSIZE, &small);
            });
        }
        process.start(QStringLiteral(VEXA_APP_DIR "/vexa-tb-ctl"), arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        Outcome run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput().toStdString();
        run.err = process.readAllStandardError().toStdString();
        return run;
    }
    Requests requests() {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return sensor.requests();
    }
    QString writeFile(const char *name, const QByteArray &text) {
        const QString path = dir.filePath(QLatin1String(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }

    sim::ScriptedSensor sensor;
    QTemporaryDir dir;
    QString stdoutFile;     // empty: read from the pipe
    rlim_t fileSizeLimit{}; // 0: none
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

// ---- what each command sends and prints ----------------------------------------

// The firmware text comes in Windows-1252: 0x80 is the euro sign.
TEST_F(Ctl, InfoChecksTheLineThenPrintsFirmwareAndCcd) {
    sensor.script(sim::order::Echo, sim::makeReply(5, kStart));
    sensor.script(sim::order::Firmware, FirmwareReply(72, "V1 \x80 caf\xe9"));
    sensor.script(sim::order::CcdInfo, sim::makeReply(10, {3, 512, 250}));
    const Outcome run = ctl({QStringLiteral("info")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "firmware: V1 \u20ac caf\u00e9\n"
              "ccd: CCD-SENSOR: 512 pixel; 25\xC2\xB5m pixel-pitch, 12,8mm working range\n");
    // After the echo, pp holds its reply with the header word in word 0.
    const sim::Words afterEcho = WithWord(kStart, 0, 0x00AA);
    EXPECT_EQ(requests(), (Requests{sim::makeRequest(5, kStart), sim::makeRequest(7, afterEcho),
                                    sim::makeRequest(10, afterEcho)}));
}

// The adapter's latency timer comes from a sysfs tree of the test's own,
// under the name of the device behind the port (/dev/pts/N: N).
TEST_F(Ctl, InfoNamesAnAdapterWhoseLatencyStaysAboveTwoMs) {
    sensor.script(sim::order::Echo, sim::makeReply(5, kStart));
    sensor.script(sim::order::Firmware, FirmwareReply());
    sensor.script(sim::order::CcdInfo, sim::makeReply(10, {3, 512, 250}));
    const QString name = QFileInfo(QString::fromStdString(sensor.slavePath())).fileName();
    const QString dir = this->dir.filePath(QStringLiteral("class/tty/%1/device").arg(name));
    ASSERT_TRUE(QDir().mkpath(dir));
    environment.insert(QStringLiteral("VEXA_SYSFS_ROOT"), this->dir.path());
    for (const auto &[ms, line] :
         {std::pair{"16", "adapter latency: 16 ms \u2014 see README\n"}, std::pair{"1", ""}}) {
        QFile timer(dir + QStringLiteral("/latency_timer"));
        ASSERT_TRUE(timer.open(QIODevice::WriteOnly));
        timer.write(ms);
        timer.close();
        const Outcome run = ctl({QStringLiteral("info")});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, std::string("firmware: V1\n"
                                       "ccd: CCD-SENSOR: 512 pixel; 25\xC2\xB5m pixel-pitch, "
                                       "12,8mm working range\n") +
                               line)
            << ms << " ms";
    }
}

struct ReadCase {
    const char *option;
    std::uint16_t order;
};

void PrintTo(const ReadCase &c, std::ostream *out) {
    *out << "order " << c.order;
}

class ReadCommand : public Ctl, public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadCommand, PrintsTheSetAsTheSensorHoldsItInTheFileFormat) {
    const sim::Words held = WithWord(kSensorSet, 0, 9999); // out of range: printed as it is
    sensor.script(sim::order::Echo, sim::makeReply(5, kStart));
    sensor.script(GetParam().order, sim::makeReply(GetParam().order, held));
    QStringList arguments{QStringLiteral("read")};
    if (*GetParam().option)
        arguments << QLatin1String(GetParam().option);
    const Outcome run = ctl(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, std::string("9999") + (kSetFileText + 4));
    EXPECT_EQ(requests(),
              (Requests{sim::makeRequest(5, kStart), sim::makeRequest(GetParam().order, kStart)}));
}

INSTANTIATE_TEST_SUITE_P(RamAndEeprom, ReadCommand,
                         testing::Values(ReadCase{"", 2}, ReadCase{"--eeprom", 4}));

TEST_F(Ctl, WriteSendsTheFileAndReadsItBack) {
    sensor.script(sim::order::Echo, sim::makeReply(5, kStart));
    sensor.script(sim::order::ReadEeprom, sim::makeReply(4, kSensorSet));
    const Outcome run = ctl(
        {QStringLiteral("write"), writeFile("set.dat", kSetFileText), QStringLiteral("--eeprom")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(requests(), (Requests{sim::makeRequest(5, kStart), sim::makeRequest(3, kSensorSet),
                                    sim::makeRequest(4, kStart)}));
}

TEST_F(Ctl, WriteWithoutVerifyReadsNothingBack) {
    sensor.script(sim::order::Echo, sim::makeReply(5, kStart));
    const Outcome run = ctl({QStringLiteral("write"), writeFile("set.dat", kSetFileText),
                             QStringLiteral("--no-verify")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(requests(), (Requests{sim::makeRequest(5, kStart), sim::makeRequest(1, kSensorSet)}));
}

TEST_F(Ctl, AllowOutOfRangeWritesTheValuesTheWindowWouldReplace) {
    sim::Words outside = WithWord(kSensorSet, 2, 2000); // vThd above 1023
    outside[15] = 99;                                   // para15 below 800
    sensor.script(sim::order::Echo, sim::makeReply(5, kStart));
    sensor.script(sim::order::ReadRam, sim::makeReply(2, outside));
    const Outcome run =
        ctl({QStringLiteral("write"),
             writeFile("set.dat", "800 1 2000 70 0 2 10 900 400 50 0 0 0 200 2 99\n"),
             QStringLiteral("--allow-out-of-range")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(requests(), (Requests{sim::makeRequest(5, kStart), sim::makeRequest(1, outside),
                                    sim::makeRequest(2, kStart)}));
}

TEST_F(Ctl, AFailedVerifyNamesTheParametersThatDiffer) {
    sensor.script(sim::order::Echo, sim::makeReply(5, kStart));
    sensor.script(sim::order::ReadRam, sim::makeReply(2, WithWord(kSensorSet, 3, 71)));
    const Outcome run = ctl({QStringLiteral("write"), writeFile("set.dat", kSetFileText)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bVal: written 70, the sensor holds 71"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("power"), std::string::npos);
}

TEST_F(Ctl, TeachPrintsTheNewTeachValueReadBackFromRam) {
    sensor.script(sim::order::Teach, sim::makeReply(6, kSensorSet));
    sensor.script(sim::order::ReadRam, sim::makeReply(2, WithWord(kSensorSet, 8, 432)));
    const Outcome run = ctl({QStringLiteral("teach")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "tVal: 432\n");
    EXPECT_EQ(requests(), (Requests{sim::makeRequest(6, kStart), sim::makeRequest(2, kStart)}));
}

TEST_F(Ctl, ResetSendsOrder11AndWaitsForTheReply) {
    sensor.script(sim::order::ResetMaxMin, sim::makeReply(11));
    const Outcome run = ctl({QStringLiteral("reset")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(requests(), (Requests{sim::makeRequest(11, kStart)}));
}

TEST_F(Ctl, CaptureWritesOneCsvLinePerFrameAndSendsTheSensorsTeachValueBack) {
    const sim::Words frame{100, 200, 150, 432, 55, 1, 2, 10, 20, 100, 700, 30, 7};
    sensor.script(sim::order::Frame, sim::makeReply(8, frame));
    const Outcome run =
        ctl({QStringLiteral("capture"), QStringLiteral("--frames"), QStringLiteral("2")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const QStringList lines = QString::fromStdString(run.out).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4); // header, two frames, the end of the last line
    EXPECT_EQ(lines[0].toStdString(), record::frameHeader());
    const QRegularExpression line(QStringLiteral(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3},100,200,150,432,55,1,2,10,20,100,700,30,7$)"));
    EXPECT_TRUE(line.match(lines[1]).hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(line.match(lines[2]).hasMatch()) << lines[2].toStdString();
    sim::Words second = WithWord(kStart, 8, 432);
    second[9] = 55;
    EXPECT_EQ(requests(), (Requests{sim::makeRequest(8, kStart), sim::makeRequest(8, second)}));
}

TEST_F(Ctl, CaptureWithVideoWritesTheVideoPassBesideTheCsv) {
    sensor.script(sim::order::Firmware, FirmwareReply());
    sensor.script(sim::order::ReadRam, sim::makeReply(2, kSensorSet)); // ccdMode 0: whole line
    sensor.script(sim::order::CcdInfo, sim::makeReply(10, {1, 1024, 250}));
    sensor.script(sim::order::Frame,
                  sim::makeReply(8, {100, 200, 150, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}));
    std::vector<std::uint16_t> block(64);
    for (std::size_t i = 0; i < block.size(); i++)
        block[i] = static_cast<std::uint16_t>(i);
    sensor.script(sim::order::Video, sim::wordsToBytes(block));
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    const Outcome run =
        ctl({QStringLiteral("capture"), QStringLiteral("--frames"), QStringLiteral("1"),
             QStringLiteral("--video"), QStringLiteral("--csv"), csv});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    QFile frames(csv);
    ASSERT_TRUE(frames.open(QIODevice::ReadOnly));
    EXPECT_TRUE(frames.readAll().endsWith(",7\n")); // in0 as the sensor sent it
    QFile video(dir.filePath(QStringLiteral("run-video.csv")));
    ASSERT_TRUE(video.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = video.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].toStdString(), record::videoHeader());
    const QList<QByteArray> cells = lines[1].split(',');
    ASSERT_EQ(cells.size(), 513);
    EXPECT_EQ(cells[2], "4");        // x1: every fourth pixel of 1024
    EXPECT_EQ(cells[256], "1020");   // x255
    EXPECT_EQ(cells[257 + 65], "1"); // y65: sample 1 of the second block
    const Requests sent = requests();
    ASSERT_EQ(sent.size(), 8u); // firmware, RAM, CCD info, then the pass
    EXPECT_EQ(sent[4], sim::makeRequest(9, {0, 0}));
    EXPECT_EQ(sent[7], sim::makeRequest(9, {192, 1}));
}

// The description beside the file, as the window's recording writes it, and
// as vexa-sim --replay reads it back.
TEST_F(Ctl, CaptureToAFileDescribesTheSensorBesideIt) {
    sensor.script(sim::order::Firmware, FirmwareReply());
    sensor.script(sim::order::ReadRam, sim::makeReply(2, kSensorSet));
    sensor.script(sim::order::CcdInfo, sim::makeReply(10, {7, 1024, 250}));
    sensor.script(sim::order::Frame, sim::makeReply(8, {100, 200, 150}));
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    const Outcome run = ctl({QStringLiteral("capture"), QStringLiteral("--frames"),
                             QStringLiteral("3"), QStringLiteral("--csv"), csv});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    QFile file(dir.filePath(QStringLiteral("run.json")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject d = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(d["program"].toString(), "vexa-tb-ctl");
    EXPECT_EQ(d["port"].toString().toStdString(), sensor.slavePath());
    EXPECT_EQ(d["firmware"].toString(), "V1");
    const QJsonObject ccd = d["ccd"].toObject();
    EXPECT_EQ(ccd["description"].toString(), "CCD-SENSOR: no information avialable!");
    EXPECT_EQ(ccd["type"].toInt(), 7);
    EXPECT_TRUE(ccd["mmPerPixel"].isNull());
    EXPECT_EQ(d["parameters"].toObject()["vThd"].toInt(), kSensorSet[2]);
    EXPECT_EQ(d["parameters"].toObject()["para15"].toInt(), kSensorSet[15]);
    EXPECT_EQ(d["frames"].toInt(), 3);
    EXPECT_FALSE(d["end"].toString().isEmpty());
    std::string problem;
    const auto replayed = sim::loadReplayDescription(csv.toStdString(), problem);
    ASSERT_TRUE(replayed) << problem;
    EXPECT_EQ(replayed->firmware, "V1");
    EXPECT_EQ(replayed->ccdType, 7);
    EXPECT_EQ(replayed->pixels, 1024);
    EXPECT_EQ(replayed->resolution, 250);
}

// ---- a full disk during a capture ------------------------------------------------

struct FullDiskCase {
    const char *name;
    bool video;
    bool toStdout;      // the frames to stdout, redirected to the file
    const char *device; // stdout to this device instead of a file
    const char *reason;
};

void PrintTo(const FullDiskCase &c, std::ostream *out) {
    *out << c.name;
}

class FullDisk : public Ctl, public testing::WithParamInterface<FullDiskCase> {};

// The file size limit lets the header and one and a half lines through: the
// file keeps whole lines only, vexa-sim --replay takes it, and the message
// says why the capture ended.
TEST_P(FullDisk, CutsTheFileBackToItsLastWholeLineAndSaysWhy) {
    const FullDiskCase &c = GetParam();
    const sim::Words words{100, 200, 150, 432, 55, 1, 2, 10, 20, 100, 700, 30, 7};
    record::FrameValues frame{};
    std::copy_n(words.begin(), frame.size(), frame.begin());
    sensor.script(sim::order::Frame, sim::makeReply(8, words));
    sensor.script(sim::order::Firmware, FirmwareReply());
    sensor.script(sim::order::ReadRam, sim::makeReply(2, kSensorSet)); // the whole line
    sensor.script(sim::order::CcdInfo, sim::makeReply(10, {1, 1024, 250}));
    std::vector<std::uint16_t> block(64), x(256), y(256);
    for (std::size_t i = 0; i < 256; i++) {
        x[i] = static_cast<std::uint16_t>(4 * i);
        y[i] = block[i % 64] = static_cast<std::uint16_t>(i % 64);
    }
    sensor.script(sim::order::Video, sim::wordsToBytes(block));
    const std::string time = "2026-12-07T13:05:01.123";
    std::string line;
    c.video ? record::appendVideoLine(line, time, x.data(), y.data())
            : record::appendFrameLine(line, time, frame);
    const std::string header = (c.video ? record::videoHeader() : record::frameHeader()) + "\n";
    fileSizeLimit = header.size() + line.size() * 3 / 2;

    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    QStringList arguments{QStringLiteral("capture"), QStringLiteral("--frames"),
                          QStringLiteral("4")};
    if (c.toStdout)
        stdoutFile = c.device ? QString::fromLatin1(c.device) : csv;
    else
        arguments << QStringLiteral("--csv") << csv;
    if (c.video)
        arguments << QStringLiteral("--video");
    const Outcome run = ctl(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    if (c.device)
        return;
    // The description is whole (the limit lets a video line's size through)
    // or, said on stderr, absent, with no file of its own left beside it.
    const QStringList described =
        QDir(dir.path()).entryList({QStringLiteral("run.json*")}, QDir::Files | QDir::Hidden);
    QFile json(dir.filePath(QStringLiteral("run.json")));
    EXPECT_EQ(described, json.open(QIODevice::ReadOnly) ? QStringList{"run.json"} : QStringList{});
    EXPECT_EQ(json.isOpen(), json.isOpen() && !QJsonDocument::fromJson(json.readAll()).isNull());
    EXPECT_EQ(run.err.find("run.json: File too large") != std::string::npos,
              !c.toStdout && !json.isOpen());
    const QString written = c.video ? dir.filePath(QStringLiteral("run-video.csv")) : csv;
    QFile file(written);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), static_cast<qint64>(header.size() + line.size()));
    sim::Replay replay;
    std::string problem;
    EXPECT_TRUE(sim::loadReplay(csv.toStdString(), replay, problem)) << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FullDisk,
    testing::Values(FullDiskCase{"FramesFile", false, false, nullptr, "run.csv: File too large"},
                    FullDiskCase{"VideoFile", true, false, nullptr,
                                 "run-video.csv: File too large"},
                    FullDiskCase{"StdoutToAFile", false, true, nullptr, "stdout: File too large"},
                    FullDiskCase{"StdoutToAFullDevice", false, true, "/dev/full",
                                 "stdout: No space left on device"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- failures: exit code and message ---------------------------------------------

struct FailureCase {
    const char *name;
    std::vector<const char *> arguments;
    std::uint16_t scriptedOrder; // 0: none
    Bytes reply;
    int exitCode;
    const char *message;
    bool lineSilent;       // nothing may reach the sensor
    std::string file = {}; // the text of the FILE in `arguments`
};

// Test names and failure messages show the case by its name, not its bytes.
void PrintTo(const FailureCase &c, std::ostream *out) {
    *out << c.name;
}

const Bytes kEcho = sim::makeReply(5);

// 36 bytes of noise, as a line with the wrong device on it brings.
Bytes Noise() {
    Bytes bytes(36);
    std::uint32_t state = 12345;
    for (auto &b : bytes)
        b = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 16);
    return bytes;
}

std::vector<FailureCase> FailureCases() {
    return {
        {"SilentSensor", {"read"}, 0, {}, 1, "Timeout-RS-232...", false},
        {"WrongHeader",
         {"info"},
         5,
         sim::makeReply(5, {}, 0x0055),
         1,
         "read error - not sync byte 0xAA!",
         false},
        {"FirmwareReplyTooLong",
         {"info"},
         7,
         FirmwareReply(73),
         1,
         "Error reading firmware-info!",
         false},
        {"SilentReset", {"reset"}, 0, {}, 1, "Timeout-RS-232...", false},
        {"SilentTeach", {"teach"}, 0, {}, 1, "Timeout-RS-232...", false},
        {"SilentFrame", {"capture", "--frames", "1"}, 0, {}, 1, "Timeout RS232-Line!", false},
        {"MissingFile",
         {"write", "/nonexistent/set.dat"},
         0,
         {},
         2,
         "Cannot read parameter file! (/nonexistent/set.dat: No such file or directory)",
         true},
        {"MalformedNumber",
         {"write", "FILE"},
         0,
         {},
         2,
         "line 2: 12x is not an unsigned number (rs232Mode)",
         true,
         "500\n12x\n"},
        // A FIFO would block the open, a device hand out data for ever.
        {"DeviceAsFile",
         {"write", "/dev/null"},
         0,
         {},
         2,
         "Cannot read parameter file! (/dev/null: not a regular file)",
         true},
        {"NumberOverSixteenBits",
         {"write", "FILE"},
         0,
         {},
         2,
         "line 3: vThd 99999 does not fit 16 bits",
         true,
         "1\n0\n99999\n"},
        {"SeventeenNumbers",
         {"write", "FILE"},
         0,
         {},
         2,
         "line 17: more than sixteen numbers",
         true,
         std::string(kSetFileText) + "7\n"},
        {"ValueOutOfRange",
         {"write", "FILE"},
         0,
         {},
         2,
         "vThd 2000 lies outside the program's range 0-1023",
         true,
         "800\n1\n2000\n70\n0\n2\n10\n900\n400\n50\n0\n0\n0\n200\n2\n1100\n"},
        {"ReadWithWrongHeader",
         {"read"},
         2,
         sim::makeReply(2, kSensorSet, 0x0055),
         1,
         "not sync byte 0xAA! (the reply to order 2 begins with 0x0055)",
         false},
        {"ReadWithWrongEcho",
         {"read"},
         2,
         sim::makeReply(3, kSensorSet),
         1,
         "echoes order 3",
         false},
        {"ReadOfNoise", {"read"}, 2, Noise(), 1, "the reply to order 2", false},
        {"EchoWithWrongEcho", {"read"}, 5, sim::makeReply(6), 1, "echoes order 6", false},
        {"TeachWithWrongEcho", {"teach"}, 6, sim::makeReply(7), 1, "echoes order 7", false},
        {"ResetWithWrongHeader",
         {"reset"},
         11,
         sim::makeReply(11, {}, 0x0055),
         1,
         "not sync byte 0xAA!",
         false},
        {"FrameOfNoise",
         {"capture", "--frames", "1"},
         8,
         Noise(),
         1,
         "the reply to order 8",
         false},
        {"TwoPorts",
         {"--port", "/dev/null", "read"},
         0,
         {},
         2,
         "give the sensor's port once",
         true},
        {"PortAndCom", {"--com", "2", "read"}, 0, {}, 2, "give the sensor's port once", true},
        {"UnknownOption", {"read", "--bogus"}, 0, {}, 2, "Unknown option 'bogus'", true},
        {"OptionOfAnotherCommand",
         {"read", "--frames", "3"},
         0,
         {},
         2,
         "read does not take --frames",
         true},
        {"UnknownCommand", {"fetch"}, 0, {}, 2, "unknown command 'fetch'", true},
        {"MissingFrames", {"capture"}, 0, {}, 2, "capture needs --frames N", true},
        {"VideoWithoutCsv",
         {"capture", "--frames", "1", "--video"},
         0,
         {},
         2,
         "capture --video needs --csv FILE",
         true},
        {"ExtraArgument", {"read", "x"}, 0, {}, 2, "read takes no argument", true},
    };
}

class Failure : public Ctl, public testing::WithParamInterface<FailureCase> {};

TEST_P(Failure, EndsWithItsExitCodeAndSaysWhy) {
    const FailureCase &c = GetParam();
    sensor.script(sim::order::Echo, kEcho);
    if (c.scriptedOrder)
        sensor.script(c.scriptedOrder, c.reply);
    QStringList arguments;
    for (const char *a : c.arguments)
        arguments << (std::string(a) == "FILE" ? writeFile("set.dat", c.file.c_str())
                                               : QString::fromLatin1(a));
    const Outcome run = ctl(arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    // Nothing taken from a failed exchange: no set, no firmware, no frame line.
    EXPECT_TRUE(run.out.empty() || run.out == record::frameHeader() + "\n") << run.out;
    if (c.lineSilent) {
        EXPECT_TRUE(sensor.receivedBytes().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Failure, testing::ValuesIn(FailureCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- short replies: every command against a sensor that answers one order short --

struct ShortCase {
    const char *name;
    std::vector<const char *> arguments;
    std::uint16_t cutOrder; // answers with its first `kept` bytes only
    std::size_t kept;
    const char *message;
    const char *out = ""; // printed from the exchanges before the short one
};

void PrintTo(const ShortCase &c, std::ostream *out) {
    *out << c.name;
}

class ShortReply : public Ctl, public testing::WithParamInterface<ShortCase> {};

// Every other order answers whole; the cut one its first bytes. Nothing of a
// short reply is taken: exit code 1, the reason, no output of it. (A write
// waits for no reply of its own; its read-back is the verify.)
TEST_P(ShortReply, EndsWithExitCodeOneAndSaysWhy) {
    const ShortCase &c = GetParam();
    std::vector<std::uint16_t> block(64, 5);
    const std::pair<std::uint16_t, Bytes> full[] = {
        {sim::order::Echo, kEcho},
        {sim::order::WriteRam, sim::makeReply(1, kSensorSet)},
        {sim::order::ReadRam, sim::makeReply(2, kSensorSet)},
        {sim::order::ReadEeprom, sim::makeReply(4, kSensorSet)},
        {sim::order::Teach, sim::makeReply(6, kSensorSet)},
        {sim::order::Firmware, FirmwareReply()},
        {sim::order::Frame, sim::makeReply(8, {100, 200, 150, 432, 55})},
        {sim::order::Video, sim::wordsToBytes(block)},
        {sim::order::CcdInfo, sim::makeReply(10, {1, 1024, 250})},
        {sim::order::ResetMaxMin, sim::makeReply(11)}};
    for (const auto &[order, reply] : full)
        sensor.script(order,
                      order == c.cutOrder ? Bytes(reply.begin(), reply.begin() + c.kept) : reply);
    QStringList arguments;
    for (const char *a : c.arguments)
        arguments << (std::string(a) == "FILE"  ? writeFile("set.dat", kSetFileText)
                      : std::string(a) == "CSV" ? dir.filePath(QStringLiteral("run.csv"))
                                                : QString::fromLatin1(a));
    const Outcome run = ctl(arguments);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_TRUE(run.out == c.out || run.out == record::frameHeader() + "\n") << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, ShortReply,
    testing::Values(ShortCase{"InfoEcho", {"info"}, 5, 35, "Timeout-RS-232..."},
                    ShortCase{"InfoFirmware", {"info"}, 7, 71, "Timeout - reading firmware info!"},
                    ShortCase{"InfoCcd", {"info"}, 10, 20, "Timeout-RS-232...", "firmware: V1\n"},
                    ShortCase{"Read", {"read"}, 2, 35, "Timeout-RS-232..."},
                    ShortCase{"ReadEeprom", {"read", "--eeprom"}, 4, 1, "Timeout-RS-232..."},
                    ShortCase{"WriteVerify", {"write", "FILE"}, 2, 18, "Timeout-RS-232..."},
                    ShortCase{"Teach", {"teach"}, 6, 35, "Timeout-RS-232..."},
                    ShortCase{"TeachReadBack", {"teach"}, 2, 35, "Timeout-RS-232..."},
                    ShortCase{"Reset", {"reset"}, 11, 35, "Timeout-RS-232..."},
                    ShortCase{
                        "CaptureFrame", {"capture", "--frames", "1"}, 8, 35, "Timeout RS232-Line!"},
                    ShortCase{"CaptureVideoBlock",
                              {"capture", "--frames", "1", "--video", "--csv", "CSV"},
                              9,
                              127,
                              "Timeout"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- both sides of every numbered option ----------------------------------------

// The last legal value is taken (the run goes on to the port, which is
// missing or answers), one past it refused as a usage error before anything
// is sent. monitor runs until SIGTERM, sent after a second.
TEST_F(Ctl, NumberedOptionsTakeTheirLastValueAndRefuseOnePast) {
    sensor.script(sim::order::Frame, sim::makeReply(8, {100, 200, 150}));
    const QString port = QString::fromStdString(sensor.slavePath());
    const struct {
        QStringList arguments;
        const char *refused; // nullptr: taken
    } rows[] = {
        {{"--com", "16", "reset"}, nullptr},
        {{"--com", "17", "reset"}, "--com takes a number from 1 to 16"},
        {{"--com", "1", "reset"}, nullptr},
        {{"--com", "0", "reset"}, "--com takes a number from 1 to 16"},
        {{"--port", port, "capture", "--frames", "1"}, nullptr},
        {{"--port", port, "capture", "--frames", "0"}, "capture needs --frames N, N at least 1"},
        {{"--port", port, "monitor", "--frame-every", "1"}, nullptr},
        {{"--port", port, "monitor", "--frame-every", "0"}, "--frame-every takes a number from 1"},
        {{"--port", port, "monitor", "--frame-every", "1000000"}, nullptr},
        {{"--port", port, "monitor", "--frame-every", "1000001"},
         "--frame-every takes a number from 1 to 1000000"},
        {{"--port", port, "monitor", "--hysteresis", "1023"}, nullptr},
        {{"--port", port, "monitor", "--hysteresis", "1024"}, "--hysteresis takes a number from 0"},
        {{"--port", port, "monitor", "--hysteresis", "0"}, nullptr},
        {{"--port", port, "monitor", "--hysteresis", "-1"}, "--hysteresis takes a number from 0"},
        {{"--port", port, "monitor", "--on-delay", "86400000"}, nullptr},
        {{"--port", port, "monitor", "--on-delay", "86400001"},
         "--on-delay takes a number from 0 to 86400000"},
    };
    for (const auto &row : rows) {
        QProcess process;
        process.start(QStringLiteral(VEXA_APP_DIR "/vexa-tb-ctl"), row.arguments);
        if (!process.waitForFinished(1000)) {
            process.terminate();
            process.waitForFinished(10000);
        }
        const std::string err = process.readAllStandardError().toStdString();
        const std::string what = row.arguments.join(' ').toStdString();
        if (row.refused) {
            EXPECT_EQ(process.exitCode(), 2) << what;
            EXPECT_NE(err.find(row.refused), std::string::npos) << what << ": " << err;
        } else {
            EXPECT_NE(process.exitCode(), 2) << what << ": " << err;
            if (row.arguments.contains("capture")) {
                EXPECT_EQ(process.readAllStandardOutput().count('\n'), 2) << what;
            }
        }
    }
}

TEST_F(Ctl, AMissingDeviceCannotBeOpened) {
    const Outcome run =
        ctlWithoutPort({QStringLiteral("--port"), QStringLiteral("/dev/vexa-no-such-device"),
                        QStringLiteral("read")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot open the sensor's port"), std::string::npos) << run.err;
}

TEST_F(Ctl, NoPortIsAUsageError) {
    const Outcome run = ctlWithoutPort({QStringLiteral("read")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--port DEVICE or --com N"), std::string::npos) << run.err;
}

// Both tools spell their options alike: -V and --version print the version,
// -v is --verbose where there is one (vexa-sim) and nothing elsewhere; each
// --help says so.
TEST(BothTools, AgreeOnTheVersionAndVerboseLetters) {
    const auto version = [](const std::string &tool) { return tool + " " VEXA_VERSION "\n"; };
    const struct {
        const char *tool;
        QStringList arguments;
        int exitCode;
        std::string out;
    } rows[] = {
        {"vexa-tb-ctl", {"--version"}, 0, version("vexa-tb-ctl")},
        {"vexa-tb-ctl", {"-V"}, 0, version("vexa-tb-ctl")},
        {"vexa-tb-ctl", {"-v"}, 2, ""},
        {"vexa-sim", {"--version"}, 0, version("vexa-sim")},
        {"vexa-sim", {"-V"}, 0, version("vexa-sim")},
        {"vexa-sim", {"-v", "--no-such-option"}, 2, ""},
    };
    for (const auto &row : rows) {
        QProcess process;
        process.start(QStringLiteral(VEXA_APP_DIR "/") + QLatin1String(row.tool), row.arguments);
        ASSERT_TRUE(process.waitForFinished(10000)) << row.tool;
        const std::string what = row.tool + (" " + row.arguments.join(' ').toStdString());
        EXPECT_EQ(process.exitCode(), row.exitCode) << what;
        EXPECT_EQ(process.readAllStandardOutput().toStdString(), row.out) << what;
    }
    for (const char *tool : {"vexa-tb-ctl", "vexa-sim"}) {
        QProcess process;
        process.start(QStringLiteral(VEXA_APP_DIR "/") + QLatin1String(tool), {"--help"});
        ASSERT_TRUE(process.waitForFinished(10000)) << tool;
        const QString help = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_TRUE(help.contains(QRegularExpression(QStringLiteral("\\n +-V, --version "))))
            << tool;
        const QRegularExpressionMatch v =
            QRegularExpression(QStringLiteral("\\n +-v, (\\S+)")).match(help);
        EXPECT_TRUE(!v.hasMatch() || v.captured(1) == QLatin1String("--verbose")) << tool;
    }
}

TEST_F(Ctl, HelpListsEveryCommand) {
    const Outcome run = ctlWithoutPort({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    for (const char *name : {"info", "read", "write FILE", "teach", "reset", "capture"})
        EXPECT_NE(run.out.find(std::string("  ") + name), std::string::npos) << name;
    EXPECT_EQ(run.out.find("--help-all"), std::string::npos) << "an option the tool ignores";
}

} // namespace
