// ListView1: the report view of the drawing list, with the list's own mouse and keyboard
// rules. Rows are selected by row, several at a time (Shift, Ctrl).
#pragma once

#include <QPoint>
#include <QTreeView>

#include "search/DrawingListModel.h"

namespace vx::search {

class DrawingListView : public QTreeView {
    Q_OBJECT
public:
    explicit DrawingListView(QWidget* parent = nullptr);

    DrawingListModel& Model() { return model_; }
    const DrawingListModel& Model() const { return model_; }

    // The row that has the focus (VB's SelectedItem), or -1.
    int SelectedItem() const;
    bool IsSelected(int row) const;
    // Selects every row, the focused row unchanged; nothing for an empty list.
    void SelectAllRows();

    // The handlers, public so that the window's own code may raise them too.
    void ListView1_ColumnClick(int column);
    // `keyCode` in Windows virtual-key codes (A = 65, Up = 38, Down = 40).
    void ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void ListView1_KeyPress(int charCode);

signals:
    // A click in the list, and the Up or Down arrow key before the selection moves: the
    // preview is to show the focused row's drawing (see PreviewRefresh).
    void PreviewRefreshRequested();
    // The right button alone pressed over the list: the print popup opens here.
    void PrintPopupRequested(const QPoint& globalPosition);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ShowSortIndicator();

    DrawingListModel model_;
};

// The Windows virtual-key code of a key event's key, 0 for keys the list does not use.
int VirtualKeyCode(int qtKey);

}  // namespace vx::search
