// Hooks that let tests answer the run-time's dialogs without a person.
#pragma once

#include <functional>
#include <string>

struct FileSelectRequest {
    std::string directory;
    std::string defaultName;
    std::string fileTypes;
    std::string title;
    int buttonLabel = 0;
    bool restrictExtension = false;
};

// The hook returns what FileSelectPopup returns (positive: a file was chosen,
// 0: cancelled) and fills `chosenPath`. An empty hook restores the real dialog.
using FileSelectHook = std::function<int(const FileSelectRequest &, std::string &chosenPath)>;
void SetFileSelectHook(FileSelectHook hook);

// Sees every write to a port and every discard of its output queue, with the
// run-time's clock: a pseudo-terminal sends at once, so whether a discard
// would cut bytes still on their way on a real line is judged from these.
struct SerialOutputEvent {
    enum Kind { Write, Discard } kind;
    int port;
    std::string bytes; // what was written
    double time;       // Timer()
};
using SerialOutputObserver = std::function<void(const SerialOutputEvent &)>;
void SetSerialOutputObserver(SerialOutputObserver observer);

// Stands in for the driver when an opening port asks for low latency: it is
// called with the port's descriptor, TIOCGSERIAL or TIOCSSERIAL and the
// driver's serial_struct, and returns what ioctl would (-1 with errno set for
// a refusal). An empty hook restores the driver.
using SerialDriverHook = std::function<int(int fd, unsigned long request, void *serial)>;
void SetSerialDriverHook(SerialDriverHook hook);

// Forgets every callback name registered so far.
void ClearRegisteredCallbacks();
