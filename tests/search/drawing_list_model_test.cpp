#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QPersistentModelIndex>

#include "search/DrawingListModel.h"

using namespace vx::search;
using ::testing::ElementsAre;

namespace {

DrawingRow RowOf(const QString& name, const QString& path = "/p/", const QString& size = "1 KB") {
    return DrawingRow{name, path, "AutoCAD image", size, "1/1/21"};
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
    QStringList headers;
    for (int c = 0; c < 5; ++c) {
        headers << m.headerData(c, Qt::Horizontal).toString();
    }
    EXPECT_EQ(headers,
              QStringList({"File Name", "Path", "File Type", "Size", "Last Modified Date"}));
    m.AddRow(RowOf("a.dwg"));
    for (int c = 0; c < 5; ++c) {
        const auto cell = m.data(m.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        const auto head =
            m.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
        const Qt::Alignment expected = c >= 3 ? Qt::AlignRight : Qt::AlignLeft;
        EXPECT_EQ(cell & Qt::AlignHorizontal_Mask, expected) << c;
        EXPECT_EQ(head & Qt::AlignHorizontal_Mask, expected) << c;
    }
    EXPECT_EQ(Column(m, 1), QStringList({"/p/"}));
}

TEST(DrawingListModel, ANewColumnSortsAscendingTheSameColumnAgainReverses) {
    DrawingListModel m;
    m.AddRow(RowOf("b.dwg", "/b/"));
    m.AddRow(RowOf("c.dwg", "/a/"));
    m.AddRow(RowOf("a.dwg", "/c/"));
    EXPECT_FALSE(m.Sorted());
    m.ColumnClick(1);
    EXPECT_EQ(m.SortKey(), 1);
    EXPECT_EQ(m.SortOrder(), 0);
    EXPECT_TRUE(m.Sorted());
    EXPECT_EQ(Column(m, 1), QStringList({"/a/", "/b/", "/c/"}));
    m.ColumnClick(1);
    EXPECT_EQ(m.SortOrder(), 1);
    EXPECT_EQ(Column(m, 1), QStringList({"/c/", "/b/", "/a/"}));
    m.ColumnClick(0);
    EXPECT_EQ(m.SortOrder(), 0);
    EXPECT_EQ(Column(m, 0), QStringList({"a.dwg", "b.dwg", "c.dwg"}));
}

TEST(DrawingListModel, TheFirstClickOnFileNameSortsAscending) {
    DrawingListModel m;
    m.AddRow(RowOf("b.dwg"));
    m.AddRow(RowOf("a.dwg"));
    m.ColumnClick(0);
    EXPECT_EQ(Column(m, 0), QStringList({"a.dwg", "b.dwg"}));
}

TEST(DrawingListModel, SortsByTextIgnoringCaseNotByValue) {
    DrawingListModel m;
    m.AddRow(RowOf("x", "/p/", "9 KB"));
    m.AddRow(RowOf("y", "/p/", "10 KB"));
    m.AddRow(RowOf("z", "/p/", "100.5 KB"));
    m.ColumnClick(3);
    EXPECT_EQ(Column(m, 3), QStringList({"10 KB", "100.5 KB", "9 KB"}));
    DrawingListModel names;
    for (const char* n : {"b.dwg", "A.dwg", "a1.DWG", "B0.dwg"}) {
        names.AddRow(RowOf(n));
    }
    names.ColumnClick(0);
    EXPECT_EQ(Column(names, 0), QStringList({"A.dwg", "a1.DWG", "b.dwg", "B0.dwg"}));
}

TEST(DrawingListModel, EqualTextsKeepTheirSearchOrderBothWays) {
    DrawingListModel m;
    m.AddRow(RowOf("first", "/same/"));
    m.AddRow(RowOf("z", "/z/"));
    m.AddRow(RowOf("second", "/SAME/"));
    m.AddRow(RowOf("third", "/same/"));
    m.ColumnClick(1);
    EXPECT_EQ(Column(m, 0), QStringList({"first", "second", "third", "z"}));
    m.ColumnClick(1);
    EXPECT_EQ(Column(m, 0), QStringList({"z", "first", "second", "third"}));
}

TEST(DrawingListModel, RowsAddedWhileSortedTakeTheirPlace) {
    DrawingListModel m;
    m.ColumnClick(0);
    m.ColumnClick(0);  // descending
    for (const char* n : {"m", "c", "x", "C", "a"}) {
        m.AddRow(RowOf(n));
    }
    EXPECT_EQ(Column(m, 0), QStringList({"x", "m", "c", "C", "a"}));
    // Clearing keeps the sort state.
    m.Clear();
    EXPECT_EQ(m.rowCount(), 0);
    m.AddRow(RowOf("a"));
    m.AddRow(RowOf("b"));
    EXPECT_EQ(Column(m, 0), QStringList({"b", "a"}));
}

TEST(DrawingListModel, SortedStateWithoutAColumnSortsByFileName) {
    DrawingListModel m;
    m.AddRow(RowOf("b"));
    m.AddRow(RowOf("a"));
    m.SetSorted(true);
    EXPECT_EQ(m.SortKey(), 0);
    EXPECT_EQ(Column(m, 0), QStringList({"a", "b"}));
    // With a column chosen, sorted state keeps that column and order.
    m.ColumnClick(1);
    m.ColumnClick(1);
    m.SetSorted(false);
    m.SetSorted(true);
    EXPECT_EQ(m.SortKey(), 1);
    EXPECT_EQ(m.SortOrder(), 1);
}

TEST(DrawingListModel, SelectionsAndTheFocusedRowFollowTheirRowsWhenSorted) {
    DrawingListModel m;
    for (const char* n : {"c", "a", "b"}) {
        m.AddRow(RowOf(n));
    }
    QPersistentModelIndex c(m.index(0, 0));
    QPersistentModelIndex bLast(m.index(2, 4));
    m.ColumnClick(0);
    EXPECT_EQ(c.row(), 2);
    EXPECT_EQ(m.data(c).toString(), "c");
    EXPECT_EQ(bLast.row(), 1);
    EXPECT_EQ(bLast.column(), 4);
}

}  // namespace
