// The serial line over a pseudo-terminal: queue length, receive callback,
// flushes, time-outs, closing, and a device that vanishes.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/reply_wait.h"
#include "runtime/runtime.h"

namespace {

constexpr int kPort = 7;

class Pty {
  public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master_);
        unlockpt(master_);
        slave_ = ptsname(master_);
    }
    ~Pty() { hangUp(); }
    void send(const std::vector<unsigned char> &bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void send(int count, unsigned char value = 0x11) const {
        send(std::vector<unsigned char>(count, value));
    }
    std::vector<unsigned char> receive(size_t max) const {
        std::vector<unsigned char> buf(max);
        const ssize_t n = ::read(master_, buf.data(), max);
        buf.resize(n > 0 ? n : 0);
        return buf;
    }
    void hangUp() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    const std::string &slave() const { return slave_; }

  private:
    int master_ = -1;
    std::string slave_;
};

int callbackCount = 0;
int lastEventWord = 0;
int queueSeenInCallback = 0;

void countingCallback(int port, int eventWord, void *) {
    ++callbackCount;
    lastEventWord = eventWord;
    queueSeenInCallback = GetInQLen(port);
    FlushInQ(port);
}

void processFor(double seconds) {
    const double end = Timer() + seconds;
    while (Timer() < end)
        ProcessSystemEvents();
}

// Waits (without event processing) until the OS has moved the bytes over.
void settleLine() {
    usleep(20000);
}

class RuntimeSerial : public testing::Test {
  protected:
    void SetUp() override {
        SetComDevice(kPort, pty_.slave().c_str());
        ASSERT_EQ(OpenComConfig(kPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
        SetComTime(kPort, 0.3);
        callbackCount = 0;
        lastEventWord = 0;
    }
    void TearDown() override { CloseCom(kPort); }
    Pty pty_;
};

TEST_F(RuntimeSerial, InputQueueGrowsWithoutEventProcessing) {
    pty_.send(10);
    settleLine();
    EXPECT_EQ(GetInQLen(kPort), 10);
    pty_.send(30);
    settleLine();
    EXPECT_EQ(GetInQLen(kPort), 40);
    EXPECT_EQ(callbackCount, 0);
}

TEST_F(RuntimeSerial, ReceiveCallbackRunsOnlyAtNotifyCountAndFromEventProcessing) {
    InstallComCallback(kPort, 0x8006, 36, 0x55, countingCallback, nullptr);
    pty_.send(35);
    processFor(0.05);
    EXPECT_EQ(callbackCount, 0);
    pty_.send(1);
    settleLine();
    EXPECT_EQ(callbackCount, 0); // nothing runs until events are processed
    processFor(0.05);
    EXPECT_EQ(callbackCount, 1);
    EXPECT_EQ(lastEventWord & LWRS_RECEIVE_COUNT, LWRS_RECEIVE_COUNT);
    EXPECT_EQ(queueSeenInCallback, 36);
}

TEST_F(RuntimeSerial, ReceiveCallbackIsSilentWhileSwitchedOff) {
    InstallComCallback(kPort, 0x8006, 36, 0x55, countingCallback, nullptr);
    InstallComCallback(kPort, 0, 36, 0x55, nullptr, nullptr);
    pty_.send(72);
    processFor(0.05);
    EXPECT_EQ(callbackCount, 0);
    EXPECT_EQ(GetInQLen(kPort), 72);
}

TEST_F(RuntimeSerial, ReadingNeverRunsTheReceiveCallback) {
    InstallComCallback(kPort, 0x8006, 36, 0x55, countingCallback, nullptr);
    pty_.send(36);
    settleLine();
    char buf[64];
    EXPECT_EQ(ComRd(kPort, buf, 36), 36);
    EXPECT_EQ(callbackCount, 0);
    processFor(0.03);
    EXPECT_EQ(callbackCount, 0); // the bytes were taken by the read
}

TEST_F(RuntimeSerial, FlushInQDiscardsQueuedBytes) {
    pty_.send(50);
    settleLine();
    processFor(0.01); // part of it now sits in Qt's buffer
    pty_.send(20);
    settleLine();
    FlushInQ(kPort);
    EXPECT_EQ(GetInQLen(kPort), 0);
    EXPECT_EQ(FlushOutQ(kPort), 0);
}

TEST_F(RuntimeSerial, ComRdReturnsWhatCameWithinTheTimeOut) {
    pty_.send(10);
    settleLine();
    char buf[64];
    const double start = Timer();
    EXPECT_EQ(ComRd(kPort, buf, 36), 10);
    const double waited = Timer() - start;
    EXPECT_GE(waited, 0.28);
    EXPECT_LT(waited, 1.0);
}

// A reply handed over 8 bytes at a time at 19200 baud, as a 16550 does,
// waited for as the program waits for a video block: the wait ends with the
// reply's last byte, long before its time-out, for one reply after another.
TEST_F(RuntimeSerial, AWaitForExpectedBytesEndsWithTheirLastByte) {
    constexpr int kReply = 128, kChunk = 8;
    constexpr double kTimeOut = 2.0;
    for (int reply = 0; reply < 2; ++reply) {
        SCOPED_TRACE(reply);
        FlushInQ(kPort);
        ExpectComBytes(kPort, kReply);
        std::thread line([this] {
            for (int sent = 0; sent < kReply; sent += kChunk) {
                usleep(kChunk * 521); // 8 bytes at 1,920 bytes/s
                pty_.send(kChunk);
            }
        });
        const double start = Timer();
        SetWakeDeadline(start + kTimeOut);
        while (GetInQLen(kPort) < kReply && Timer() - start < kTimeOut)
            ProcessSystemEvents();
        SetWakeDeadline(0);
        ExpectComBytes(kPort, 0);
        line.join();
        EXPECT_EQ(GetInQLen(kPort), kReply);
        EXPECT_LT(Timer() - start, kTimeOut / 2) << "the wait ran into its time-out";
    }
}

// A wait that ends while the port rests (its bytes came sooner than the line
// allows, or it ran into its time-out) leaves the port listening: the next
// reply reaches the receive callback.
TEST_F(RuntimeSerial, AWaitEndedDuringItsRestLeavesThePortListening) {
    ExpectComBytes(kPort, 128);
    pty_.send(8);
    processFor(0.01); // the first bytes are in: the port rests
    pty_.send(120);
    settleLine();
    EXPECT_EQ(GetInQLen(kPort), 128);
    ExpectComBytes(kPort, 0);
    FlushInQ(kPort);
    InstallComCallback(kPort, 0x8006, 36, 0x55, countingCallback, nullptr);
    processFor(0.01); // the queue is empty when the callback comes on
    pty_.send(36);
    settleLine();
    for (int round = 0; round < 5 && callbackCount == 0; ++round) {
        SetWakeDeadline(Timer() + 0.005);
        ProcessSystemEvents();
    }
    SetWakeDeadline(0);
    EXPECT_EQ(callbackCount, 1);
}

// Request and reply as the loops exchange them: a 36-byte telegram written,
// its 36-byte reply to the receive callback. `answer` plays the sensor.
class RequestReply : public RuntimeSerial {
  protected:
    void SetUp() override {
        RuntimeSerial::SetUp();
        InstallComCallback(kPort, 0x8006, kTelegram, 0x55, countingCallback, nullptr);
    }
    // Writes a request; true when the callback has run for its reply
    // within `rounds` rounds of event processing of at most `roundSeconds`.
    bool exchange(const std::function<void()> &answer, int rounds, double roundSeconds) {
        const int before = callbackCount;
        const std::vector<char> request(kTelegram, 0x22);
        EXPECT_EQ(ComWrt(kPort, request.data(), kTelegram), kTelegram);
        std::thread sensor(answer);
        sensor.join();
        for (int i = 0; i < rounds && callbackCount == before; ++i) {
            SetWakeDeadline(Timer() + roundSeconds);
            ProcessSystemEvents();
        }
        SetWakeDeadline(0);
        return callbackCount == before + 1 && queueSeenInCallback == kTelegram;
    }
    static constexpr int kTelegram = 36;
};

// A sensor that answers at once over a pseudo-terminal hands the whole reply
// over at once: it reaches the callback in the next round, every time.
TEST_F(RequestReply, AReplyThatIsInReachesTheCallbackInTheNextRound) {
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(exchange(
            [this] {
                pty_.receive(kTelegram);
                pty_.send(kTelegram);
                settleLine();
            },
            1, 0.005))
            << "exchange " << i;
}

// At the line's pace, 8 bytes at a time after the request's own time on the
// line: the port rests while the reply cannot be in yet, and every reply
// still reaches the callback, whole.
TEST_F(RequestReply, RepliesAtTheLinesPaceReachTheCallbackWhole) {
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(exchange(
            [this] {
                pty_.receive(kTelegram);
                usleep(kTelegram * 521);
                for (int sent = 0; sent < kTelegram; sent += 8) {
                    usleep(8 * 521);
                    pty_.send(std::min(8, kTelegram - sent));
                }
            },
            100, 0.05))
            << "exchange " << i;
}

// However the port waits for a reply (waking ahead of its last byte, or
// once when it is due), a reply at the line's pace whose last FIFO load comes
// late, as behind a UART's FIFO time-out or a USB adapter's latency timer,
// reaches the callback whole soon after that load: the sensor answers while
// the program processes events.
TEST_F(RequestReply, AReplyWhoseLastLoadComesLateReachesTheCallbackWithEitherWait) {
    constexpr int kLateMs = 20;
    for (const rt::ReplyWait wait : {rt::ReplyWait::Paced, rt::ReplyWait::Due}) {
        rt::setReplyWait(wait);
        const char *name = wait == rt::ReplyWait::Due ? "Due" : "Paced";
        for (int i = 0; i < 4; ++i) {
            const int before = callbackCount;
            const std::vector<char> request(kTelegram, 0x22);
            ASSERT_EQ(ComWrt(kPort, request.data(), kTelegram), kTelegram);
            double lastLoadAt = 0;
            std::thread sensor([&] {
                pty_.receive(kTelegram);
                usleep(kTelegram * 521);
                for (int sent = 0; sent < kTelegram; sent += 8) {
                    const bool last = sent + 8 >= kTelegram;
                    usleep(8 * 521 + (last ? kLateMs * 1000 : 0));
                    if (last)
                        lastLoadAt = Timer();
                    pty_.send(std::min(8, kTelegram - sent));
                }
            });
            const double end = Timer() + 2.0;
            while (callbackCount == before && Timer() < end) {
                SetWakeDeadline(std::min(end, Timer() + 0.05));
                ProcessSystemEvents();
            }
            const double calledAt = Timer();
            SetWakeDeadline(0);
            sensor.join();
            EXPECT_EQ(callbackCount, before + 1) << name << " exchange " << i;
            EXPECT_EQ(queueSeenInCallback, kTelegram) << name << " exchange " << i;
            // Not a speed figure: a wait that strands the last load ends
            // only with the 2 s limit.
            EXPECT_LT(calledAt - lastLoadAt, 0.5) << name << " exchange " << i;
        }
    }
    rt::setReplyWait(rt::ReplyWait::Paced);
}

TEST_F(RuntimeSerial, BytesPassUnchangedBothWays) {
    std::vector<unsigned char> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<unsigned char>(i);
    pty_.send(all);
    settleLine();
    char buf[256];
    ASSERT_EQ(ComRd(kPort, buf, 256), 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(static_cast<unsigned char>(buf[i]), i);
    EXPECT_EQ(ComWrt(kPort, buf, 256), 256);
    settleLine();
    std::vector<unsigned char> got;
    while (got.size() < 256) {
        auto part = pty_.receive(256 - got.size());
        ASSERT_FALSE(part.empty());
        got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(got, all);
}

TEST_F(RuntimeSerial, DoubleCloseIsHarmlessAndClosedPortFailsOperations) {
    EXPECT_EQ(CloseCom(kPort), 0);
    EXPECT_EQ(CloseCom(kPort), 0);
    char buf[4] = {};
    EXPECT_LT(ComWrt(kPort, buf, 4), 0);
    EXPECT_LT(ComRd(kPort, buf, 4), 0);
    EXPECT_LT(GetInQLen(kPort), 0);
    EXPECT_LT(FlushInQ(kPort), 0);
    EXPECT_LT(InstallComCallback(kPort, 0x8006, 36, 0x55, countingCallback, nullptr), 0);
}

TEST_F(RuntimeSerial, VanishedDeviceClosesThePortInsteadOfSpinning) {
    InstallComCallback(kPort, 0x8006, 36, 0x55, countingCallback, nullptr);
    pty_.hangUp();
    const std::clock_t cpuBefore = std::clock();
    processFor(0.3);
    const double cpu = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    EXPECT_LT(GetInQLen(kPort), 0); // closed by the run-time
    char buf[36] = {};
    EXPECT_LT(ComWrt(kPort, buf, 36), 0);
    EXPECT_EQ(callbackCount, 0);
    EXPECT_LT(cpu, 0.25) << "event processing spun on the vanished device";
}

TEST(RuntimeSerialOpen, OpenFailuresMapToTheirCodesAndSayWhy) {
    QTemporaryDir dir;
    const QString regular = dir.filePath(QStringLiteral("not-a-port"));
    QFile file(regular);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const struct {
        int port;
        std::string device;
        int code;
        std::string problem;
    } cases[] = {
        {9, "/dev/nonexistent-vexa-port", -6,
         "No device /dev/nonexistent-vexa-port: plug the adapter in or pick another COM port"},
        {10, "/dev/null", -7, "/dev/null is no serial line"},
        {14, regular.toStdString(), -7, regular.toStdString() + " is no serial line"},
        {0, "", -2, ""},
        {-4, "", -2, ""},
    };
    for (const auto &c : cases) {
        if (!c.device.empty())
            SetComDevice(c.port, c.device.c_str());
        EXPECT_EQ(OpenComConfig(c.port, "", 19200, 0, 8, 1, 4096, 4096), c.code) << c.device;
        char problem[260] = {};
        GetComOpenProblem(c.port, problem);
        EXPECT_EQ(problem, c.problem) << c.device;
    }
}

int LookUpNowhere(int, char device[]) {
    std::snprintf(device, 260, "/dev/nonexistent-lookup");
    return 1;
}

TEST(RuntimeSerialOpen, AnAssignedDeviceGoesBeforeTheLookup) {
    Pty pty;
    SetComDevice(15, pty.slave().c_str());
    SetComDeviceLookup(LookUpNowhere);
    EXPECT_EQ(OpenComConfig(15, "", 19200, 0, 8, 1, 4096, 4096), 0);
    EXPECT_EQ(OpenComConfig(16, "", 19200, 0, 8, 1, 4096, 4096), -6);
    char problem[260] = {};
    GetComOpenProblem(16, problem);
    EXPECT_NE(std::string(problem).find("/dev/nonexistent-lookup"), std::string::npos);
    SetComDeviceLookup(nullptr);
    CloseCom(15);
}

TEST(RuntimeSerialOpen, PortInUseCannotBeOpenedTwice) {
    Pty pty;
    SetComDevice(11, pty.slave().c_str());
    SetComDevice(12, pty.slave().c_str());
    ASSERT_EQ(OpenComConfig(11, "", 19200, 0, 8, 1, 4096, 4096), 0);
    EXPECT_EQ(OpenComConfig(12, "", 19200, 0, 8, 1, 4096, 4096), -7);
    char problem[260] = {};
    EXPECT_GT(GetComOpenProblem(12, problem), 0);
    CloseCom(11);
    // Once free, it opens, and the reason of the earlier failure is gone.
    EXPECT_EQ(OpenComConfig(12, "", 19200, 0, 8, 1, 4096, 4096), 0);
    EXPECT_EQ(GetComOpenProblem(12, problem), 0);
    CloseCom(12);
}

TEST(RuntimeSerialOpen, ReopeningAfterCloseWorks) {
    Pty pty;
    SetComDevice(13, pty.slave().c_str());
    ASSERT_EQ(OpenComConfig(13, "", 19200, 0, 8, 1, 4096, 4096), 0);
    CloseCom(13);
    ASSERT_EQ(OpenComConfig(13, "", 19200, 0, 8, 1, 4096, 4096), 0);
    const char hello[] = "hi";
    EXPECT_EQ(ComWrt(13, hello, 2), 2);
    CloseCom(13);
}

} // namespace
