// Parameter files: the sixteen words of the parameter block as text, one
// unsigned decimal per line in a field four characters wide.
#pragma once

#include "shell/globals.h"

constexpr int PARA_FIELD_WIDTH = 4; // each number right-aligned, one a line

constexpr const char *PARA_FILE_NAME = "VEXApara.dat"; // default name in both dialogs
constexpr const char *PARA_FILE_TYPES = "*.dat";
constexpr const char *PARA_FILE_READ_ERROR = "Cannot read parameter file!";
// Both dialogs: any directory, only ".dat" files, cancel allowed, making a
// directory allowed.
constexpr int PARA_FILE_RESTRICT_DIR = 0;
constexpr int PARA_FILE_RESTRICT_EXT = 1;
constexpr int PARA_FILE_ALLOW_CANCEL = 1;
constexpr int PARA_FILE_ALLOW_MAKE_DIR = 1;

// Takes the panel values and writes them, with the current para15, to
// file_name. A file that cannot be written is reported in the status line,
// and why in the window's note beside it.
void SendParaToFile(void);
// Runs the load dialog and reads the chosen file into pp and the parameter
// variables. A file that cannot be read leaves both unchanged, puts its
// result into szStatus and why into the window's note. A later save or load
// that works takes the error text of an earlier one back, and its note.
void ReadParaFromFile(void);
// Reads the sixteen words of a parameter file at `path` into `set` (each
// number keeps its low 16 bits). The file must hold sixteen readable
// unsigned numbers (a UTF-8 byte-order mark is allowed); otherwise -1 and
// `set` stays as it was. 0 on success. Touches no panel and no variable.
int ReadParameterFile(const char *path, unsigned short set[PNUM]);
// Why the last save, load or ReadParameterFile failed: the system's reason
// ("No such file or directory", "Permission denied", "No space left on
// device"), "not a regular file" (a FIFO or a device is refused, never
// waited for) or "not sixteen readable numbers". Empty after one that worked.
const char *ParameterFileProblem(void);
// A chosen path the program cannot hold (260 characters or more) is reported
// as a file that cannot be written (1) or read (0).
void ReportUnusablePath(int forWriting);
