#include "WindowRunHost.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

#include "StatusBar.h"
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
                             search::SearchPump& pump)
    : c_(controls), stopRequested_(stopRequested), pump_(pump) {}

int WindowRunHost::RowCount() {
    return c_.ListView1->Model().Count();
}

std::string WindowRunHost::RowFileName(int row) {
    return search::ToFileSystemPath(c_.ListView1->Model().Row(row).FileName);
}

std::string WindowRunHost::RowPath(int row) {
    return search::ToFileSystemPath(c_.ListView1->Model().Row(row).Path);
}

bool WindowRunHost::RowSelected(int row) {
    return c_.ListView1->IsSelected(row);
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

std::string WindowRunHost::CopiesText() {
    return c_.Text2->text().toStdString();
}

int WindowRunHost::LayoutsValue() {
    switch (c_.chkLayouts->checkState()) {
        case Qt::Unchecked:
            return 0;
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;  // grayed
    }
    return 0;
}

std::string WindowRunHost::FolderPath() {
    return search::ToFileSystemPath(c_.Dir1->Path());
}

void WindowRunHost::KeepAlive() {
    pump_.Pump();
}

}  // namespace vx::app
