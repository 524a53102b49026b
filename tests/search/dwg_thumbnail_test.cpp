#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QTemporaryDir>
#include <QTest>

#include "PreviewTestData.h"
#include "search/widgets/DwgThumbnail.h"

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
    // a picture; none stored; a folder
    const std::tuple<QString, PreviewOutcome, bool> rows[] = {
        {"/dwg/libredwg/example_2000.dwg", PreviewOutcome::Image, true},
        {"/dwg/libredwg/2018_Text.dwg", PreviewOutcome::NoPreview, false},
        {"/", PreviewOutcome::Unreadable, false},
    };
    for (const auto& [file, outcome, shows] : rows) {
        thumb.SetDwgFileName(TestData() + file);
        EXPECT_EQ(thumb.Outcome(), outcome) << file.toStdString();
        EXPECT_EQ(ShowsSomething(thumb), shows) << file.toStdString();
    }
}

}  // namespace
