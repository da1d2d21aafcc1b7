// vexa-sim, the program: started as a child process the way a user or a test script would.
#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace simtest;

extern char **environ;

namespace {

class Program {
  public:
    explicit Program(std::vector<std::string> args) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        args.insert(args.begin(), VEXA_SIM_EXE);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, VEXA_SIM_EXE, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }

    // The first line on stdout, or "" after the time-out.
    std::string firstLine(std::chrono::milliseconds timeout = 5000ms) {
        return readUntil(out_, '\n', timeout);
    }
    // All of stderr once the program has ended.
    std::string errors() { return readUntil(err_, '\0', 2000ms); }
    std::string output() { return readUntil(out_, '\0', 2000ms); }

    void signal(int sig) { ::kill(pid_, sig); }

    // Exit code, or -1 when it has not ended in time (or ended by a signal).
    int wait(std::chrono::milliseconds timeout = 5000ms) {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(5ms);
        }
        return -1;
    }

  private:
    static std::string readUntil(int fd, char stop, std::chrono::milliseconds timeout) {
        std::string text;
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char c;
            if (::read(fd, &c, 1) != 1)
                break;
            if (c == stop && stop != '\0')
                break;
            text += c;
        }
        return text;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

std::string tempPath(const std::string &name) {
    return ::testing::TempDir() + "vexa_sim_" + std::to_string(::getpid()) + "_" + name;
}

bool isSymlink(const std::string &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

TEST(VexaSimProgram, PrintsThePortAnswersAnEchoAndEndsCleanlyOnSigterm) {
    Program p({});
    const std::string path = p.firstLine();
    ASSERT_FALSE(path.empty());
    Port port(path);
    ASSERT_TRUE(port.isOpen()) << path;
    ASSERT_TRUE(port.write(request(sim::order::Echo)));
    const auto reply = port.read(36, 3000ms);
    ASSERT_EQ(reply.size(), 36u);
    EXPECT_EQ(reply[1], 0xAA);
    EXPECT_EQ(reply[3], 0x05);
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(), 0);
}

TEST(VexaSimProgram, LinkPointsAtThePortAndGoesAwayOnSigint) {
    const std::string link = tempPath("link");
    ::unlink(link.c_str());
    Program p({"--link", link, "--baud", "0"});
    const std::string path = p.firstLine();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(isSymlink(link));
    Port port(link);
    ASSERT_TRUE(port.isOpen());
    ASSERT_TRUE(port.write(request(sim::order::CcdInfo)));
    EXPECT_EQ(port.read(36, 3000ms).size(), 36u);
    p.signal(SIGINT);
    EXPECT_EQ(p.wait(), 0);
    EXPECT_FALSE(isSymlink(link));
}

TEST(VexaSimProgram, OnceEndsByItselfWhenThePortIsClosed) {
    Program p({"--once", "--baud", "0"});
    const std::string path = p.firstLine();
    ASSERT_FALSE(path.empty());
    {
        Port port(path);
        ASSERT_TRUE(port.write(request(sim::order::Echo)));
        EXPECT_EQ(port.read(36, 3000ms).size(), 36u);
    }
    EXPECT_EQ(p.wait(), 0);
}

TEST(VexaSimProgram, EepromFileIsReadAtStartAndWrittenOnOrder3) {
    const std::string file = tempPath("eeprom.dat");
    {
        std::ofstream out(file);
        for (int i = 0; i < 16; ++i)
            out << (i == 2 ? 333 : i) << '\n';
    }
    Program p({"--eeprom", file, "--baud", "0"});
    Port port(p.firstLine());
    ASSERT_TRUE(port.write(request(sim::order::ReadRam)));
    const auto ram = port.read(36, 3000ms);
    ASSERT_EQ(ram.size(), 36u);
    EXPECT_EQ(sim::getWord(ram.data() + 4 + 4), 333) << "RAM starts as the EEPROM file";

    sim::Words w = sim::defaultParameters();
    w[0] = 999;
    ASSERT_TRUE(port.write(request(sim::order::WriteEeprom, w)));
    ASSERT_TRUE(port.write(request(sim::order::ReadEeprom)));
    ASSERT_EQ(port.read(36, 3000ms).size(), 36u);
    std::ifstream in(file);
    unsigned first = 0;
    in >> first;
    EXPECT_EQ(first, 999u);
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(), 0);
    ::unlink(file.c_str());
}

TEST(VexaSimProgram, MalformedEepromFileFallsBackToTheDefaultsAndSaysSo) {
    const std::string file = tempPath("bad_eeprom.dat");
    std::ofstream(file) << "1\n2\nthree\n";
    Program p({"--eeprom", file, "--baud", "0"});
    Port port(p.firstLine());
    ASSERT_TRUE(port.write(request(sim::order::ReadEeprom)));
    const auto reply = port.read(36, 3000ms);
    ASSERT_EQ(reply.size(), 36u);
    EXPECT_EQ(sim::getWord(reply.data() + 4), 500);
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(), 0);
    EXPECT_NE(p.errors().find("defaults"), std::string::npos);
    ::unlink(file.c_str());
}

TEST(VexaSimProgram, HelpPrintsTheUsageAndBadOptionsFail) {
    {
        Program p({"--help"});
        EXPECT_EQ(p.wait(), 0);
        const std::string usage = p.output();
        EXPECT_NE(usage.find("--hangup-after"), std::string::npos);
        EXPECT_NE(usage.find("--chunk N"), std::string::npos);
    }
    {
        Program p({"--ccd-type", "9"});
        EXPECT_EQ(p.wait(), 2);
        EXPECT_NE(p.errors().find("--ccd-type"), std::string::npos);
    }
}
