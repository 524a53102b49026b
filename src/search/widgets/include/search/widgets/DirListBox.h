// Dir1: a directory list box. It shows the folder `Path` with its ancestors above it and
// its visible subfolders below it, indented by level. A double click (or Enter) opens
// the entry's folder, which changes Path and raises Change; a single click only selects
// the entry and raises Click.
#pragma once

#include <QListWidget>

namespace vx::search {

class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    // The folder shown: absolute, native separators, no trailing separator but on a root.
    const QString& Path() const { return path_; }
    // Moves to `folder` and raises Change when it is another folder than the one shown.
    // False, with everything left as it was, when `folder` is no folder.
    bool SetPath(const QString& folder);

    // The folder of the entry at `row` (ancestors, the folder itself, subfolders).
    QString EntryPath(int row) const;

    // The horizontal scroll extent in pixels; setting it also shows the horizontal bar.
    void SetHorizontalExtent(int pixels);
    int HorizontalExtent() const { return extent_; }

    static constexpr int kIndent = 12;

signals:
    void Change();  // Dir1_Change
    void Click();   // Dir1_Click

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void updateGeometries() override;

private:
    void Fill();
    void Open(QListWidgetItem* item);

    QString path_;
    int extent_ = 0;
};

}  // namespace vx::search
