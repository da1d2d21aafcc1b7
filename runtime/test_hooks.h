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

// Forgets every callback name registered so far.
void ClearRegisteredCallbacks();
