#include "search/widgets/WindowSearch.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"
#include "search/widgets/DwgThumbnail.h"
#include "search/widgets/FolderTree.h"

namespace vx::search {

QString StatusDisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

WindowSearch::WindowSearch(const Controls& controls, PointerService& pointer, bool& stopRequested,
                           std::function<int()> printerCount, std::function<void()> fillPlotLists,
                           QObject* parent)
    : QObject(parent),
      c_(controls),
      pointer_(pointer),
      stopRequested_(stopRequested),
      printerCount_(std::move(printerCount)),
      fillPlotLists_(std::move(fillPlotLists)),
      pump_(controls.cmdAction),
      search_(std::make_unique<FileSearch>(static_cast<SearchHost&>(*this))) {
    FileSearch* s = search_.get();
    if (c_.PicBrowseTree && c_.Dir1) {
        connect(c_.PicBrowseTree, &FolderTree::PathChange, this,
                [this] { Run([this] { PathChange(*c_.Dir1, c_.PicBrowseTree->BrowsePath); }); });
    }
    if (c_.Dir1) {
        connect(c_.Dir1, &DirListBox::Change, this, [this, s] { Run([s] { s->Dir1_Change(); }); });
        connect(c_.Dir1, &DirListBox::Click, this, [this, s] { Run([s] { s->Dir1_Click(); }); });
    }
    if (c_.Check1) {
        // A change of the value by the user or by the program is a click.
        connect(c_.Check1, &QCheckBox::stateChanged, this,
                [this, s] { Run([s] { s->Check1_Click(); }); });
        c_.Check1->installEventFilter(this);
    }
    if (c_.cmdAction) {
        connect(c_.cmdAction, &QAbstractButton::clicked, this,
                [this, s] { Run([this, s] { s->cmdAction_Click(c_.cmdAction->text()); }); });
    }
    if (c_.ListView1 && c_.DwgThumbnail1) {
        connect(c_.ListView1, &DrawingListView::PreviewRefreshRequested, this,
                [this] { Run([this] { PreviewRefresh(*c_.ListView1, *c_.DwgThumbnail1); }); });
    }
}

WindowSearch::~WindowSearch() {
    if (c_.Check1) {
        c_.Check1->removeEventFilter(this);
    }
}

bool WindowSearch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c_.Check1 && event->type() == QEvent::KeyPress) {
        const int keyCode = VirtualKeyCode(static_cast<QKeyEvent*>(event)->key());
        Run([this, keyCode] { search_->Check1_KeyDown(keyCode); });
    }
    return QObject::eventFilter(watched, event);
}

void WindowSearch::Run(const std::function<void()>& handler) {
    if (boundary_) {
        boundary_(handler);
    } else {
        handler();
    }
}

void WindowSearch::AddRow(const DrawingRow& row) {
    c_.ListView1->Model().AddRow(row);
}

void WindowSearch::ClearRows() {
    c_.ListView1->Model().Clear();
}

int WindowSearch::RowCount() const {
    return c_.ListView1->Model().Count();
}

QString WindowSearch::FirstRowPath() const {
    const DrawingListModel& m = c_.ListView1->Model();
    return m.Count() > 0 ? m.Row(0).Path : QString();
}

void WindowSearch::SortRows() {
    c_.ListView1->Model().SetSorted(true);
}

void WindowSearch::SetStatus(const QString& text) {
    if (!c_.Status) {
        return;
    }
    c_.Status->setText(StatusDisplayText(text));
    // Painted at once, but not more often than the eye follows: a synchronous repaint
    // also paints whatever else waits (the growing list), which per folder of a large
    // tree would cost more than the search itself. A text set in between is painted by
    // the next pump or when the search ends.
    if (!statusPainted_.isValid() || statusPainted_.elapsed() >= kStatusRepaintMs) {
        c_.Status->repaint();
        statusPainted_.start();
    }
}

void WindowSearch::SetFoundLabel(const QString& text) {
    if (c_.Label1) {
        c_.Label1->setText(text);
    }
}

QString WindowSearch::DirPath() const {
    return c_.Dir1->Path();
}

QString WindowSearch::Pattern() const {
    return c_.Text1 ? c_.Text1->text() : QStringLiteral("*.DWG");
}

bool WindowSearch::IncludeSubfolders() const {
    return c_.Check1 && c_.Check1->checkState() != Qt::Unchecked;
}

void WindowSearch::UntickIncludeSubfolders() {
    if (c_.Check1) {
        c_.Check1->setChecked(false);  // runs Check1_Click when it was ticked
    }
}

void WindowSearch::EnablePrintAll() {
    if (c_.Command2) {
        c_.Command2->setEnabled(true);
    }
}

int WindowSearch::TextWidth(const QString& text) const {
    return c_.Form1 ? c_.Form1->fontMetrics().horizontalAdvance(text) : 0;
}

void WindowSearch::SetDirHorizontalExtent(int pixels) {
    c_.Dir1->SetHorizontalExtent(pixels);
}

}  // namespace vx::search
