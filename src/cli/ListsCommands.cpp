// The plot device, paper and plot style table lists of the window, on a terminal.
//
// `devices` and `styles` fill the lists through the window's own FillPlotLists and print
// their entries: no placeholder text. `papers DEVICE` configures the model layout of a
// drawing of the command's own for DEVICE (the window's paper list reads the device the
// layout is configured for) and prints every canonical paper name of DEVICE; with
// --as-listed it prints the paper list exactly as the window's FillPaperList fills it,
// the fixed "A0", "A1", "A4", "A3" first and then the names that pass its filter.
#include "cli/ListsCommands.h"

#include "cli/CadSession.h"
#include "cli/TerminalText.h"
#include "search/FileSystemPath.h"

namespace vx::cli {

namespace {

void PrintNames(CommandIo& io, const std::vector<std::string>& names) {
    for (const auto& n : names) {
        WriteExact(io.out, Field(search::FromFileSystemPath(n)) + QLatin1Char('\n'));
    }
    io.out.flush();
}

// Runs `body` on a connected session; the exit status of the command.
template <class F>
int WithSession(CommandIo& io, const cad::ClassRegistry& registry, const QString& command,
                F&& body) {
    CadSession session(io, registry, command);
    session.showStatus = io.errTerminal;
    if (!session.Connect()) {
        return kExitNoCad;
    }
    try {
        return body(session);
    } catch (const cad::ProgramEnded&) {
        return kExitNoCad;
    } catch (const cad::CadError& e) {
        io.err << "vormex-cli " << command << ": " << QString::fromStdString(e.Description())
               << '\n';
        return 1;
    }
}

int NoArguments(const QStringList& args, CommandIo& io, const char* command) {
    io.err << "vormex-cli " << command << ": unexpected argument " << args.front()
           << "\nusage: vormex-cli " << command << '\n';
    return kExitUsage;
}

}  // namespace

int RunDevices(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry) {
    if (!args.isEmpty()) {
        return NoArguments(args, io, "devices");
    }
    return WithSession(io, registry, QStringLiteral("devices"), [&](CadSession& session) {
        PrintNames(io, session.FillLists().devices);
        return 0;
    });
}

int RunStyles(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry) {
    if (!args.isEmpty()) {
        return NoArguments(args, io, "styles");
    }
    return WithSession(io, registry, QStringLiteral("styles"), [&](CadSession& session) {
        PrintNames(io, session.FillLists().styles);
        return 0;
    });
}

int RunPapers(const QStringList& args, CommandIo& io, const cad::ClassRegistry& registry) {
    constexpr char kUsage[] = "usage: vormex-cli papers DEVICE [--as-listed]\n";
    QString device;
    bool asListed = false;
    bool haveDevice = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--as-listed")) {
            asListed = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            io.err << "vormex-cli papers: unknown option " << a << '\n' << kUsage;
            return kExitUsage;
        } else if (!haveDevice) {
            device = a;
            haveDevice = true;
        } else {
            io.err << "vormex-cli papers: one device only\n" << kUsage;
            return kExitUsage;
        }
    }
    if (!haveDevice) {
        io.err << "vormex-cli papers: no device given\n" << kUsage;
        return kExitUsage;
    }
    return WithSession(io, registry, QStringLiteral("papers"), [&](CadSession& session) {
        const std::string name = search::ToFileSystemPath(device);
        auto layout = session.ModelLayout();
        try {
            layout->SetConfigName(name);
        } catch (const cad::CadError& e) {
            io.err << "vormex-cli papers: " << QString::fromStdString(e.Description())
                   << "\n(vormex-cli devices lists the plot devices)\n";
            return kExitUsage;
        }
        layout->RefreshPlotDeviceInfo();
        if (asListed) {
            PrintNames(io, session.FillPaperList());
        } else {
            PrintNames(io, layout->GetCanonicalMediaNames());
        }
        return 0;
    });
}

namespace {

int Devices(const QStringList& args, CommandIo& io) {
    return RunDevices(args, io, ProgramBackEnds());
}
int Papers(const QStringList& args, CommandIo& io) {
    return RunPapers(args, io, ProgramBackEnds());
}
int Styles(const QStringList& args, CommandIo& io) {
    return RunStyles(args, io, ProgramBackEnds());
}

}  // namespace

constexpr char kDevicesHelp[] =
    R"(Prints the plot devices of the window's device list, one per line: the plotter
configurations (.pc3) of the program's and the user's plotters folders and the system's
printers.
)";

constexpr char kPapersHelp[] = R"(Prints every canonical paper name of DEVICE, one per line.

  --as-listed        print the window's paper list for a drawing set up for DEVICE
                     instead: the fixed A0, A1, A4, A3 first, then the names its filter
                     lets through (among the first 30, those with an upper-case A)
)";

constexpr char kStylesHelp[] =
    R"(Prints the plot style tables of the window's style list, one per line: the .ctb and
.stb files of the program's and the user's plotstyles folders.
)";

extern const Command kDevicesCommand;
const Command kDevicesCommand{
    "devices",
    "",
    "print the plot devices the window's device list is filled from, one per line",
    true,
    &Devices,
    kDevicesHelp};
extern const Command kPapersCommand;
const Command kPapersCommand{"papers",
                             "DEVICE [--as-listed]",
                             "print the canonical paper names of DEVICE, one per line (with "
                             "--as-listed: the paper list as the window fills it)",
                             true,
                             &Papers,
                             kPapersHelp};
extern const Command kStylesCommand;
const Command kStylesCommand{
    "styles",
    "",
    "print the plot style tables the window's style list is filled from, one per line",
    true,
    &Styles,
    kStylesHelp};

}  // namespace vx::cli
