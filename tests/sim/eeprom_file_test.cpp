#include "sim/eeprom_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
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
