#include "search/widgets/DrawingListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace vx::search {

namespace {
constexpr int kKeyA = 65;
constexpr int kKeyUp = 38;
constexpr int kKeyDown = 40;
constexpr int kCtrlA = 1;
}  // namespace

int VirtualKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return kKeyA + (qtKey - Qt::Key_A);
    }
    switch (qtKey) {
        case Qt::Key_Up:
            return kKeyUp;
        case Qt::Key_Down:
            return kKeyDown;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        default:
            return 0;
    }
}

DrawingListView::DrawingListView(QWidget* parent) : QTreeView(parent), model_(this) {
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);  // the column-click rule below sorts
    // The right button has its own popup; no context menu of the view's or its parent's.
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    setToolTip(QStringLiteral("Right click on Single or Multiple drawings to Print"));

    QHeaderView* h = header();
    h->setSectionsClickable(true);
    h->setSectionsMovable(false);
    h->setStretchLastSection(false);
    for (int c = 0; c < DrawingRow::kColumns; ++c) {
        h->resizeSection(c, DrawingListModel::HeaderWidth(c));
    }
    connect(h, &QHeaderView::sectionClicked, this, &DrawingListView::ListView1_ColumnClick);
    connect(&model_, &DrawingListModel::SortStateChanged, this,
            &DrawingListView::ShowSortIndicator);
}

void DrawingListView::ShowSortIndicator() {
    header()->setSortIndicatorShown(model_.Sorted());
    if (model_.Sorted()) {
        header()->setSortIndicator(
            model_.SortKey(), model_.SortOrder() == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

int DrawingListView::SelectedItem() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool DrawingListView::IsSelected(int row) const {
    return selectionModel()->isRowSelected(row, QModelIndex());
}

void DrawingListView::SelectAllRows() {
    const int n = model_.Count();
    if (n < 1) {
        return;
    }
    const QItemSelection all(model_.index(0, 0), model_.index(n - 1, DrawingRow::kColumns - 1));
    selectionModel()->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void DrawingListView::ListView1_ColumnClick(int column) {
    model_.ColumnClick(column);
}

void DrawingListView::ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
    if (keyCode == kKeyA && (shift & Qt::ControlModifier)) {
        SelectAllRows();
    }
    if (keyCode == kKeyUp || keyCode == kKeyDown) {
        emit PreviewRefreshRequested();
    }
}

void DrawingListView::ListView1_KeyPress(int charCode) {
    if (charCode == kCtrlA) {
        SelectAllRows();
    }
}

void DrawingListView::keyPressEvent(QKeyEvent* event) {
    // Key-down, then the character, then the list's own handling (which moves the
    // selection), as the events come in order for one key.
    ListView1_KeyDown(VirtualKeyCode(event->key()), event->modifiers());
    const QString text = event->text();
    if (text.size() == 1) {
        ListView1_KeyPress(text.at(0).unicode());
    } else if (event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier)) {
        // Platforms that give no text for Ctrl+A still type character 1.
        ListView1_KeyPress(kCtrlA);
    }
    QTreeView::keyPressEvent(event);
}

void DrawingListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    if (event->buttons() == Qt::RightButton) {
        emit PrintPopupRequested(event->globalPosition().toPoint());
    }
}

void DrawingListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit PreviewRefreshRequested();
    }
}

}  // namespace vx::search
