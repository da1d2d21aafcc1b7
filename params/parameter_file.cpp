// Saving and loading the parameter block as a text file of sixteen lines.
#include "params/parameter_file.h"

#include "link/telegram.h"
#include "params/panel_binding.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"

namespace {

constexpr int FIELD_WIDTH = 4;
constexpr int ONE_GROUP = 1;
constexpr int GROUP_ORDER = 0;
constexpr int LAYOUT = 0;
constexpr int SEPARATOR = 0;
constexpr int REPLACE_FILE = 0;

} // namespace

void SendParaToFile(void) {
    GetPanelValues();
    CopyVarsToPP();
    unsigned int words[PNUM];
    for (int i = 0; i < PNUM; i++)
        words[i] = pp[i]; // zero-extended
    if (ArrayToFile(file_name, words, VAL_UNSIGNED_INTEGER, PNUM, ONE_GROUP, GROUP_ORDER, LAYOUT,
                    SEPARATOR, FIELD_WIDTH, VAL_ASCII, REPLACE_FILE) < 0)
        SetStatus("Cannot write parameter file!");
}

void ReadParaFromFile(void) {
    if (FileSelectPopup(proj_dir, PARA_FILE_NAME, PARA_FILE_TYPES, "V-EXA-TB-Parameter File",
                        VAL_LOAD_BUTTON, PARA_FILE_RESTRICT_DIR, PARA_FILE_RESTRICT_EXT,
                        PARA_FILE_ALLOW_CANCEL, PARA_FILE_ALLOW_MAKE_DIR, file_name) <= 0)
        return; // cancelled: pp and the variables stay as they are

    unsigned int words[PNUM] = {};
    if (FileToArray(file_name, words, VAL_UNSIGNED_INTEGER, PNUM, ONE_GROUP, GROUP_ORDER, LAYOUT,
                    VAL_ASCII) < 0) {
        // Unreadable, malformed or short: keep the last parameters.
        SetStatus("Cannot read parameter file!");
        return;
    }
    for (int i = 0; i < PNUM; i++)
        pp[i] = static_cast<unsigned short>(words[i] & 0xFFFFu);
    CopyPPtoVars();
}
