// The rows of the drawing list, in the order they are shown, with the list's sort state.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "search/DrawingRow.h"

namespace vx::search {

class DrawingListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DrawingListModel(QObject* parent = nullptr);

    static const QStringList& Headers();
    // Header widths in pixels and alignments, by column.
    static int HeaderWidth(int column);
    static Qt::Alignment ColumnAlignment(int column);

    // Row i in display order.
    const DrawingRow& Row(int i) const { return rows_[static_cast<std::size_t>(i)]; }
    int Count() const { return static_cast<int>(rows_.size()); }

    // Appends the row, or puts it into its sorted place while Sorted.
    void AddRow(const DrawingRow& row);
    void Clear();

    // The list's sort state: the column (-1 before the first column click: none yet),
    // 0 ascending / 1 descending, and whether the rows are kept in that order.
    int SortKey() const { return sortKey_; }
    int SortOrder() const { return sortOrder_; }
    bool Sorted() const { return sorted_; }
    // Sorted := value. Sorting by no column yet sorts by "File Name" ascending.
    void SetSorted(bool value);
    // A click on column k's header: a new column sorts ascending, the same column again
    // reverses the order; the rows are kept sorted from then on.
    void ColumnClick(int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The sort state changed (for the header's sort indicator).
    void SortStateChanged();

private:
    // Orders by the sort column's text ignoring case; equal texts keep their order.
    void Resort();
    bool Before(const QString& foldedA, const QString& foldedB) const;

    std::vector<DrawingRow> rows_;
    int sortKey_ = -1;
    int sortOrder_ = 0;
    bool sorted_ = false;
};

}  // namespace vx::search
