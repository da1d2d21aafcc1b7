// The keys of the program's settings (QSettings), all in one place.
#pragma once

namespace window::settings_keys {

// Where the user last moved the CCD settings window (top-left of its frame).
inline constexpr char CCD_WINDOW_POS[] = "ccdSettingsWindow/position";
// Where the user last moved the compare window (top-left of its frame).
inline constexpr char COMPARE_WINDOW_POS[] = "compareWindow/position";
// The main window's size, position and maximised state (QWidget::saveGeometry).
inline constexpr char MAIN_WINDOW_GEOMETRY[] = "mainWindow/geometry";
// The graph Export graph... offered last (its index: edge graph, trend chart, video graph).
inline constexpr char EXPORT_GRAPH[] = "export/graph";
// Whether exported pictures carry a caption.
inline constexpr char EXPORT_CAPTION[] = "export/caption";
// The folder of the parameter file last picked in a file dialog.
inline constexpr char LAST_FILE_FOLDER[] = "parameterFiles/lastFolder";
// View > Trend and video side by side: checked or not.
inline constexpr char SIDE_BY_SIDE[] = "view/trendAndVideoSideBySide";
// File > Publish to broker: what the dialog held last; never the password.
inline constexpr char BROKER_URL[] = "broker/url";
inline constexpr char BROKER_NAME[] = "broker/name";
inline constexpr char BROKER_USER[] = "broker/user";
inline constexpr char BROKER_CA_FILE[] = "broker/caFile";
inline constexpr char BROKER_VIDEO[] = "broker/video";
// The devices picked with "Other device..." in the COM selector, newest last.
inline constexpr char OTHER_DEVICES[] = "ports/otherDevices";

// View > Theme: the theme last picked.
inline constexpr char THEME[] = "view/theme";

} // namespace window::settings_keys
