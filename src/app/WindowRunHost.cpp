#include "app/WindowRunHost.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

#include "app/StatusBar.h"
#include "search/FileSystemPath.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"
#include "search/widgets/SearchPump.h"
#include "search/widgets/WindowSearch.h"

namespace vx::app {

QString StatusLineText(const std::string& text) {
    return search::StatusDisplayText(search::FromFileSystemPath(text));
}

WindowRunHost::WindowRunHost(const Controls& controls, bool& stopRequested,
                             search::SearchPump& pump, PointerService& pointer,
                             MessageService& messages)
    : RunDisplay(pointer, messages), c_(controls), stopRequested_(stopRequested), pump_(pump) {}

plot::PlotRequest WindowRunHost::Request(const plot::RunShape& shape,
                                         const plot::PlotChoices& choices) {
    plot::PlotRequest r;
    r.shape = shape;
    r.choices = choices;
    r.layouts = c_.chkLayouts->checkState() != Qt::Unchecked;
    const auto& model = c_.ListView1->Model();
    for (int row = model.Count() - 1; row >= 0; --row) {
        // The drawing's full path: the Path text (ending with a separator), then the name.
        r.rows.push_back({search::ToFileSystemPath(model.Row(row).Path) +
                              search::ToFileSystemPath(model.Row(row).FileName),
                          !shape.selectedOnly || c_.ListView1->IsSelected(row)});
    }
    return r;
}

int WindowRunHost::RowCount() {
    return c_.ListView1->Model().Count();
}

void WindowRunHost::SetStatus(const std::string& text) {
    c_.Status->setText(StatusLineText(text));
}

void WindowRunHost::RepaintStatus() {
    c_.Status->repaint();
}

std::string WindowRunHost::PanelText() {
    return c_.sbStatusBar->PanelText(kStatePanel).toStdString();
}

void WindowRunHost::SetPanelText(const std::string& text) {
    c_.sbStatusBar->SetPanelText(kStatePanel, QString::fromStdString(text));
}

void WindowRunHost::SetProgress(float value) {
    const int whole = static_cast<int>(std::lround(value));
    c_.ProgressBar1->setValue(
        std::clamp(whole, c_.ProgressBar1->minimum(), c_.ProgressBar1->maximum()));
}

std::string WindowRunHost::FolderPath() {
    return search::ToFileSystemPath(c_.Dir1->Path());
}

void WindowRunHost::KeepAlive() {
    pump_.Pump();
}

}  // namespace vx::app
