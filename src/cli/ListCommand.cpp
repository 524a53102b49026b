// vormex-cli list DIR [--pattern P] [--recursive]: the rows the window's search lists for
// DIR, tab-separated, in search order, with the same texts.
#include <QIODevice>

#include "Command.h"
#include "search/FileSearch.h"
#include "search/FileSystemPath.h"
#include "search/FolderListing.h"

namespace vx::cli {

namespace {

constexpr char kUsage[] = "DIR [--pattern P] [--recursive]";

// Writes text as the file system's bytes, so that a name that is no valid text comes out
// byte for byte (a stream without a device gets the text itself).
void WriteExact(QTextStream& out, const QString& text) {
    if (QIODevice* device = out.device()) {
        out.flush();
        const std::string bytes = search::ToFileSystemPath(text);
        device->write(bytes.data(), static_cast<qint64>(bytes.size()));
    } else {
        out << text;
    }
}

// A field may not break the line or the columns: TAB, LF and CR are written as \t, \n, \r.
QString Field(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

class NoPointer : public PointerService {
  public:
    void SetPointer(Pointer) override {}
};

// The search host of a terminal: rows go to standard output as they are found; status
// texts, the pointer, the plot lists and the window's widgets do not exist here.
class TerminalSearchHost : public search::SearchHost {
  public:
    TerminalSearchHost(QTextStream& out, QString folder, QString pattern, bool recursive)
        : out_(out),
          folder_(std::move(folder)),
          pattern_(std::move(pattern)),
          recursive_(recursive) {}

    void AddRow(const search::DrawingRow& row) override {
        QString line;
        for (int c = 0; c < search::DrawingRow::kColumns; ++c) {
            line += (c ? QStringLiteral("\t") : QString()) + Field(row.Column(c));
        }
        WriteExact(out_, line + QLatin1Char('\n'));
        if (rows_ == 0) {
            firstPath_ = row.Path;
        }
        ++rows_;
    }
    void ClearRows() override {}  // nothing is printed before the search starts
    int RowCount() const override { return rows_; }
    QString FirstRowPath() const override { return firstPath_; }
    void SortRows() override {}
    void SetStatus(const QString&) override {}
    void SetFoundLabel(const QString&) override {}
    QString DirPath() const override { return folder_; }
    QString Pattern() const override { return pattern_; }
    bool IncludeSubfolders() const override { return recursive_; }
    void UntickIncludeSubfolders() override { recursive_ = false; }
    bool StopRequested() const override { return stop_; }
    void SetStopRequested(bool value) override { stop_ = value; }
    PointerService& MousePointer() override { return pointer_; }
    int PrinterCount() const override { return 2; }  // no plot lists to fill
    void FillPlotLists() override {}
    void EnablePrintAll() override {}
    int TextWidth(const QString&) const override { return 0; }
    void SetDirHorizontalExtent(int) override {}
    void KeepAlive() override {}

  private:
    QTextStream& out_;
    QString folder_;
    QString pattern_;
    bool recursive_;
    bool stop_ = false;
    int rows_ = 0;
    QString firstPath_;
    NoPointer pointer_;
};

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
    TerminalSearchHost host(io.out, dirPath, pattern, recursive);
    search::FileSearch search(host);
    search.cmdAction_Click(QString::fromLatin1(search::kFindFilesCaption));
    io.out.flush();
    if (host.RowCount() == 0) {
        io.err << search::kNoFilesFound << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

extern const Command kListCommand;
const Command kListCommand{"list", kUsage,
                           "print the drawings the search lists in DIR, one per line: name, "
                           "folder, type, size, date (tab-separated)",
                           false, &RunList};

}  // namespace vx::cli
