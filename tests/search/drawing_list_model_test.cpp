#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "search/DrawingListModel.h"

using namespace vx::search;

namespace {

// Rows of {file name, path, size}.
void Add(DrawingListModel& m, std::initializer_list<std::array<const char*, 3>> rows) {
    for (const auto& [name, path, size] : rows) {
        m.AddRow(DrawingRow{name, path, "AutoCAD image", size, "1/1/21"});
    }
}

QStringList Column(const DrawingListModel& m, int column) {
    QStringList out;
    for (int i = 0; i < m.rowCount(); ++i) {
        out << m.data(m.index(i, column)).toString();
    }
    return out;
}

TEST(DrawingListModel, HasTheFiveColumnsWithTheirAlignments) {
    DrawingListModel m;
    Add(m, {{"a.dwg", "/p/", "1 KB"}});
    QStringList headers;
    for (int c = 0; c < m.columnCount(); ++c) {
        headers << m.headerData(c, Qt::Horizontal).toString();
        const auto cell = m.data(m.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(cell & Qt::AlignHorizontal_Mask, c >= 3 ? Qt::AlignRight : Qt::AlignLeft) << c;
    }
    EXPECT_EQ(headers,
              QStringList({"File Name", "Path", "File Type", "Size", "Last Modified Date"}));
}

// A new column sorts ascending, the same column again reverses; by text ignoring case, not
// by value; equal texts keep their search order both ways.
TEST(DrawingListModel, ColumnClicksSortByTextAndKeepEqualRowsInOrder) {
    DrawingListModel sizes;
    Add(sizes, {{"x", "/p/", "9 KB"}, {"y", "/p/", "10 KB"}, {"z", "/p/", "100.5 KB"}});
    sizes.ColumnClick(3);
    EXPECT_EQ(Column(sizes, 3), QStringList({"10 KB", "100.5 KB", "9 KB"}));
    DrawingListModel equal;
    Add(equal, {{"first", "/same/", ""},
                {"z", "/z/", ""},
                {"second", "/SAME/", ""},
                {"third", "/same/", ""}});
    equal.ColumnClick(1);
    EXPECT_EQ(Column(equal, 0), QStringList({"first", "second", "third", "z"}));
    equal.ColumnClick(1);
    EXPECT_EQ(Column(equal, 0), QStringList({"z", "first", "second", "third"}));
    equal.ColumnClick(0);
    EXPECT_EQ(equal.SortOrder(), 0);
    EXPECT_EQ(Column(equal, 0), QStringList({"first", "second", "third", "z"}));
}

TEST(DrawingListModel, RowsAddedWhileSortedTakeTheirPlaceAndClearingKeepsTheSort) {
    DrawingListModel m;
    Add(m, {{"b", "/p/", ""}, {"a", "/p/", ""}});
    m.SetSorted(true);  // without a column: by file name
    EXPECT_EQ(Column(m, 0), QStringList({"a", "b"}));
    m.ColumnClick(0);  // descending
    m.Clear();
    Add(m, {{"m", "/p/", ""}, {"c", "/p/", ""}, {"x", "/p/", ""}});
    EXPECT_EQ(Column(m, 0), QStringList({"x", "m", "c"}));
}

}  // namespace
