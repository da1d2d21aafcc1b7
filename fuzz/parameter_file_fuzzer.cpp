// Fuzzes the readers of parameter files, whose bytes come from whatever file
// a user picks: the run-time's FileToArray, the program's ReadParaFromFile
// on top of it (its load dialog answered by the test hook), and vexa-sim's
// EEPROM file (sim::loadEeprom), which holds the same sixteen numbers. The
// input is the file's contents, in one in-memory file rewritten each time.
//
// Each reader is held to its own rule, checked against a plain reading of
// the bytes (file_numbers.h): what it accepts, it must read exactly, and
// what it refuses must leave its target untouched. A file vexa-sim accepts,
// the program must read to the same sixteen numbers.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/file_numbers.h"
#include "fuzz/support/check.h"
#include "fuzz/support/memory_file.h"
#include "fuzz/support/unreadable_files.h"
#include "params/parameter_file.h"
#include "params/parameter_table.h"
#include "runtime/runtime.h"
#include "runtime/test_hooks.h"
#include "shell/globals.h"
#include "sim/eeprom_file.h"

namespace {

using vexafuzz::FileNumbers;

constexpr unsigned int kUntouched = 0xA5A5A5A5u;

vexafuzz::MemoryFile &File() {
    static vexafuzz::MemoryFile file("vexa-parameter-file");
    return file;
}

// FileToArray: sixteen numbers read exactly, or the array untouched.
int CheckFileToArray(const FileNumbers &numbers, std::array<unsigned int, PNUM> &words) {
    words.fill(kUntouched);
    const int result = FileToArray(File().path().c_str(), words.data(), VAL_UNSIGNED_INTEGER, PNUM,
                                   1, 0, 0, VAL_ASCII);
    if (result < 0) {
        for (unsigned int w : words)
            VEXA_FUZZ_CHECK(w == kUntouched, "a refused file leaves the array untouched");
        VEXA_FUZZ_CHECK(!numbers.wellFormed(PNUM),
                        "sixteen decimal numbers in front are always read");
        return result;
    }
    VEXA_FUZZ_CHECK(numbers.tokens.size() >= PNUM, "a file is read only with sixteen numbers");
    for (std::size_t i = 0; i < PNUM; ++i) {
        const auto value = numbers.value(i);
        VEXA_FUZZ_CHECK(value.has_value(), "every number read is a decimal number in the file");
        VEXA_FUZZ_CHECK(words[i] == static_cast<unsigned int>(*value & 0xFFFFFFFFu),
                        "each number read is the file's number, its low 32 bits");
    }
    return result;
}

// ReadParaFromFile: pp and the parameters take the low 16 bits of what
// FileToArray read, or stay as they were.
void CheckReadParaFromFile(int fileToArray, const std::array<unsigned int, PNUM> &words) {
    for (int i = 0; i < PNUM; ++i) {
        pp[i] = static_cast<unsigned short>(0x1111 * (i + 1));
        *parameterTable[i].var = static_cast<unsigned short>(0x0101 * (i + 1));
    }
    std::strcpy(szStatus, "before");
    ReadParaFromFile();
    for (int i = 0; i < PNUM; ++i) {
        const bool read = fileToArray >= 0;
        VEXA_FUZZ_CHECK(pp[i] == (read ? static_cast<unsigned short>(words[i] & 0xFFFFu)
                                       : static_cast<unsigned short>(0x1111 * (i + 1))),
                        "pp takes the low 16 bits of a file read, else stays");
        VEXA_FUZZ_CHECK(*parameterTable[i].var ==
                            (read ? pp[i] : static_cast<unsigned short>(0x0101 * (i + 1))),
                        "the parameters follow pp on a file read, else stay");
    }
    VEXA_FUZZ_CHECK((std::strcmp(szStatus, "Cannot read parameter file!") == 0) ==
                        (fileToArray < 0),
                    "exactly a refused file is reported");
}

// sim::loadEeprom: exactly sixteen numbers of 0 to 65535, or `out` untouched.
void CheckLoadEeprom(const FileNumbers &numbers, const std::array<unsigned int, PNUM> &words,
                     int fileToArray) {
    sim::Words out;
    out.fill(0x5A5A);
    std::string problem;
    const sim::EepromLoad result = sim::loadEeprom(File().path(), out, problem);
    VEXA_FUZZ_CHECK(result != sim::EepromLoad::Missing, "the file is there");
    const bool acceptable = numbers.eepromImage(PNUM);
    VEXA_FUZZ_CHECK((result == sim::EepromLoad::Loaded) == acceptable,
                    "vexa-sim loads exactly sixteen numbers of at most five digits up to 65535");
    if (result != sim::EepromLoad::Loaded) {
        VEXA_FUZZ_CHECK(!problem.empty(), "a refused EEPROM file says why");
        for (std::uint16_t w : out)
            VEXA_FUZZ_CHECK(w == 0x5A5A, "a refused EEPROM file leaves the words untouched");
        return;
    }
    VEXA_FUZZ_CHECK(fileToArray >= 0, "a file vexa-sim loads, the program reads");
    for (std::size_t i = 0; i < PNUM; ++i) {
        VEXA_FUZZ_CHECK(out[i] == *numbers.value(i), "vexa-sim loads the file's numbers");
        VEXA_FUZZ_CHECK(words[i] == out[i], "the program reads vexa-sim's numbers alike");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // A FIFO, a device or a huge file picked as parameter file is refused at
    // once, with a reason, and the array stays as it was.
    static vexafuzz::TemporaryFolder folder("vexa-parameter-fuzz");
    vexafuzz::CheckUnreadableFilesRefused(
        "the parameter file reader",
        [](const char *kind) { return folder.file(std::string(kind) + ".dat"); },
        [](const std::string &path) {
            std::array<unsigned int, PNUM> words;
            words.fill(kUntouched);
            const int result = FileToArray(path.c_str(), words.data(), VAL_UNSIGNED_INTEGER, PNUM,
                                           1, 0, 0, VAL_ASCII);
            // A huge file is read in part and refused for what it holds;
            // the others are refused before a byte is read, with a reason.
            const bool reasoned = path.find("huge") != std::string::npos || GetFileProblem()[0];
            return result < 0 && words[0] == kUntouched && reasoned;
        });
    // The load dialog picks the fuzz input's file.
    SetFileSelectHook([](const FileSelectRequest &, std::string &chosen) {
        chosen = File().path();
        return 1;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    File().write(data, size);
    // The program skips a byte-order mark in front; vexa-sim does not.
    const FileNumbers program(data, size, FileNumbers::Mark::Skipped);
    const FileNumbers simulator(data, size, FileNumbers::Mark::Kept);
    std::array<unsigned int, PNUM> words{};
    const int result = CheckFileToArray(program, words);
    CheckReadParaFromFile(result, words);
    CheckLoadEeprom(simulator, words, result);
    return 0;
}
