#include "app/ShellRules.h"

#include "cad/CadConnection.h"

namespace vx::app {

std::string StartupStatusText() {
    return std::string(kCrLf) + "Click " + '"' + "Select a Folder" + '"' +
           " Button or use the Directroy list to Select your drawing's Folder.";
}

void CloseCadAtExit(cad::CadConnection& connection) {
    if (!connection.CadApp) {
        return;
    }
    try {
        connection.CloseOpenDrawings();
    } catch (const cad::CadError&) {
        // The CAD application was closed or stopped answering: nothing left to close.
    }
    if (connection.CadStartedHere) {
        connection.QuitCad();
    }
}

}  // namespace vx::app
