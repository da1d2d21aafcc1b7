// vexa-sim, the program: started as a child process the way a user or a test script would.
#include "sim_program.h"
#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
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
