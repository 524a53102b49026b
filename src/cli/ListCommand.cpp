// vormex-cli list DIR [--pattern P] [--recursive]: the rows the window's search lists for
// DIR, tab-separated, in search order, with the same texts.
#include "cli/Command.h"
#include "cli/TerminalSearchHost.h"
#include "cli/TerminalText.h"
#include "search/FileSearch.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

namespace {

constexpr char kUsage[] = "DIR [--pattern P] [--recursive]";

constexpr char kHelp[] =
    R"(Lists the drawings of DIR as the window's search lists them: one line per drawing with
its name, folder, file type, size and date, separated by tabs, in the order the search
finds them.

  --pattern P        the file pattern, * and ? as wildcards, letter case ignored
                     (default *.DWG)
  --recursive        search the subfolders too
)";

int UsageError(CommandIo& io, const QString& message) {
    io.err << "vormex-cli list: " << message << "\nusage: vormex-cli list " << kUsage << '\n';
    return 2;
}

int RunList(const QStringList& args, CommandIo& io) {
    QString folder;
    QString pattern = QStringLiteral("*.DWG");
    bool recursive = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--recursive")) {
            recursive = true;
        } else if (a == QLatin1String("--pattern")) {
            if (i + 1 >= args.size()) {
                return UsageError(io, QStringLiteral("--pattern needs a pattern"));
            }
            pattern = args[++i];
        } else if (a.startsWith(QLatin1String("--pattern="))) {
            pattern = a.mid(10);
        } else if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            return UsageError(io, QStringLiteral("unknown option ") + a);
        } else if (folder.isEmpty()) {
            folder = a;
        } else {
            return UsageError(io, QStringLiteral("one folder only"));
        }
    }
    if (folder.isEmpty()) {
        return UsageError(io, QStringLiteral("no folder given"));
    }
    const QString dirPath = search::NormalizeFolderPath(folder);
    if (!search::IsFolder(dirPath)) {
        io.err << "vormex-cli list: not a folder: " << folder << '\n';
        return 2;
    }
    TerminalSearchHost host(dirPath, pattern, recursive, [&io](const search::DrawingRow& row) {
        QString line;
        for (int c = 0; c < search::DrawingRow::kColumns; ++c) {
            line += (c ? QStringLiteral("\t") : QString()) + Field(row.Column(c));
        }
        WriteExact(io.out, line + QLatin1Char('\n'));
    });
    host.FindFiles();
    io.out.flush();
    if (host.RowCount() == 0) {
        io.err << search::kNoFilesFound << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

extern const Command kListCommand;
const Command kListCommand{"list",
                           kUsage,
                           "print the drawings the search lists in DIR, one per line: name, "
                           "folder, type, size, date (tab-separated)",
                           false,
                           &RunList,
                           kHelp};

}  // namespace vx::cli
