#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "search/widgets/DrawingListView.h"

using namespace vx::search;

namespace {

struct ListViewTest : ::testing::Test {
    DrawingListView list;
    void SetUp() override {
        list.resize(700, 300);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    QPoint RowCenter(int row) { return list.visualRect(list.Model().index(row, 0)).center(); }
};

TEST_F(ListViewTest, ClickingAHeaderSortsByThatColumn) {
    list.Model().AddRow(DrawingRow{"a", "/b/", "", "9 KB", ""});
    list.Model().AddRow(DrawingRow{"b", "/a/", "", "10 KB", ""});
    QHeaderView* h = list.header();
    const QPoint path(h->sectionViewportPosition(1) + 10, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, path);
    EXPECT_EQ(list.Model().Row(0).Path, "/a/");
    EXPECT_EQ(h->sortIndicatorSection(), 1);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, path);
    EXPECT_EQ(list.Model().Row(0).Path, "/b/");
    EXPECT_EQ(h->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(ListViewTest, TheRightButtonAloneAsksForThePrintPopup) {
    list.Model().AddRow(DrawingRow{"a", "/a/", "", "", ""});
    list.Model().AddRow(DrawingRow{"b", "/b/", "", "", ""});
    QSignalSpy popup(&list, &DrawingListView::PrintPopupRequested);
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, RowCenter(1));
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, RowCenter(1));
    ASSERT_EQ(popup.count(), 1);
    EXPECT_EQ(popup.at(0).at(0).toPoint(), list.viewport()->mapToGlobal(RowCenter(1)));
    // With the left button held, the right one is not alone.
    QMouseEvent both(QEvent::MouseButtonPress, RowCenter(0),
                     list.viewport()->mapToGlobal(RowCenter(0)), Qt::RightButton,
                     Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &both);
    EXPECT_EQ(popup.count(), 1);
}

}  // namespace
