// The user's settings store, shared by the window program and the back ends (which read the
// engine process's limits from it).
#pragma once

#include <memory>

class QSettings;

namespace vx {

// The user's settings: on Windows the per-user registry key that the program has always
// used (HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Vormex), elsewhere the
// user's configuration folder (~/.config/Vormex/Vormex.conf).
std::unique_ptr<QSettings> OpenUserSettings();

}  // namespace vx
