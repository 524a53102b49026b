#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include "CliRunner.h"
#include "PreviewTestData.h"
#include "search/DrawingPreview.h"

using namespace vx::testing;
using ::testing::HasSubstr;

namespace {

TEST(CliThumbnail, WritesTheStoredPreviewOfEveryDrawingThatHasOne) {
    SKIP_WITHOUT_TESTDATA();
    QTemporaryDir dir;
    int written = 0;
    for (const ManifestEntry& e : Manifest()) {
        if (e.kind != "dwg") {
            continue;
        }
        SCOPED_TRACE(e.file.toStdString());
        const QString out = dir.filePath("out.png");
        QFile::remove(out);
        const CliResult r = RunCli("thumbnail", {e.Path(), out});
        if (e.thumbnail != "yes") {
            EXPECT_EQ(r.status, 1);
            EXPECT_THAT(r.err.toStdString(), HasSubstr(e.file.toStdString()));
            EXPECT_FALSE(QFile::exists(out));
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        ++written;
        const QByteArray png = ReadAll(out);
        EXPECT_TRUE(png.startsWith("\x89PNG"));
        // What the preview widget shows.
        const auto shown = vx::search::ReadDrawingPreview(e.Path());
        EXPECT_EQ(QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32),
                  shown.image.convertToFormat(QImage::Format_RGB32));
        if (e.Format() == "PNG") {
            EXPECT_EQ(png, shown.encoded);  // the stored image as it is
        }
    }
    EXPECT_GE(written, 20);
}

TEST(CliThumbnail, RefusesClearlyAndNeverWritesTheDrawing) {
    SKIP_WITHOUT_TESTDATA();
    QTemporaryDir dir;
    const QString drawing = dir.filePath("copy.dwg");
    QFile::copy(TestData() + "/dwg/libredwg/example_2000.dwg", drawing);
    const QByteArray before = ReadAll(drawing);

    const struct {
        QStringList args;
        int status;
        const char* says;
    } cases[] = {
        {{drawing, drawing}, 2, "the drawing itself"},
        {{dir.filePath("missing.dwg"), dir.filePath("x.png")}, 1, "does not exist"},
        {{drawing, dir.filePath("no/such/folder/x.png")}, 1, "cannot write"},
        {{TestData() + "/dxf/ezdxf/text.dxf", dir.filePath("x.png")}, 1, "no preview image"},
    };
    for (const auto& c : cases) {
        const CliResult r = RunCli("thumbnail", c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_THAT(r.err.toStdString(), HasSubstr(c.says));
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));
    EXPECT_EQ(RunCli("thumbnail", {drawing}).status, 2);
    EXPECT_EQ(ReadAll(drawing), before);
}

}  // namespace
