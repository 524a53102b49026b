#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <sys/stat.h>
#include <QTemporaryDir>
#include <QtEndian>

#include "PreviewTestData.h"
#include "search/DrawingPreview.h"

using namespace vx::search;
using namespace vx::testing;

namespace {

TEST(DrawingPreview, DwgPreviewsAreThoseTheManifestNames) {
    SKIP_WITHOUT_TESTDATA();
    int withImage = 0;
    for (const ManifestEntry& e : Manifest()) {
        if (e.kind != "dwg") {
            continue;
        }
        SCOPED_TRACE(e.file.toStdString());
        const DrawingPreview p = ReadDrawingPreview(e.Path());
        if (e.thumbnail == "yes") {
            ++withImage;
            ASSERT_EQ(p.outcome, PreviewOutcome::Image) << p.detail.toStdString();
            const bool png = e.Format() == "PNG";
            EXPECT_EQ(p.format, png ? PreviewFormat::Png : PreviewFormat::Bmp);
            EXPECT_EQ(p.encoded.size(),
                      e.Bytes() + (png ? 0 : 14));  // a bitmap gets its file header
            // Only the header, the image table and the image itself are read.
            EXPECT_LE(p.bytesRead, e.Bytes() + 4096);
        } else {
            EXPECT_EQ(p.outcome, PreviewOutcome::NoPreview);
            EXPECT_LE(p.bytesRead, 4096);
        }
    }
    EXPECT_GE(withImage, 20);
}

// Made files: DXF files with a preview of ours, cut and damaged copies of real drawings.
struct MadeFile : ::testing::Test {
    QTemporaryDir dir;
    DrawingPreview Read(const QByteArray& bytes, const QString& name = "copy.dwg") {
        WriteAll(dir.filePath(name), bytes);
        return ReadDrawingPreview(dir.filePath(name));
    }
};
using DxfPreview = MadeFile;
using DamagedDwg = MadeFile;

TEST_F(DxfPreview, TextAndBinaryDxfWithBitmapOrPng) {
    SKIP_WITHOUT_TESTDATA();
    const QImage image = SampleImage();
    const QByteArray binaryEof(
        "\x00\x00"
        "EOF\x00",
        6);  // split: "\x00E" would be one hex escape
    // Text with LF and with CR LF line ends, binary; a PNG and a bitmap.
    const std::vector<std::tuple<const char*, QByteArray, QByteArray>> cases = {
        {"acadsharp/sample_AC1015_ascii.dxf", "  0\nEOF", TextThumbnailSection(PngOf(image), "\n")},
        {"ezdxf/text.dxf", "  0\r\nEOF", TextThumbnailSection(DibOf(image))},
        {"acadsharp/sample_AC1015_binary.dxf", binaryEof, BinaryThumbnailSection(DibOf(image))},
    };
    for (const auto& [file, before, section] : cases) {
        const QByteArray dxf = ReadAll(TestData() + "/dxf/" + file);
        const DrawingPreview p = Read(InsertBefore(dxf, before, section), "p.dxf");
        ASSERT_EQ(p.outcome, PreviewOutcome::Image) << file << p.detail.toStdString();
        EXPECT_EQ(p.image.convertToFormat(QImage::Format_RGB32), image) << file;
    }
}

TEST_F(DxfPreview, CutOrSpoiltSectionsAreDamageNotPictures) {
    SKIP_WITHOUT_TESTDATA();
    const QByteArray dxf = ReadAll(TestData() + "/dxf/acadsharp/sample_AC1015_ascii.dxf");
    const QByteArray section = TextThumbnailSection(DibOf(SampleImage()), "\n");
    const QByteArray whole = InsertBefore(dxf, "  0\nEOF", section);
    const qsizetype sectionAt = whole.lastIndexOf("THUMBNAILIMAGE");
    QByteArray wrongCount = whole;
    wrongCount.replace(QByteArray("\n 90\n") + QByteArray::number(DibOf(SampleImage()).size()),
                       "\n 90\n12");
    QByteArray notHex = whole;
    notHex[whole.indexOf("310\n", sectionAt) + 6] = 'Z';
    // Cut inside the hex data (no section end), a wrong byte count, something that is no hex.
    for (const QByteArray& bad : {whole.left(sectionAt + section.size() / 2), wrongCount, notHex}) {
        const DrawingPreview p = Read(bad, "bad.dxf");
        EXPECT_EQ(p.outcome, PreviewOutcome::Damaged) << p.detail.toStdString();
    }
}

TEST_F(DamagedDwg, CutOrSpoiltHeadersAreDamage) {
    SKIP_WITHOUT_TESTDATA();
    const QByteArray dwg = ReadAll(TestData() + "/dwg/libredwg/example_2000.dwg");
    const std::uint32_t seeker = qFromLittleEndian<std::uint32_t>(dwg.constData() + 0x0D);
    const qsizetype bmpEntry = seeker + 21 + 9;  // the second entry of the image table
    const std::uint32_t imageStart =
        qFromLittleEndian<std::uint32_t>(dwg.constData() + bmpEntry + 1);
    const std::vector<std::tuple<const char*, qsizetype, QByteArray, PreviewOutcome>> rows = {
        {"seeker past the end", 0x0D, QByteArray("\xF0\xFF\xFF\x7F", 4), PreviewOutcome::Damaged},
        {"no seeker", 0x0D, QByteArray(4, '\0'), PreviewOutcome::NoPreview},
        {"sentinel", seeker + 3, "X", PreviewOutcome::Damaged},
        {"BMP entry past the end", bmpEntry + 1, QByteArray("\xF0\xFF\xFF\x00", 4),
         PreviewOutcome::Damaged},
        {"bitmap header size", imageStart, QByteArray("\x07\x00\x00\x00", 4),
         PreviewOutcome::Damaged},
    };
    for (const auto& [name, at, bytes, outcome] : rows) {
        QByteArray copy = dwg;
        copy.replace(at, bytes.size(), bytes);
        EXPECT_EQ(Read(copy).outcome, outcome) << name;
    }
    // Cut short in the header, in the image table, in the image.
    for (qsizetype length : {qsizetype(6), qsizetype(seeker + 8), qsizetype(imageStart + 100)}) {
        EXPECT_NE(Read(dwg.left(length)).outcome, PreviewOutcome::Image) << length;
    }
    // A WMF entry alone shows nothing but is no damage.
    QByteArray wmfOnly = dwg;
    wmfOnly[bmpEntry] = 3;
    const DrawingPreview wmf = Read(wmfOnly);
    EXPECT_EQ(wmf.outcome, PreviewOutcome::NoPreview);
    EXPECT_EQ(wmf.format, PreviewFormat::Wmf);
}

TEST(DrawingPreview, FoldersMissingFilesPipesAndOtherFilesShowNothing) {
    QTemporaryDir dir;
    // A pipe would block a reader that opens it plainly.
    ASSERT_EQ(::mkfifo(dir.filePath("pipe.dwg").toStdString().c_str(), 0600), 0);
    WriteAll(dir.filePath("text.dwg"), "Hello, this is no drawing.\n");
    WriteAll(dir.filePath("r12.dxf"),
             "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n  0\nEOF\n");
    const std::vector<std::pair<QString, PreviewOutcome>> rows = {
        {dir.path(), PreviewOutcome::Unreadable},
        {dir.filePath("missing.dwg"), PreviewOutcome::Unreadable},
        {dir.filePath("pipe.dwg"), PreviewOutcome::Unreadable},
        {dir.filePath("text.dwg"), PreviewOutcome::NotDrawing},
        {dir.filePath("r12.dxf"), PreviewOutcome::NoPreview},
    };
    for (const auto& [path, outcome] : rows) {
        EXPECT_EQ(ReadDrawingPreview(path).outcome, outcome) << path.toStdString();
    }
}

}  // namespace
