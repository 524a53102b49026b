#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QTemporaryDir>
#include <QTest>

#include "PreviewTestData.h"
#include "search/DrawingListView.h"
#include "search/DwgThumbnail.h"

using namespace vx::search;
using namespace vx::testing;

namespace {

bool ShowsSomething(QWidget& w) {
    const QImage shot = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect inner = shot.rect().adjusted(4, 4, -4, -4);
    const QRgb first = shot.pixel(inner.center());
    for (int y = inner.top(); y < inner.bottom(); ++y) {
        for (int x = inner.left(); x < inner.right(); ++x) {
            if (shot.pixel(x, y) != first) {
                return true;
            }
        }
    }
    return false;
}

TEST(DwgThumbnail, ShowsTheStoredPreviewAndNothingOtherwise) {
    SKIP_WITHOUT_TESTDATA();
    DwgThumbnail thumb;
    thumb.resize(193, 105);
    thumb.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&thumb));
    EXPECT_FALSE(ShowsSomething(thumb));
    // none stored; a PNG; nothing; a folder
    const std::tuple<QString, PreviewOutcome, bool> rows[] = {
        {"/dwg/libredwg/example_2000.dwg", PreviewOutcome::Image, true},
        {"/dwg/libredwg/2018_Text.dwg", PreviewOutcome::NoPreview, false},
        {"/dwg/acadsharp/sample_AC1032.dwg", PreviewOutcome::Image, true},
        {"", PreviewOutcome::NoPreview, false},
        {"/", PreviewOutcome::Unreadable, false},
    };
    for (const auto& [file, outcome, shows] : rows) {
        const QString path = file.isEmpty() ? QString() : TestData() + file;
        thumb.SetDwgFileName(path);
        EXPECT_EQ(thumb.DwgFileName(), path);
        EXPECT_EQ(thumb.Outcome(), outcome) << file.toStdString();
        EXPECT_EQ(thumb.Image().isNull(), !shows) << file.toStdString();
        EXPECT_EQ(ShowsSomething(thumb), shows) << file.toStdString();
    }
}

TEST(DwgThumbnail, FitsTheImageKeepingItsProportions) {
    EXPECT_EQ(FitInto(QSize(200, 100), QRect(0, 0, 100, 100)), QRect(0, 25, 100, 50));
    EXPECT_EQ(FitInto(QSize(10, 20), QRect(2, 2, 100, 100)), QRect(27, 2, 50, 100));
    EXPECT_EQ(FitInto(QSize(), QRect(0, 0, 10, 10)), QRect());
}

TEST(PreviewRefresh, ShowsTheFocusedRowsDrawingWithItsPathAsToolTip) {
    SKIP_WITHOUT_TESTDATA();
    DrawingListView list;
    DwgThumbnail thumb;
    // Nothing focused: the preview is emptied and stays so.
    thumb.SetDwgFileName(TestData() + "/dwg/libredwg/example_2000.dwg");
    thumb.setToolTip("old");
    PreviewRefresh(list, thumb);
    EXPECT_EQ(thumb.DwgFileName(), QString());
    EXPECT_EQ(thumb.toolTip(), QString());
    EXPECT_TRUE(thumb.Image().isNull());

    const QString folder = TestData() + "/dwg/libredwg/";
    list.Model().AddRow(DrawingRow{"example_2000.dwg", folder, "", "", ""});
    list.Model().AddRow(DrawingRow{"example_2013.dwg", folder, "", "", ""});
    list.setCurrentIndex(list.Model().index(1, 0));
    PreviewRefresh(list, thumb);
    EXPECT_EQ(thumb.DwgFileName(), folder + "example_2013.dwg");
    EXPECT_EQ(thumb.toolTip(), folder + "example_2013.dwg");
    EXPECT_EQ(thumb.Outcome(), PreviewOutcome::Image);

    // Clearing the list leaves the picture until the next refresh.
    list.Model().Clear();
    EXPECT_EQ(thumb.DwgFileName(), folder + "example_2013.dwg");
    EXPECT_FALSE(thumb.Image().isNull());
}

}  // namespace
