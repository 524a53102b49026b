// Small rules of the main window that need no window to be checked.
#pragma once

#include <string>

namespace vx::cad {
class CadConnection;
}

namespace vx::app {

inline constexpr char kMainCaption[] = "Vormex - AutoCAD Sheafrun Utility";
// The main window's client area below the menu bar, status bar included.
inline constexpr int kClientWidth = 624;
inline constexpr int kClientHeight = 398;
inline constexpr int kStatusBarHeight = 23;
// Where the folder tree's box stands in the client area.
inline constexpr int kPicBrowseLeft = 8;
inline constexpr int kPicBrowseTop = 8;
// The progress bar covers this status bar panel, this many pixels inside it.
inline constexpr int kProgressPanel = 2;
inline constexpr int kProgressMargin = 3;

// The status line's first text.
std::string StartupStatusText();

// At exit: closes the drawings open in the CAD application without saving (a drawing the
// program did not open that has unsaved changes stays open), then quits the CAD
// application when the program started it. A CAD application that no longer answers does
// not stop the exit.
void CloseCadAtExit(cad::CadConnection& connection);

}  // namespace vx::app
