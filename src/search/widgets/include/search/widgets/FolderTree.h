// The folder tree hosted by PicBrowse: the file system's folders (hidden ones left out),
// filling its host whenever the host is resized. Every selection change sets BrowsePath
// to the selected folder and raises PathChange.
#pragma once

#include <QPointer>
#include <QTreeView>

class QFileSystemModel;

namespace vx::search {

class DirListBox;

class FolderTree : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* host);

    // Shows the tree in the host (AttachFolderTree) and selects `startFolder`, which
    // raises PathChange like any selection.
    void BrowseForFolder(const QString& startFolder);

    // Moves the tree into `host` and fits it to the host's inner area.
    void AttachFolderTree(QWidget* host);
    void FitFolderTree(int x, int y, int width, int height);
    // The host's resize: refit to its inner area.
    void PicBrowse_Resize();
    // The window closes: no further selection reaches PathChange.
    void ReleaseFolderTree();

    // Selects `folder` in the tree (the view scrolls to it). False when the tree has no
    // item for it.
    bool SelectFolder(const QString& folder);

    // The folder of the item last selected ("" for an item without a file-system path).
    QString BrowsePath;

    QFileSystemModel& Model() { return *model_; }

signals:
    void PathChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnSelection();

    QFileSystemModel* model_;
    QPointer<QWidget> host_;
    bool released_ = false;
    // A folder chosen by the program is kept in view until the user moves the tree.
    bool scrollPending_ = false;
};

// PathChange: Dir1's folder := BrowsePath. A BrowsePath that is no folder (an item
// without a file-system path) leaves Dir1 as it was.
void PathChange(DirListBox& dir1, const QString& browsePath);

}  // namespace vx::search
