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

    CliResult r = RunCli("thumbnail", {drawing, drawing});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err.toStdString(), HasSubstr("the drawing itself"));
    EXPECT_EQ(ReadAll(drawing), before);

    r = RunCli("thumbnail", {dir.filePath("missing.dwg"), dir.filePath("x.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err.toStdString(), HasSubstr("does not exist"));

    r = RunCli("thumbnail", {drawing, dir.filePath("no/such/folder/x.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err.toStdString(), HasSubstr("cannot write"));

    r = RunCli("thumbnail", {TestData() + "/dxf/ezdxf/text.dxf", dir.filePath("x.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err.toStdString(), HasSubstr("no preview image"));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));

    EXPECT_EQ(RunCli("thumbnail", {drawing}).status, 2);
    EXPECT_EQ(ReadAll(drawing), before);
}

TEST(CliThumbnail, ADxfPreviewIsWrittenToo) {
    SKIP_WITHOUT_TESTDATA();
    QTemporaryDir dir;
    const QImage image = SampleImage();
    const QByteArray dxf = ReadAll(TestData() + "/dxf/acadsharp/sample_AC1018_ascii.dxf");
    WriteAll(dir.filePath("p.dxf"),
             InsertBefore(dxf, "  0\nEOF", TextThumbnailSection(DibOf(image), "\n")));
    const CliResult r = RunCli("thumbnail", {dir.filePath("p.dxf"), dir.filePath("p.png")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(dir.filePath("p.png")).convertToFormat(QImage::Format_RGB32), image);
}

}  // namespace
