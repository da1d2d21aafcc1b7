// vexa-sim, the program: started as a child process the way a user or a test script would.
#include "sim_program.h"
#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace simtest;

namespace {

std::string tempPath(const std::string &name) {
    return ::testing::TempDir() + "vexa_sim_" + std::to_string(::getpid()) + "_" + name;
}

bool isSymlink(const std::string &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string contents(const std::string &path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
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

// --link makes its symlink only where nothing or a symlink (a stale one) is, and removes at
// exit only the link it made: a file there, before or after, is the user's and stays.
TEST(VexaSimProgram, LinkNeverRemovesWhatItDidNotMake) {
    const std::string link = tempPath("link_rules");
    enum class Before { File, Folder, StaleLink };
    struct Case {
        const char *what;
        Before before;
        // Too few file descriptors for the pseudo-terminal and its wake-up
        // pipe; two are left after stdin, stdout and stderr, as the
        // sanitizers' own checks need a pipe for themselves.
        bool failedStart;
        bool fileReplaces; // a file takes the link's place while vexa-sim runs
        int exitCode;
        const char *error;
    };
    const Case cases[] = {
        {"a file there", Before::File, false, false, 1, ": a file is there"},
        {"a folder there", Before::Folder, false, false, 1, ": a folder is there"},
        {"a stale link is replaced", Before::StaleLink, false, false, 0, ""},
        {"a failed start", Before::File, true, false, 1, "Too many open files"},
        {"the link replaced by a file", Before::StaleLink, false, true, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(link.c_str());
        ::rmdir(link.c_str());
        if (c.before == Before::File)
            std::ofstream(link) << "the user's\n";
        else if (c.before == Before::Folder)
            ::mkdir(link.c_str(), 0700);
        else
            ASSERT_EQ(::symlink("/dev/pts/none", link.c_str()), 0);
        if (c.failedStart && ::access("/usr/bin/prlimit", X_OK) != 0)
            GTEST_SKIP() << "no /usr/bin/prlimit to start vexa-sim with few file descriptors";
        Program p({"--link", link, "--baud", "0"},
                  c.failedStart ? std::vector<std::string>{"/usr/bin/prlimit", "--nofile=5"}
                                : std::vector<std::string>{});
        if (c.exitCode == 0) {
            const std::string port = p.firstLine();
            ASSERT_FALSE(port.empty());
            std::vector<char> target(256);
            ASSERT_GT(::readlink(link.c_str(), target.data(), target.size()), 0);
            EXPECT_EQ(std::string(target.data()), port);
            if (c.fileReplaces) {
                ::unlink(link.c_str());
                std::ofstream(link) << "the user's\n";
            }
            p.signal(SIGTERM);
        }
        EXPECT_EQ(p.wait(), c.exitCode);
        EXPECT_NE(p.errors().find(c.error), std::string::npos);
        if (c.before == Before::File || c.fileReplaces)
            EXPECT_EQ(contents(link), "the user's\n");
        else if (c.before == Before::Folder)
            EXPECT_EQ(::rmdir(link.c_str()), 0) << "the folder stays";
        else
            EXPECT_FALSE(isSymlink(link)) << "the link made goes at exit";
    }
    ::unlink(link.c_str());
}

// A recording or EEPROM file that is a FIFO, a device, a folder, far too large or with an
// endless line is refused at once, with the file and the reason: never a blocked open or a
// read without end. A replay ends with exit code 2; an EEPROM file falls back to the defaults.
TEST(VexaSimProgram, FilesThatCannotBeReadWithinLimitsAreRefusedAtOnce) {
    const std::string fifo = tempPath("fifo.csv");
    const std::string huge = tempPath("huge.csv");
    const std::string longLine = tempPath("long.csv");
    const std::string withFifoVideo = tempPath("fifo_video.csv");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string video = withFifoVideo.substr(0, withFifoVideo.size() - 4) + "-video.csv";
    ::unlink(video.c_str());
    ASSERT_EQ(::mkfifo(video.c_str(), 0600), 0);
    std::ofstream(huge) << "";
    ASSERT_EQ(::truncate(huge.c_str(), 5ll << 30), 0) << "a sparse file of 5 GiB";
    const std::string header = "time,Ledge,Redge,Mvalue,tVal,tTol,pix1,edcnt,mvstart,mvend,"
                               "pixdelta,anaMax,anaMin,in0\n";
    std::ofstream(longLine) << header << std::string(100000, '1') << '\n';
    std::ofstream(withFifoVideo) << header
                                 << "2026-12-07T13:05:01.123,1,2,3,4,5,6,7,8,9,10,11,12,13\n";
    struct Case {
        const char *option;
        std::string file, reason;
    };
    const Case cases[] = {
        {"--replay", "/dev/zero", "/dev/zero: is a device, not a regular file"},
        {"--replay", fifo, fifo + ": is a FIFO, not a regular file"},
        {"--replay", huge, huge + ": is larger than 256 MiB"},
        {"--replay", ::testing::TempDir(), ": is a folder, not a file"},
        {"--replay", longLine, longLine + ": line 2 is longer than 64 KiB"},
        {"--replay", withFifoVideo, "fifo_video-video.csv: is a FIFO, not a regular file"},
        {"--eeprom", "/dev/zero", "/dev/zero is unusable (is a device, not a regular file)"},
        {"--eeprom", fifo, fifo + " is unusable (is a FIFO, not a regular file)"},
        {"--eeprom", huge, huge + " is unusable (is larger than 64 KiB)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.file);
        Program p({c.option, c.file, "--baud", "0"});
        if (std::string(c.option) == "--eeprom") {
            ASSERT_FALSE(p.firstLine(3000ms).empty()) << "starts with the defaults at once";
            p.signal(SIGTERM);
            EXPECT_EQ(p.wait(), 0);
        } else {
            EXPECT_EQ(p.wait(3000ms), 2);
        }
        EXPECT_NE(p.errors().find(c.reason), std::string::npos) << c.reason;
    }
    for (const std::string &f : {fifo, huge, longLine, withFifoVideo, video})
        ::unlink(f.c_str());
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

// --stats at exit: a request that followed a reply is counted by its order,
// and by the order that reply answered.
TEST(VexaSimProgram, StatsCountTurnaroundsByTheOrderTheReplyBeforeAnswered) {
    Program p({"--stats", "--baud", "0"});
    const std::string path = p.firstLine();
    ASSERT_FALSE(path.empty());
    Port port(path);
    for (const auto order : {sim::order::Echo, sim::order::CcdInfo}) {
        ASSERT_TRUE(port.write(request(order)));
        ASSERT_EQ(port.read(36, 3000ms).size(), 36u);
    }
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(), 0);
    const std::string stats = p.errors();
    for (const char *line : {"turnaround before order 10: 1 requests",
                             "turnaround from order 5 to order 10: 1 requests"})
        EXPECT_NE(stats.find(line), std::string::npos) << line << " in\n" << stats;
    EXPECT_EQ(stats.find("from order 10 to order 5"), std::string::npos) << stats;
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
