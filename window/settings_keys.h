// The keys of the program's settings (QSettings), all in one place.
#pragma once

namespace window::settings_keys {

// Where the user last moved the CCD settings window (top-left of its frame).
inline constexpr char CCD_WINDOW_POS[] = "ccdSettingsWindow/position";
// The folder of the parameter file last picked in a file dialog.
inline constexpr char LAST_FILE_FOLDER[] = "parameterFiles/lastFolder";

} // namespace window::settings_keys
