// Saving and loading the parameter block as a text file of sixteen lines.
#include "params/parameter_file.h"

#include <cstring>

#include "link/telegram.h"
#include "params/panel_binding.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"

namespace {

constexpr int ONE_GROUP = 1;
constexpr int GROUP_ORDER = 0;
constexpr int LAYOUT = 0;
constexpr int SEPARATOR = 0;
constexpr int REPLACE_FILE = 0;

constexpr const char *WRITE_ERROR = "Cannot write parameter file!";
constexpr const char *READ_ERROR = PARA_FILE_READ_ERROR;

// A failed save or load must not be reported again after a later one that
// worked: the result text it replaced comes back then.
char textBeforeFileError[STATUS_LEN];

bool ShowsFileError(void) {
    return std::strcmp(szStatus, WRITE_ERROR) == 0 || std::strcmp(szStatus, READ_ERROR) == 0;
}

void ShowFileError(const char *text) {
    if (!ShowsFileError())
        std::memcpy(textBeforeFileError, szStatus, STATUS_LEN);
    SetStatus(text);
}

void ForgetFileError(void) {
    if (ShowsFileError())
        std::memcpy(szStatus, textBeforeFileError, STATUS_LEN);
}

} // namespace

void SendParaToFile(void) {
    GetPanelValues();
    CopyVarsToPP();
    unsigned int words[PNUM];
    for (int i = 0; i < PNUM; i++)
        words[i] = pp[i]; // zero-extended
    if (ArrayToFile(file_name, words, VAL_UNSIGNED_INTEGER, PNUM, ONE_GROUP, GROUP_ORDER, LAYOUT,
                    SEPARATOR, PARA_FIELD_WIDTH, VAL_ASCII, REPLACE_FILE) < 0)
        ShowFileError(WRITE_ERROR);
    else
        ForgetFileError();
}

void ReportUnusablePath(int forWriting) {
    ShowFileError(forWriting ? WRITE_ERROR : READ_ERROR);
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
        ShowFileError(READ_ERROR);
        return;
    }
    ForgetFileError();
    CopyPPtoVars();
}

int ReadParameterFile(const char *path, unsigned short set[PNUM]) {
    unsigned int words[PNUM] = {};
    if (FileToArray(path, words, VAL_UNSIGNED_INTEGER, PNUM, ONE_GROUP, GROUP_ORDER, LAYOUT,
                    VAL_ASCII) < 0)
        return -1;
    for (int i = 0; i < PNUM; i++)
        set[i] = static_cast<unsigned short>(words[i] & 0xFFFFu);
    return 0;
}
