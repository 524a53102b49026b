#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "search/DrawingListView.h"

using namespace vx::search;

namespace {

struct ListViewTest : ::testing::Test {
    DrawingListView list;
    void SetUp() override {
        list.resize(700, 300);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    void Fill(std::initializer_list<const char*> names) {
        for (const char* n : names) {
            list.Model().AddRow(DrawingRow{n, "/jobs/", "AutoCAD image", "1 KB", "1/1/21"});
        }
    }
    QPoint RowCenter(int row) { return list.visualRect(list.Model().index(row, 0)).center(); }
    int SelectedCount() {
        int n = 0;
        for (int i = 0; i < list.Model().Count(); ++i) {
            n += list.IsSelected(i) ? 1 : 0;
        }
        return n;
    }
};

TEST_F(ListViewTest, ShowsTheColumnsWithTheirWidths) {
    std::vector<int> widths;
    for (int c = 0; c < list.header()->count(); ++c) {
        widths.push_back(list.header()->sectionSize(c));
    }
    EXPECT_EQ(widths, (std::vector<int>{125, 250, 100, 80, 130}));
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST_F(ListViewTest, ClickingAHeaderSortsByThatColumn) {
    list.Model().AddRow(DrawingRow{"a", "/b/", "", "9 KB", ""});
    list.Model().AddRow(DrawingRow{"b", "/a/", "", "10 KB", ""});
    QHeaderView* h = list.header();
    const QPoint path(h->sectionViewportPosition(1) + 10, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, path);
    EXPECT_EQ(list.Model().SortKey(), 1);
    EXPECT_EQ(list.Model().Row(0).Path, "/a/");
    EXPECT_TRUE(h->isSortIndicatorShown());
    EXPECT_EQ(h->sortIndicatorSection(), 1);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, path);
    EXPECT_EQ(list.Model().Row(0).Path, "/b/");
    EXPECT_EQ(h->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(ListViewTest, CtrlASelectsEveryRowFromEitherHandlerAndNothingInAnEmptyList) {
    QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
    list.ListView1_KeyPress(1);
    EXPECT_EQ(SelectedCount(), 0);
    EXPECT_EQ(list.SelectedItem(), -1);

    Fill({"a", "b", "c"});
    list.setCurrentIndex(list.Model().index(1, 0));
    QKeyEvent charOnly(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(1)));
    const std::vector<std::pair<const char*, std::function<void()>>> inputs = {
        {"Ctrl+A", [&] { QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier); }},
        {"key down", [&] { list.ListView1_KeyDown(65, Qt::ControlModifier | Qt::ShiftModifier); }},
        {"key press", [&] { list.ListView1_KeyPress(1); }},
        {"the character alone", [&] { QCoreApplication::sendEvent(&list, &charOnly); }},
        {"A without Ctrl", [&] { list.ListView1_KeyDown(65, Qt::NoModifier); }},
    };
    for (const auto& [name, input] : inputs) {
        list.clearSelection();
        input();
        EXPECT_EQ(SelectedCount(), std::string(name) == "A without Ctrl" ? 0 : 3) << name;
    }
    EXPECT_EQ(list.SelectedItem(), 1);
}

TEST_F(ListViewTest, UpAndDownRefreshThePreviewBeforeTheSelectionMoves) {
    Fill({"a", "b", "c", "d"});
    list.setCurrentIndex(list.Model().index(1, 0));
    std::vector<int> seen;
    QObject::connect(&list, &DrawingListView::PreviewRefreshRequested,
                     [&] { seen.push_back(list.SelectedItem()); });
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.SelectedItem(), 2);
    QTest::keyClick(&list, Qt::Key_Up);
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(list.SelectedItem(), 0);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 1}));
    // Other keys do not refresh.
    QTest::keyClick(&list, Qt::Key_End);
    QTest::keyClick(&list, Qt::Key_PageUp);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(ListViewTest, ALeftClickRefreshesThePreviewWithTheClickedRow) {
    Fill({"a", "b", "c"});
    std::vector<int> seen;
    QObject::connect(&list, &DrawingListView::PreviewRefreshRequested,
                     [&] { seen.push_back(list.SelectedItem()); });
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(2));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(300, 280));  // below the rows
    EXPECT_EQ(seen, (std::vector<int>{2, 2}));
}

TEST_F(ListViewTest, TheRightButtonAloneAsksForThePrintPopup) {
    Fill({"a", "b"});
    QSignalSpy popup(&list, &DrawingListView::PrintPopupRequested);
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, RowCenter(1));
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, RowCenter(1));
    ASSERT_EQ(popup.count(), 1);
    EXPECT_EQ(popup.at(0).at(0).toPoint(), list.viewport()->mapToGlobal(RowCenter(1)));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(0));
    QTest::mouseClick(list.viewport(), Qt::MiddleButton, {}, RowCenter(0));
    EXPECT_EQ(popup.count(), 1);
    // With the left button held, the right one is not alone.
    QMouseEvent both(QEvent::MouseButtonPress, RowCenter(0),
                     list.viewport()->mapToGlobal(RowCenter(0)), Qt::RightButton,
                     Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &both);
    EXPECT_EQ(popup.count(), 1);
}

}  // namespace
