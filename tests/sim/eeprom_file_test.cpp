#include "sim/eeprom_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class EepromFile : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "vexa_sim_eeprom_" + std::to_string(::getpid()) + ".dat";
        std::remove(path_.c_str());
    }
    void TearDown() override { std::remove(path_.c_str()); }

    std::string path_;
};

} // namespace

TEST_F(EepromFile, IsSixteenLinesOfDecimalNumbersThatLoadAgain) {
    std::string problem;
    ASSERT_TRUE(sim::saveEeprom(path_, sim::defaultParameters(), problem)) << problem;
    std::stringstream text;
    text << std::ifstream(path_).rdbuf();
    EXPECT_EQ(text.str(), "500\n0\n512\n64\n1\n1\n1\n1024\n512\n100\n1\n1\n0\n1\n0\n1000\n");

    sim::Words w{};
    w[15] = 65535;
    ASSERT_TRUE(sim::saveEeprom(path_, w, problem));
    sim::Words back = sim::defaultParameters();
    EXPECT_EQ(sim::loadEeprom(path_, back, problem), sim::EepromLoad::Loaded);
    EXPECT_EQ(back, w);
}

TEST_F(EepromFile, MissingOrMalformedFilesLeaveTheWordsAlone) {
    std::string problem;
    sim::Words w = sim::defaultParameters();
    EXPECT_EQ(sim::loadEeprom(path_, w, problem), sim::EepromLoad::Missing);
    const char *cases[] = {
        "1\n2\n3\n",                                   // too few
        "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17\n", // too many
        "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 70000\n", // out of range
        "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 x\n",     // not a number
        "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 -1\n",    // negative
        "",                                            // empty
    };
    for (const char *text : cases) {
        std::ofstream(path_) << text;
        problem.clear();
        EXPECT_EQ(sim::loadEeprom(path_, w, problem), sim::EepromLoad::Malformed) << text;
        EXPECT_FALSE(problem.empty()) << text;
        EXPECT_EQ(w, sim::defaultParameters()) << text;
    }
}

TEST_F(EepromFile, SaveReportsAnUnwritablePlace) {
    std::string problem;
    EXPECT_FALSE(sim::saveEeprom("/nonexistent-dir/eeprom.dat", sim::Words{}, problem));
    EXPECT_FALSE(problem.empty());
}

// A save writes only through a temporary file it made itself: a symlink planted where a
// fixed temporary name would be is never followed, a save that fails (the file size limit,
// as on a full disk) leaves the old file and says so, and a FIFO is never replaced.
TEST_F(EepromFile, SaveNeverWritesThroughAPlantedNameAndKeepsTheOldFileWhenItFails) {
    const std::string victim = path_ + ".victim";
    const std::string planted = path_ + ".tmp";
    const std::string old = "the old EEPROM\n";
    enum class Place { PlantedLink, SizeLimit, Fifo };
    for (const Place place : {Place::PlantedLink, Place::SizeLimit, Place::Fifo}) {
        SCOPED_TRACE(static_cast<int>(place));
        std::remove(path_.c_str());
        std::ofstream(victim) << "not the EEPROM\n";
        ::unlink(planted.c_str());
        ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0);
        if (place == Place::Fifo)
            ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
        else
            std::ofstream(path_) << old;

        bool saved = false;
        if (place == Place::SizeLimit) { // in a child: the limit would stop this test too
            const pid_t child = ::fork();
            if (child == 0) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{10, 10};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                std::string why;
                const bool ok = sim::saveEeprom(path_, sim::defaultParameters(), why);
                ::_exit(ok ? 0 : why.find("left as it was") != std::string::npos ? 1 : 2);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 1) << "the save fails and says the file stays";
        } else {
            std::string problem;
            saved = sim::saveEeprom(path_, sim::defaultParameters(), problem);
            EXPECT_EQ(saved, place == Place::PlantedLink) << problem;
        }
        std::stringstream victimText, text;
        victimText << std::ifstream(victim).rdbuf();
        EXPECT_EQ(victimText.str(), "not the EEPROM\n");
        if (place == Place::Fifo) {
            struct stat st {};
            EXPECT_TRUE(::stat(path_.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
        } else {
            text << std::ifstream(path_).rdbuf();
            if (saved)
                EXPECT_EQ(text.str().substr(0, 4), "500\n");
            else
                EXPECT_EQ(text.str(), old);
        }
    }
    ::unlink(planted.c_str());
    std::remove(victim.c_str());
}
