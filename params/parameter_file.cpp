// Saving and loading the parameter block as a text file of sixteen lines.
#include "params/parameter_file.h"

#include <cstring>
#include <string>

#include "link/telegram.h"
#include "params/panel_binding.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"
#include "shell/window_note.h"

namespace {

constexpr int ONE_GROUP = 1;
constexpr int GROUP_ORDER = 0;
constexpr int LAYOUT = 0;
constexpr int SEPARATOR = 0;
constexpr int REPLACE_FILE = 0;

constexpr const char *WRITE_ERROR = "Cannot write parameter file!";
constexpr const char *READ_ERROR = PARA_FILE_READ_ERROR;
constexpr const char *NOT_SIXTEEN_NUMBERS = "not sixteen readable numbers";
constexpr const char *PATH_TOO_LONG = "the path has 260 characters or more";

// Why the last save or load failed; empty after one that worked.
std::string problem;

// A failed save or load must not be reported again after a later one that
// worked: the result text it replaced comes back then.
char textBeforeFileError[STATUS_LEN];

bool ShowsFileError(void) {
    return std::strcmp(szStatus, WRITE_ERROR) == 0 || std::strcmp(szStatus, READ_ERROR) == 0;
}

// The status line shows the program's text; the note beside it says why,
// with the file's path when there is one.
void ShowFileError(const char *text, const char *path) {
    if (!ShowsFileError())
        std::memcpy(textBeforeFileError, szStatus, STATUS_LEN);
    SetStatus(text);
    WindowNote((path ? std::string(path) + ": " + problem : problem).c_str());
}

void ForgetFileError(void) {
    problem.clear();
    if (!ShowsFileError())
        return;
    std::memcpy(szStatus, textBeforeFileError, STATUS_LEN);
    WindowNote("");
}

// A save or load that worked says so beside the status line, which keeps
// whatever it showed before: "Loaded set1.dat", "Saved set1.dat".
void NoteFileDone(const char *done) {
    const std::string path = file_name;
    WindowNote((done + (' ' + path.substr(path.find_last_of("/\\") + 1))).c_str());
}

} // namespace

void SendParaToFile(void) {
    GetPanelValues();
    CopyVarsToPP();
    unsigned int words[PNUM];
    for (int i = 0; i < PNUM; i++)
        words[i] = pp[i]; // zero-extended
    if (ArrayToFile(file_name, words, VAL_UNSIGNED_INTEGER, PNUM, ONE_GROUP, GROUP_ORDER, LAYOUT,
                    SEPARATOR, PARA_FIELD_WIDTH, VAL_ASCII, REPLACE_FILE) < 0) {
        problem = GetFileProblem();
        ShowFileError(WRITE_ERROR, file_name);
    } else {
        ForgetFileError();
        NoteFileDone("Saved");
    }
}

void ReportUnusablePath(int forWriting) {
    problem = PATH_TOO_LONG;
    ShowFileError(forWriting ? WRITE_ERROR : READ_ERROR, nullptr);
}

void ReadParaFromFile(void) {
    const int chosen =
        FileSelectPopup(proj_dir, PARA_FILE_NAME, PARA_FILE_TYPES, "V-EXA-TB-Parameter File",
                        VAL_LOAD_BUTTON, PARA_FILE_RESTRICT_DIR, PARA_FILE_RESTRICT_EXT,
                        PARA_FILE_ALLOW_CANCEL, PARA_FILE_ALLOW_MAKE_DIR, file_name);
    if (chosen < 0) // a path the program cannot hold: as unreadable
        ReportUnusablePath(0);
    if (chosen <= 0)
        return; // cancelled or failed: pp and the variables stay as they are

    if (ReadParameterFile(file_name, pp) < 0) {
        // Unreadable, malformed or short: keep the last parameters.
        ShowFileError(READ_ERROR, file_name);
        return;
    }
    ForgetFileError();
    CopyPPtoVars();
    NoteFileDone("Loaded");
}

const char *ParameterFileProblem(void) {
    return problem.c_str();
}

int ReadParameterFile(const char *path, unsigned short set[PNUM]) {
    unsigned int words[PNUM] = {};
    const int result = FileToArray(path, words, VAL_UNSIGNED_INTEGER, PNUM, ONE_GROUP, GROUP_ORDER,
                                   LAYOUT, VAL_ASCII);
    if (result < 0) {
        problem = result == -2 ? GetFileProblem() : NOT_SIXTEEN_NUMBERS;
        return -1;
    }
    problem.clear();
    for (int i = 0; i < PNUM; i++)
        set[i] = static_cast<unsigned short>(words[i] & 0xFFFFu);
    return 0;
}
