// The CAD application as vormex-cli reaches it: the window's own connection (attach to a
// running instance or start one), with the terminal standing in for the window. Status
// texts and messages go to standard error; hiding and showing the window do nothing; the
// end of the program becomes exit status 3.
#pragma once

#include <string>
#include <vector>

#include "cad/CadConnection.h"
#include "cad/ClassRegistry.h"
#include "cli/Command.h"
#include "ui/UserServices.h"

namespace vx::cli {

inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoCad = 3;
// Every drawing was plotted, but some page came out blank or a drawing was damaged.
inline constexpr int kExitPlottedWithWarnings = 4;

// The registry with the back ends the window program uses (registered on first use).
const cad::ClassRegistry& ProgramBackEnds();

// A message or status text as one or more terminal lines: the CR LF breaks of the
// program's texts become line ends, blank lines and edge blanks are dropped.
QString TerminalLines(const std::string& text);

class CadSession : public cad::ConnectionHost,
                   public MessageService,
                   public PointerService,
                   public BeepService {
public:
    // `command` names the command in what is written to standard error.
    CadSession(CommandIo& io, const cad::ClassRegistry& registry, QString command);
    // Closes the drawings this session opened, without saving, and quits the CAD
    // application when the session started it.
    ~CadSession() override;
    CadSession(const CadSession&) = delete;
    CadSession& operator=(const CadSession&) = delete;

    // Connects; false when no CAD application could be reached or started (its message
    // is on standard error then).
    bool Connect();
    cad::CadConnection& Connection() { return connection_; }
    // The active drawing, made one that this session opened so that changes to its
    // plot settings touch nothing of the user's.
    cad::Ref<cad::AcadDocument> OwnDrawing();
    // The layout of the active drawing's model space, where the window's lists come
    // from; RefreshPlotDeviceInfo done.
    cad::Ref<cad::AcadLayout> ModelLayout();

    // The entries of the window's three lists as its first fill (FillPlotLists) leaves
    // them, on a drawing of this session's own; no placeholder texts.
    struct Lists {
        std::vector<std::string> devices, papers, styles;
    };
    Lists FillLists();
    // The entries of the window's paper list as FillPaperList leaves them.
    std::vector<std::string> FillPaperList();

    // Whether a status text is shown as it comes (on a terminal only).
    bool showStatus = false;

    // ConnectionHost
    void SetStatus(const std::string& text) override;
    void HideMainWindow() override {}
    void ShowMainWindow() override {}
    void EndProgram() override { ended_ = true; }
    bool Ended() const { return ended_; }

    // MessageService: written to standard error; answers OK.
    MsgResult Show(const Message& message) override;
    // PointerService, BeepService: nothing to show on a terminal.
    void SetPointer(Pointer) override {}
    void Beep() override {}

    void Finish();

private:
    CommandIo& io_;
    QString command_;
    cad::CadConnection connection_;
    bool ended_ = false;
    bool finished_ = false;
};

}  // namespace vx::cli
