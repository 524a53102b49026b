#include "search/widgets/FolderTree.h"

#include <QEvent>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

#include "search/FileSystemPath.h"
#include "search/widgets/DirListBox.h"

namespace vx::search {

FolderTree::FolderTree(QWidget* host) : QTreeView(host), model_(new QFileSystemModel(this)) {
    model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    model_->setReadOnly(true);
    model_->setRootPath(QString());
    setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c) {
        hideColumn(c);
    }
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAnimated(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FolderTree::OnSelection);
    // The model lists folders in the background, so a folder chosen by the program finds
    // its row's place only as the listings of its ancestors arrive and are sorted: it is
    // scrolled into view again with each, until the user moves the tree.
    const auto keepInView = [this] {
        if (scrollPending_) {
            scrollTo(currentIndex());
        }
    };
    connect(model_, &QFileSystemModel::directoryLoaded, this, keepInView);
    connect(model_, &QFileSystemModel::layoutChanged, this, keepInView);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { scrollPending_ = false; });
    if (host) {
        AttachFolderTree(host);
    }
}

void FolderTree::BrowseForFolder(const QString& startFolder) {
    BrowsePath = startFolder;
    if (host_) {
        AttachFolderTree(host_);
    }
    show();
    SelectFolder(startFolder);
}

void FolderTree::AttachFolderTree(QWidget* host) {
    if (host_ && host_ != host) {
        host_->removeEventFilter(this);
    }
    host_ = host;
    if (!host) {
        return;
    }
    if (parentWidget() != host) {
        setParent(host);
    }
    host->installEventFilter(this);
    PicBrowse_Resize();
}

void FolderTree::FitFolderTree(int x, int y, int width, int height) {
    setGeometry(x, y, width, height);
}

void FolderTree::PicBrowse_Resize() {
    if (!host_) {
        return;
    }
    const QRect inner = host_->contentsRect();
    FitFolderTree(inner.x(), inner.y(), inner.width(), inner.height());
}

void FolderTree::ReleaseFolderTree() {
    released_ = true;
    if (host_) {
        host_->removeEventFilter(this);
    }
    hide();
}

bool FolderTree::SelectFolder(const QString& folder) {
    const QModelIndex index = model_->index(QDir::fromNativeSeparators(folder));
    if (!index.isValid()) {
        return false;
    }
    // Set first: the selection starts a search, during which the listings may arrive.
    scrollPending_ = true;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) {
        expand(parent);
    }
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

bool FolderTree::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel) {
        scrollPending_ = false;
    }
    return QTreeView::viewportEvent(event);
}

void FolderTree::keyPressEvent(QKeyEvent* event) {
    scrollPending_ = false;
    QTreeView::keyPressEvent(event);
}

bool FolderTree::eventFilter(QObject* watched, QEvent* event) {
    if (watched == host_ && event->type() == QEvent::Resize) {
        PicBrowse_Resize();
    }
    return QTreeView::eventFilter(watched, event);
}

void FolderTree::OnSelection() {
    if (released_) {
        return;
    }
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return;
    }
    const QString path = model_->filePath(selected.first());
    BrowsePath = path.isEmpty() ? QString() : QDir::toNativeSeparators(path);
    emit PathChange();
}

void PathChange(DirListBox& dir1, const QString& browsePath) {
    dir1.SetPath(browsePath);  // no folder: Dir1 keeps its own
}

}  // namespace vx::search
