// The one connection to the CAD application: attach to a running instance or start
// one, and quit it at the end only when the program started it.
#pragma once

#include <set>
#include <string>

#include "cad/Automation.h"
#include "cad/ClassRegistry.h"
#include "ui/UserServices.h"

namespace vx::cad {

// What the connection needs of the main window.
class ConnectionHost {
public:
    virtual ~ConnectionHost() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void HideMainWindow() = 0;
    virtual void ShowMainWindow() = 0;
    // Closes the main window (its unload sequence runs) and ends the program.
    virtual void EndProgram() = 0;
};

// Thrown by ConnectCad after the program was ended because no CAD application could
// be reached or started: nothing further may run, so it unwinds to the event loop.
class ProgramEnded : public std::exception {
public:
    const char* what() const noexcept override { return "the program has ended"; }
};

class CadConnection {
public:
    CadConnection(ConnectionHost& host, MessageService& messages,
                  const ClassRegistry& registry = ClassRegistry::Default());

    // Afterwards CadApp is present, in multiple-drawing mode, with at least one drawing
    // open. When no CAD application can be reached or started, shows the message,
    // ends the program and throws ProgramEnded.
    void ConnectCad();
    // Tells the CAD application to quit (errors ignored) and releases CadApp.
    void QuitCad();
    // ConnectCad when CadApp is absent: the guard at the top of every CAD procedure.
    void EnsureConnected() {
        if (!CadApp) {
            ConnectCad();
        }
    }

    // Closes the drawings open in the CAD application without saving, except one the
    // program did not open itself that has unsaved changes: that one stays open.
    void CloseOpenDrawings();

    // Remembers a drawing that the program opened or created itself, so that closing
    // it without saving never discards the user's work.
    void NoteOpenedHere(AcadDocument& doc);
    bool OpenedHere(AcadDocument& doc);
    // True when closing `doc` without saving loses nothing the user made: the program
    // opened it, or it has no unsaved changes ("DBMOD" is 0).
    bool MayDiscard(AcadDocument& doc);
    // Closes `doc` without saving when MayDiscard allows it and forgets that the program
    // opened it. False when the drawing was kept; a failing close throws CadError.
    bool CloseWithoutSaving(AcadDocument& doc);

    Ref<AcadApplication> CadApp;
    bool CadStartedHere = false;

private:
    static std::string Key(AcadDocument& doc);

    ConnectionHost& host_;
    MessageService& messages_;
    const ClassRegistry& registry_;
    // One entry per drawing opened here and not yet closed by the program.
    std::multiset<std::string> openedHere_;
};

// The message box shown when no CAD application can be reached or started.
Message CouldNotStartMessage();

}  // namespace vx::cad
