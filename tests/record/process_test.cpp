// The whole program as a process against vexa-sim, recording from its start
// (VEXA_TEST_RECORD) with a loop started by a click (VEXA_TEST_CLICK): a
// SIGKILL leaves only whole lines, and a recording replayed through
// vexa-sim --replay is recorded again with the same values.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "record/frame_csv.h"

extern char **environ;

using namespace std::chrono_literals;

namespace {

// A child process, killed at the end; `firstLine` reads its stdout.
class Child {
  public:
    Child(std::vector<std::string> args, const std::vector<std::string> &env = {}) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> environment(env);
        for (char **e = environ; *e; ++e)
            environment.emplace_back(*e);
        std::vector<char *> argv, envp;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto &e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Child() {
        kill(SIGKILL);
        ::close(out_);
    }
    void kill(int sig) {
        if (pid_ <= 0)
            return;
        ::kill(pid_, sig);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // The exit code; -1 when it ended otherwise or is still running after `seconds`.
    int waitForExit(int seconds) {
        for (int i = 0; i < seconds * 100 && pid_ > 0; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    std::string firstLine() {
        std::string line;
        char c;
        for (;;) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0 || ::read(out_, &c, 1) != 1 || c == '\n')
                break;
            line += c;
        }
        return line;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

std::vector<std::string> Lines(const QString &path, bool *endsWhole = nullptr) {
    QFile file(path);
    std::vector<std::string> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray text = file.readAll();
    if (endsWhole)
        *endsWhole = text.endsWith('\n');
    for (const QByteArray &line : text.split('\n'))
        if (!line.isEmpty())
            lines.push_back(line.toStdString());
    return lines;
}

// Waits (at most 20 s) until each file holds at least `lines` lines.
bool WaitForLines(const std::vector<QString> &paths, std::size_t lines) {
    for (int i = 0; i < 2000; ++i) {
        bool all = true;
        for (const QString &p : paths)
            all = all && Lines(p).size() >= lines;
        if (all)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// vexa-sim, and the program recording to `path` with the loop behind
// `button` started once its window shows.
struct RecordingRun {
    RecordingRun(const QString &path, const char *button, std::vector<std::string> simArgs,
                 std::vector<std::string> programArgs = {})
        : sim([&] {
              simArgs.insert(simArgs.begin(), VEXA_SIM);
              return simArgs;
          }()),
          port(sim.firstLine()),
          program(
              [&] {
                  programArgs.insert(programArgs.begin(), {VEXA_PROGRAM, "--com", "1=" + port});
                  return programArgs;
              }(),
              {"QT_QPA_PLATFORM=offscreen", "VEXA_TEST_RECORD=" + path.toStdString(),
               std::string("VEXA_TEST_CLICK=") + button}) {}
    Child sim;
    std::string port;
    Child program;
};

std::vector<record::FrameRecord> Frames(const std::vector<std::string> &lines) {
    std::vector<record::FrameRecord> frames;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        record::FrameRecord r;
        std::string problem;
        EXPECT_TRUE(record::parseFrameLine(lines[i], r, problem)) << lines[i] << ": " << problem;
        frames.push_back(r);
    }
    return frames;
}

std::vector<record::VideoRecord> Passes(const std::vector<std::string> &lines) {
    std::vector<record::VideoRecord> passes;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        record::VideoRecord r;
        std::string problem;
        EXPECT_TRUE(record::parseVideoLine(lines[i], r, problem)) << problem;
        passes.push_back(r);
    }
    return passes;
}

QString VideoOf(const QString &path) {
    return QString::fromStdString(record::videoPathFor(path.toStdString()));
}

TEST(RecordingProcess, AKilledProgramLeavesOnlyWholeLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath("killed.csv");
    // At the line's pace the lines are written by the half-second, not by
    // the amount held.
    RecordingRun run(path, "BTNRun", {});
    ASSERT_FALSE(run.port.empty());
    ASSERT_TRUE(WaitForLines({path}, 40));
    run.program.kill(SIGKILL);

    bool endsWhole = false;
    const auto lines = Lines(path, &endsWhole);
    EXPECT_TRUE(endsWhole);
    ASSERT_GE(lines.size(), 40u);
    EXPECT_EQ(lines[0], record::frameHeader());
    EXPECT_EQ(Frames(lines).size(), lines.size() - 1);
}

TEST(RecordingProcess, ARecordingReplayedThroughVexaSimIsRecordedAgainWithTheSameValues) {
    QTemporaryDir dir;
    const QString first = dir.filePath("first.csv");
    {
        RecordingRun run(first, "BTNData", {"--baud", "0"});
        ASSERT_TRUE(WaitForLines({first, VideoOf(first)}, 12));
        run.program.kill(SIGKILL);
    }
    // A pass killed half-way may have its frame line but not its video line:
    // the replay gets whole passes only.
    auto frames = Lines(first), video = Lines(VideoOf(first));
    const std::size_t n = std::min(frames.size(), video.size()) - 1;
    frames.resize(n + 1);
    video.resize(n + 1);
    const QString replay = dir.filePath("replay.csv");
    for (const auto &[path, lines] : {std::pair{replay, frames}, {VideoOf(replay), video}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (const std::string &line : lines)
            file.write((line + "\n").c_str());
    }

    const QString second = dir.filePath("second.csv");
    {
        RecordingRun run(second, "BTNData", {"--baud", "0", "--replay", replay.toStdString()});
        ASSERT_TRUE(WaitForLines({second, VideoOf(second)}, n + 4)); // round again
        run.program.kill(SIGKILL);
    }
    const auto recorded = Frames(frames), again = Frames(Lines(second));
    const auto recordedPasses = Passes(video), passesAgain = Passes(Lines(VideoOf(second)));
    ASSERT_GE(again.size(), n + 3);
    ASSERT_GE(passesAgain.size(), n + 3);
    for (std::size_t i = 0; i < again.size(); ++i)
        EXPECT_EQ(again[i].values, recorded[i % n].values) << "frame " << i;
    for (std::size_t i = 0; i < passesAgain.size(); ++i) {
        EXPECT_EQ(passesAgain[i].y, recordedPasses[i % n].y) << "pass " << i;
        EXPECT_EQ(passesAgain[i].x, recordedPasses[i % n].x) << "pass " << i;
    }
}

// A screenshot run closes the window as a user does: a running loop ends,
// and the program with it, after the loop has recorded.
TEST(RecordingProcess, AScreenshotRunEndsWhileALoopRuns) {
    for (const char *button : {"BTNRun", "BTNData"}) {
        SCOPED_TRACE(button);
        QTemporaryDir dir;
        const QString path = dir.filePath("shot.csv"), shot = dir.filePath("shot.png");
        RecordingRun run(path, button, {}, {"--screenshot", shot.toStdString()});
        ASSERT_FALSE(run.port.empty());
        EXPECT_EQ(run.program.firstLine(), "screenshot: " + shot.toStdString());
        EXPECT_EQ(run.program.waitForExit(20), 0);
        EXPECT_GE(Frames(Lines(path)).size(), 1u);
    }
}

} // namespace
