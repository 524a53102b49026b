#include "search/DrawingListModel.h"

#include <algorithm>
#include <numeric>

namespace vx::search {

DrawingListModel::DrawingListModel(QObject* parent) : QAbstractTableModel(parent) {}

const QStringList& DrawingListModel::Headers() {
    static const QStringList headers{QStringLiteral("File Name"), QStringLiteral("Path"),
                                     QStringLiteral("File Type"), QStringLiteral("Size"),
                                     QStringLiteral("Last Modified Date")};
    return headers;
}

int DrawingListModel::HeaderWidth(int column) {
    static constexpr int widths[DrawingRow::kColumns] = {125, 250, 100, 80, 130};
    return column >= 0 && column < DrawingRow::kColumns ? widths[column] : 0;
}

Qt::Alignment DrawingListModel::ColumnAlignment(int column) {
    const Qt::Alignment horizontal = column >= 3 ? Qt::AlignRight : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

int DrawingListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int DrawingListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : DrawingRow::kColumns;
}

QVariant DrawingListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return Row(index.row()).Column(index.column());
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(ColumnAlignment(index.column()));
    }
    return {};
}

QVariant DrawingListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= DrawingRow::kColumns) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return Headers().at(section);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(ColumnAlignment(section));
    }
    return {};
}

bool DrawingListModel::Before(const QString& foldedA, const QString& foldedB) const {
    const int c = QString::compare(foldedA, foldedB, Qt::CaseSensitive);
    return sortOrder_ == 0 ? c < 0 : c > 0;
}

void DrawingListModel::AddRow(const DrawingRow& row) {
    auto at = rows_.end();
    if (sorted_) {
        // After the rows whose text sorts equal, so that equal rows keep search order.
        const QString key = row.Column(sortKey_).toCaseFolded();
        at = std::upper_bound(rows_.begin(), rows_.end(), key,
                              [this](const QString& k, const DrawingRow& r) {
                                  return Before(k, r.Column(sortKey_).toCaseFolded());
                              });
    }
    const int position = static_cast<int>(at - rows_.begin());
    beginInsertRows(QModelIndex(), position, position);
    rows_.insert(at, row);
    endInsertRows();
}

void DrawingListModel::Clear() {
    if (rows_.empty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void DrawingListModel::SetSorted(bool value) {
    sorted_ = value;
    if (sorted_ && sortKey_ < 0) {
        sortKey_ = 0;
        sortOrder_ = 0;
    }
    if (sorted_) {
        Resort();
    }
    emit SortStateChanged();
}

void DrawingListModel::ColumnClick(int column) {
    if (column < 0 || column >= DrawingRow::kColumns) {
        return;
    }
    if (sortKey_ != column) {
        sortKey_ = column;
        sortOrder_ = 0;
    } else {
        sortOrder_ = sortOrder_ == 0 ? 1 : 0;
    }
    SetSorted(true);
}

void DrawingListModel::Resort() {
    const std::size_t n = rows_.size();
    if (n < 2) {
        return;
    }
    std::vector<QString> keys(n);
    for (std::size_t i = 0; i < n; ++i) {
        keys[i] = rows_[i].Column(sortKey_).toCaseFolded();
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return Before(keys[a], keys[b]); });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Persistent indexes (the selection, the current row) follow their rows.
    std::vector<int> newRowOf(n);
    for (std::size_t i = 0; i < n; ++i) {
        newRowOf[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.append(index.isValid() ? createIndex(newRowOf[static_cast<std::size_t>(index.row())],
                                                   index.column())
                                     : index);
    }
    changePersistentIndexList(before, after);

    std::vector<DrawingRow> sorted;
    sorted.reserve(n);
    for (int i : order) {
        sorted.push_back(std::move(rows_[static_cast<std::size_t>(i)]));
    }
    rows_ = std::move(sorted);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace vx::search
