// The run-time services the program is written against: panels and controls,
// graphs, the event loop, the serial line, the timer, formatting and array
// file I/O. Plain functions with integer handles, so the application code stays
// procedural; everything Qt lives behind this header.
#pragma once

// ---- callbacks -------------------------------------------------------------
using CtrlCallbackPtr = int (*)(int panel, int control, int event, void *callbackData,
                                int eventData1, int eventData2);
using PanelCallbackPtr = int (*)(int panel, int event, void *callbackData, int eventData1,
                                 int eventData2);
using ComCallbackPtr = void (*)(int portNumber, int eventMask, void *callbackData);

// Callbacks are attached to controls by name in the panel file; the program
// registers the names it implements before loading a panel.
struct CallbackEntry {
    const char *name;
    CtrlCallbackPtr control; // set for control callbacks
    PanelCallbackPtr panel;  // set for panel callbacks
};
void RegisterCallbacks(const CallbackEntry *table, int count);

// ---- event codes -----------------------------------------------------------
constexpr int EVENT_COMMIT = 1;
constexpr int EVENT_VAL_CHANGED = 2;
constexpr int EVENT_LEFT_CLICK = 3;
constexpr int EVENT_CLOSE = 11;

// ---- control attributes ----------------------------------------------------
constexpr int ATTR_DIMMED = 500;
constexpr int ATTR_VISIBLE = 530;
constexpr int ATTR_TEXT_COLOR = 680;
constexpr int ATTR_TEXT_FONT = 682;
constexpr int ATTR_TEXT_POINT_SIZE = 686;
constexpr int ATTR_TEXT_BGCOLOR = 690;
constexpr int ATTR_MAX_VALUE = 730;
constexpr int ATTR_SCROLL_MODE = 1088;
constexpr int ATTR_NUM_TRACES = 1170;
constexpr int ATTR_POINTS_PER_SCREEN = 1171;
constexpr int ATTR_TRACE_COLOR = 1230;

constexpr int CTRL_TEXT_MSG = 160;
constexpr const char *VAL_APP_META_FONT = "NIApp";

// ---- graph constants -------------------------------------------------------
constexpr int VAL_XAXIS = 0;
constexpr int VAL_LEFT_YAXIS = 1;
constexpr int VAL_MANUAL = 0;
constexpr int VAL_DOUBLE = 4;
constexpr int VAL_UNSIGNED_SHORT_INTEGER = 6;
constexpr int VAL_UNSIGNED_INTEGER = 7;
constexpr int VAL_ALL_PLOTS = -1;
constexpr int VAL_IMMEDIATE_DRAW = 1;
constexpr int VAL_DELAYED_DRAW = 0;

// ---- start, panels, event loop ---------------------------------------------
// Module initialisation: creates the application from the null-terminated
// argument list (the toolkit's own options only). When argv is null,
// hInstance is taken as the argument list. 0 = failure; without a display
// the process ends with one line on stderr and exit code 255.
int InitCVIRTE(void *hInstance, char *argv[], void *reserved);
// Module initialisation for a program without panels (a command-line tool):
// a console application that needs no display, for the serial line, the
// timer, event processing and files. Panels, controls, graphs and file
// dialogs must not be used then. Returns 1.
int InitConsoleRTE(int argc, char *argv[]);
// Ends the run-time; call it before the program returns from main, since the
// application must not outlive main.
void CloseCVIRTE(void);
// Saves the main window as PNG two seconds after RunUserInterface starts, then
// ends the loop (for demos and checks without a person).
void SetScreenshotFile(const char *fileName);
// Loads form `resourceId` of the panel file `fileName` (looked up in the
// program's directory when it has no directory part). parentPanel 0 makes a
// top-level panel, otherwise a child of that panel. Negative on failure.
int LoadPanel(int parentPanel, const char *fileName, int resourceId);
int DisplayPanel(int panel);
int HidePanel(int panel);
int DiscardPanel(int panel);
int RunUserInterface(void);
int QuitUserInterface(int returnCode);
// Runs every pending event and callback, then returns. When nothing is pending
// it waits for the next event, at most until the wake deadline.
int ProcessSystemEvents(void);
// The Timer() value at which the caller's wait ends (its time-out):
// ProcessSystemEvents may sleep until then when nothing happens. A wait sets
// it when it starts and clears it (0) when it ends; without a deadline ahead
// ProcessSystemEvents returns within about 2 ms.
void SetWakeDeadline(double timerValue);
int GetProjectDir(char directory[]); // at most 260 characters

// ---- controls --------------------------------------------------------------
int GetCtrlVal(int panel, int control, unsigned short *value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, char *value); // text, at most 260 chars
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, const char *value);
int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, const char *value);
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
int NewCtrl(int panel, int style, const char *label, int top, int left);
int ReplaceTextBoxLine(int panel, int control, int line, const char *text);

// ---- graphs and strip charts -------------------------------------------------
int PlotXY(int panel, int control, const void *xArray, const void *yArray, int numPoints,
           int xDataType, int yDataType, int plotStyle, int pointStyle, int lineStyle,
           int pointFrequency, int color);
int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2, int color,
                  int fillColor);
int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh);
int SetGraphCursor(int panel, int control, int cursor, double x, double y);
int GetGraphCursor(int panel, int control, int cursor, double *x, double *y);
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
int PlotStripChart(int panel, int control, const void *array, int numPoints, int startIndex,
                   int skipCount, int dataType);
int SetTraceAttribute(int panel, int control, int trace, int attribute, int value);

// ---- serial line ---------------------------------------------------------------
constexpr int LWRS_RECEIVE = 0x0002;
constexpr int LWRS_TXEMPTY = 0x0004;
constexpr int LWRS_RECEIVE_COUNT = 0x8000;

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);
int SetComTime(int port, double timeoutSeconds);
int SetCTSMode(int port, int mode);
int FlushInQ(int port);
int FlushOutQ(int port);
int ComWrt(int port, const char *buffer, int count);
int ComRd(int port, char *buffer, int count);
int GetInQLen(int port);
// The program is about to wait, without receive callback, until `count`
// bytes are in the input queue: once the first of them are in, the port may
// rest until the others can have come at the line's rate. 0 ends the wait.
void ExpectComBytes(int port, int count);
int GetOutQLen(int port); // bytes written but not yet sent
int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter,
                       ComCallbackPtr callback, void *callbackData);
// Maps a port number to a device (the --com N=DEVICE option); an empty name
// takes the mapping back.
void SetComDevice(int port, const char *device);
// The device SetComDevice set for a port number: 1 and its name (at most 260
// characters), or 0 when none was set.
int GetComDevice(int port, char device[]);
// Port numbers without a device of their own are asked of this lookup (the
// serial ports found on the machine); where it has none (returns 0) they use
// the platform default, /dev/ttyS{N-1} or COMN.
using ComDeviceLookup = int (*)(int port, char device[]);
void SetComDeviceLookup(ComDeviceLookup lookup);
// Why the last open of a port failed and what helps, e.g. "Permission denied
// on /dev/ttyUSB0: add your user to the dialout group ..."; empty after a
// successful open. Returns the text's length.
int GetComOpenProblem(int port, char text[]);
// Called when a port closes by itself because its device went away (an
// adapter unplugged, a line hung up), never for CloseCom. One callback;
// nullptr takes it away.
using ComLostCallback = void (*)(int port);
void SetComLostCallback(ComLostCallback callback);
// The device the last open of a port used or tried ("/dev/ttyUSB0"): 1 and
// its name (at most 260 characters), or 0 when the port was never opened.
int GetComOpenDevice(int port, char device[]);

// ---- time, formatting, files ---------------------------------------------------
double Timer(void);
// Supports the one format the program uses, "%72c<%36i": every integer of
// `values` becomes one character, its low byte.
int Fmt(char *target, const char *format, const int *values);
constexpr int VAL_OK_BUTTON = 0;
constexpr int VAL_LOAD_BUTTON = 3;
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileName,
                    const char *fileTypeList, const char *title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char pathName[]);
constexpr int VAL_ASCII = 1;
constexpr int VAL_TRUNCATE = 0;
int ArrayToFile(const char *fileName, const void *array, int dataType, int numElements,
                int numGroups, int groupOrder, int layout, int separator, int fieldWidth,
                int fileType, int fileAction);
int FileToArray(const char *fileName, void *array, int dataType, int numElements, int numGroups,
                int groupOrder, int layout, int fileType);
// Why the last ArrayToFile or FileToArray failed (-2), in the system's
// words: "No such file or directory", "Permission denied", "No space left on
// device", "not a regular file" (a FIFO, a device or a folder, refused
// without waiting for it). Empty after one that worked or that failed on
// the file's content (-3).
const char *GetFileProblem(void);
