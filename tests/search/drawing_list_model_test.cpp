#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QPersistentModelIndex>

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
    ASSERT_EQ(m.columnCount(), 5);
    Add(m, {{"a.dwg", "/p/", "1 KB"}});
    QStringList headers;
    for (int c = 0; c < 5; ++c) {
        headers << m.headerData(c, Qt::Horizontal).toString();
        const auto cell = m.data(m.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        const auto head =
            m.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
        const Qt::Alignment expected = c >= 3 ? Qt::AlignRight : Qt::AlignLeft;
        EXPECT_EQ(cell & Qt::AlignHorizontal_Mask, expected) << c;
        EXPECT_EQ(head & Qt::AlignHorizontal_Mask, expected) << c;
    }
    EXPECT_EQ(headers,
              QStringList({"File Name", "Path", "File Type", "Size", "Last Modified Date"}));
    EXPECT_EQ(Column(m, 1), QStringList({"/p/"}));
}

// Clicks on column headers, and the order they leave: a new column sorts ascending, the
// same column again reverses; by text ignoring case, not by value; equal texts keep their
// search order both ways.
TEST(DrawingListModel, ColumnClicksSort) {
    struct Row {
        const char* name;
        std::vector<int> clicks;
        int order;   // 0 ascending, 1 descending
        int column;  // compared after the clicks
        QStringList expected;
    };
    const std::vector<std::array<const char*, 3>> paths = {
        {"b.dwg", "/b/", "1 KB"}, {"c.dwg", "/a/", "1 KB"}, {"a.dwg", "/c/", "1 KB"}};
    const std::vector<Row> rows = {
        {"new column", {1}, 0, 1, {"/a/", "/b/", "/c/"}},
        {"same again", {1, 1}, 1, 1, {"/c/", "/b/", "/a/"}},
        {"then another", {1, 1, 0}, 0, 0, {"a.dwg", "b.dwg", "c.dwg"}},
        {"file name first", {0}, 0, 0, {"a.dwg", "b.dwg", "c.dwg"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DrawingListModel m;
        for (const auto& [name, path, size] : paths) {
            m.AddRow(DrawingRow{name, path, "", size, ""});
        }
        EXPECT_FALSE(m.Sorted());
        for (int c : r.clicks) {
            m.ColumnClick(c);
        }
        EXPECT_TRUE(m.Sorted());
        EXPECT_EQ(m.SortKey(), r.clicks.back());
        EXPECT_EQ(m.SortOrder(), r.order);
        EXPECT_EQ(Column(m, r.column), r.expected);
    }

    DrawingListModel sizes;
    Add(sizes, {{"x", "/p/", "9 KB"}, {"y", "/p/", "10 KB"}, {"z", "/p/", "100.5 KB"}});
    sizes.ColumnClick(3);
    EXPECT_EQ(Column(sizes, 3), QStringList({"10 KB", "100.5 KB", "9 KB"}));
    DrawingListModel names;
    Add(names,
        {{"b.dwg", "/p/", ""}, {"A.dwg", "/p/", ""}, {"a1.DWG", "/p/", ""}, {"B0.dwg", "/p/", ""}});
    names.ColumnClick(0);
    EXPECT_EQ(Column(names, 0), QStringList({"A.dwg", "a1.DWG", "b.dwg", "B0.dwg"}));
    DrawingListModel equal;
    Add(equal, {{"first", "/same/", ""},
                {"z", "/z/", ""},
                {"second", "/SAME/", ""},
                {"third", "/same/", ""}});
    equal.ColumnClick(1);
    EXPECT_EQ(Column(equal, 0), QStringList({"first", "second", "third", "z"}));
    equal.ColumnClick(1);
    EXPECT_EQ(Column(equal, 0), QStringList({"z", "first", "second", "third"}));
}

TEST(DrawingListModel, RowsAddedWhileSortedTakeTheirPlaceAndClearingKeepsTheSort) {
    DrawingListModel m;
    m.ColumnClick(0);
    m.ColumnClick(0);  // descending
    Add(m,
        {{"m", "/p/", ""}, {"c", "/p/", ""}, {"x", "/p/", ""}, {"C", "/p/", ""}, {"a", "/p/", ""}});
    EXPECT_EQ(Column(m, 0), QStringList({"x", "m", "c", "C", "a"}));
    m.Clear();
    EXPECT_EQ(m.rowCount(), 0);
    Add(m, {{"a", "/p/", ""}, {"b", "/p/", ""}});
    EXPECT_EQ(Column(m, 0), QStringList({"b", "a"}));
}

TEST(DrawingListModel, SortedStateWithoutAColumnSortsByFileNameAndWithOneKeepsIt) {
    DrawingListModel m;
    Add(m, {{"b", "/p/", ""}, {"a", "/p/", ""}});
    m.SetSorted(true);
    EXPECT_EQ(m.SortKey(), 0);
    EXPECT_EQ(Column(m, 0), QStringList({"a", "b"}));
    m.ColumnClick(1);
    m.ColumnClick(1);
    m.SetSorted(false);
    m.SetSorted(true);
    EXPECT_EQ(m.SortKey(), 1);
    EXPECT_EQ(m.SortOrder(), 1);
}

TEST(DrawingListModel, SelectionsAndTheFocusedRowFollowTheirRowsWhenSorted) {
    DrawingListModel m;
    Add(m, {{"c", "/p/", ""}, {"a", "/p/", ""}, {"b", "/p/", ""}});
    QPersistentModelIndex c(m.index(0, 0));
    QPersistentModelIndex bLast(m.index(2, 4));
    m.ColumnClick(0);
    EXPECT_EQ(m.data(c).toString(), "c");
    EXPECT_EQ(c.row(), 2);
    EXPECT_EQ(bLast.row(), 1);
    EXPECT_EQ(bLast.column(), 4);
}

}  // namespace
