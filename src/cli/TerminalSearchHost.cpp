#include "cli/TerminalSearchHost.h"

namespace vx::cli {

TerminalSearchHost::TerminalSearchHost(QString folder, QString pattern, bool recursive,
                                       RowSink onRow)
    : folder_(std::move(folder)),
      pattern_(std::move(pattern)),
      recursive_(recursive),
      onRow_(std::move(onRow)) {}

void TerminalSearchHost::FindFiles() {
    search::FileSearch search(*this);
    search.cmdAction_Click(QString::fromLatin1(search::kFindFilesCaption));
}

void TerminalSearchHost::AddRow(const search::DrawingRow& row) {
    if (rows_ == 0) {
        firstPath_ = row.Path;
    }
    ++rows_;
    onRow_(row);
}

// Nothing has been passed on before the search starts.
void TerminalSearchHost::ClearRows() {
    rows_ = 0;
    firstPath_.clear();
}

}  // namespace vx::cli
