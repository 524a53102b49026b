#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <sys/stat.h>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include "PreviewTestData.h"
#include "search/DrawingPreview.h"

using namespace vx::search;
using namespace vx::testing;

namespace {

const char* Name(PreviewOutcome o) {
    static const char* const names[] = {"Image", "NoPreview", "NotDrawing", "Damaged",
                                        "Unreadable"};
    return names[int(o)];
}

bool SamePixels(const QImage& a, const QImage& b) {
    return a.size() == b.size() &&
           a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

TEST(DrawingPreview, DwgPreviewsAreThoseTheManifestNames) {
    SKIP_WITHOUT_TESTDATA();
    int withImage = 0;
    for (const ManifestEntry& e : Manifest()) {
        if (e.kind != "dwg") {
            continue;
        }
        SCOPED_TRACE(e.file.toStdString());
        const QByteArray before =
            QCryptographicHash::hash(ReadAll(e.Path()), QCryptographicHash::Md5);
        const DrawingPreview p = ReadDrawingPreview(e.Path());
        if (e.thumbnail == "yes") {
            ++withImage;
            ASSERT_EQ(p.outcome, PreviewOutcome::Image) << p.detail.toStdString();
            EXPECT_GT(p.image.width(), 16);
            if (e.Format() == "PNG") {
                EXPECT_EQ(p.format, PreviewFormat::Png);
                EXPECT_EQ(p.encoded.size(), e.Bytes());
            } else {
                EXPECT_EQ(p.format, PreviewFormat::Bmp);
                EXPECT_EQ(p.encoded.size(), e.Bytes() + 14);  // with the BMP file header
                EXPECT_TRUE(p.encoded.startsWith("BM"));
            }
            // Only the header, the image table and the image itself are read.
            EXPECT_LE(p.bytesRead, e.Bytes() + 4096);
        } else {
            EXPECT_EQ(p.outcome, PreviewOutcome::NoPreview) << Name(p.outcome);
            EXPECT_TRUE(p.image.isNull());
            EXPECT_LE(p.bytesRead, 4096);
        }
        // Reading changes nothing.
        EXPECT_EQ(QCryptographicHash::hash(ReadAll(e.Path()), QCryptographicHash::Md5), before);
    }
    EXPECT_GE(withImage, 20);
}

TEST(DrawingPreview, DxfFilesOfTheTestDataCarryNoneAndAreReadOnlyAtTheirEnd) {
    SKIP_WITHOUT_TESTDATA();
    for (const ManifestEntry& e : Manifest()) {
        if (e.kind != "dxf") {
            continue;
        }
        SCOPED_TRACE(e.file.toStdString());
        const DrawingPreview p = ReadDrawingPreview(e.Path());
        EXPECT_EQ(p.outcome, PreviewOutcome::NoPreview)
            << Name(p.outcome) << p.detail.toStdString();
        EXPECT_LE(p.bytesRead, 320 * 1024);
        if (QFileInfo(e.Path()).size() > 1024 * 1024) {
            EXPECT_LT(p.bytesRead, QFileInfo(e.Path()).size() / 4);
        }
    }
}

// Made files: DXF files with a preview of ours, cut and damaged copies of real drawings.
struct MadeFile : ::testing::Test {
    QTemporaryDir dir;
    DrawingPreview Read(const QByteArray& bytes, const QString& name = "copy.dwg") {
        WriteAll(dir.filePath(name), bytes);
        return ReadDrawingPreview(dir.filePath(name));
    }
    static std::uint32_t Seeker(const QByteArray& dwg) {
        return qFromLittleEndian<std::uint32_t>(dwg.constData() + 0x0D);
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
    struct Case {
        const char* file;
        QByteArray before;   // the preview goes in front of this text
        QByteArray section;  // the preview section
        qsizetype maxRead;   // 0: no bound
    };
    const std::vector<Case> cases = {
        {"acadsharp/sample_AC1015_ascii.dxf", "  0\nEOF", TextThumbnailSection(DibOf(image), "\n"),
         2 * DibOf(image).size() + 80 * 1024},
        {"acadsharp/sample_AC1015_ascii.dxf", "  0\nEOF", TextThumbnailSection(PngOf(image), "\n"),
         2 * PngOf(image).size() + 80 * 1024},
        // Lines ending in CR LF.
        {"ezdxf/text.dxf", "  0\r\nEOF", TextThumbnailSection(DibOf(image)), 0},
        // Followed by the 3D solids' section.
        {"acadsharp/sample_AC1032_ascii.dxf", "  0\nSECTION\n  2\nACDSDATA",
         TextThumbnailSection(PngOf(image), "\n"), 0},
        {"acadsharp/sample_AC1015_binary.dxf", binaryEof, BinaryThumbnailSection(DibOf(image)),
         80 * 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray dxf = ReadAll(TestData() + "/dxf/" + c.file);
        const DrawingPreview p = Read(InsertBefore(dxf, c.before, c.section), "p.dxf");
        ASSERT_EQ(p.outcome, PreviewOutcome::Image) << p.detail.toStdString();
        EXPECT_TRUE(SamePixels(p.image, image));
        // The section and a little before it, not the drawing.
        if (c.maxRead > 0) {
            EXPECT_LE(p.bytesRead, c.maxRead);
        }
    }
}

TEST_F(DxfPreview, CutOrSpoiltSectionsAreDamageNotPictures) {
    SKIP_WITHOUT_TESTDATA();
    const QByteArray dxf = ReadAll(TestData() + "/dxf/acadsharp/sample_AC1015_ascii.dxf");
    const QByteArray section = TextThumbnailSection(DibOf(SampleImage()), "\n");
    const QByteArray whole = InsertBefore(dxf, "  0\nEOF", section);
    const qsizetype sectionAt = whole.lastIndexOf("THUMBNAILIMAGE");
    // Cut inside the hex data: no section end.
    DrawingPreview p = Read(whole.left(sectionAt + section.size() / 2), "cut.dxf");
    EXPECT_EQ(p.outcome, PreviewOutcome::Damaged) << p.detail.toStdString();
    // A wrong byte count.
    QByteArray wrongCount = whole;
    wrongCount.replace(QByteArray("\n 90\n") + QByteArray::number(DibOf(SampleImage()).size()),
                       "\n 90\n12");
    p = Read(wrongCount, "count.dxf");
    EXPECT_EQ(p.outcome, PreviewOutcome::Damaged);
    // Something that is no hex.
    QByteArray notHex = whole;
    notHex[whole.indexOf("310\n", sectionAt) + 6] = 'Z';
    p = Read(notHex, "hex.dxf");
    EXPECT_EQ(p.outcome, PreviewOutcome::Damaged);
    // A preview section before the objects is not taken for one (it would not be there).
    p = Read(InsertBefore(dxf, "  0\nSECTION\n  2\nOBJECTS", section), "early.dxf");
    EXPECT_EQ(p.outcome, PreviewOutcome::NoPreview);
    EXPECT_LE(p.bytesRead, 200 * 1024);
}

TEST_F(DamagedDwg, CutCopiesShowNothing) {
    SKIP_WITHOUT_TESTDATA();
    for (const char* file : {"/dwg/libredwg/example_2000.dwg", "/dwg/libredwg/example_2013.dwg",
                             "/dwg/libredwg/example_r13.dwg"}) {
        SCOPED_TRACE(file);
        const QByteArray dwg = ReadAll(TestData() + file);
        const std::uint32_t seeker = Seeker(dwg);
        const std::uint32_t imageStart =
            qFromLittleEndian<std::uint32_t>(dwg.constData() + seeker + 21 + 9 + 1);
        for (qsizetype length :
             {qsizetype(0), qsizetype(6), qsizetype(0x10), qsizetype(seeker + 8),
              qsizetype(seeker + 21), qsizetype(seeker + 30), qsizetype(imageStart + 100)}) {
            const DrawingPreview p = Read(dwg.left(length));
            EXPECT_NE(p.outcome, PreviewOutcome::Image) << length;
            EXPECT_TRUE(p.image.isNull());
        }
    }
}

TEST_F(DamagedDwg, SpoiltHeadersAreDamage) {
    SKIP_WITHOUT_TESTDATA();
    const QByteArray dwg = ReadAll(TestData() + "/dwg/libredwg/example_2000.dwg");
    const std::uint32_t seeker = Seeker(dwg);
    const qsizetype bmpEntry = seeker + 21 + 9;  // the second entry of the image table
    const std::uint32_t imageStart =
        qFromLittleEndian<std::uint32_t>(dwg.constData() + bmpEntry + 1);
    const std::vector<std::tuple<const char*, qsizetype, QByteArray, PreviewOutcome>> rows = {
        {"seeker past the end", 0x0D, QByteArray("\xF0\xFF\xFF\x7F", 4), PreviewOutcome::Damaged},
        {"no seeker", 0x0D, QByteArray(4, '\0'), PreviewOutcome::NoPreview},
        {"sentinel", seeker + 3, "X", PreviewOutcome::Damaged},
        {"BMP entry past the end", bmpEntry + 1, QByteArray("\xF0\xFF\xFF\x00", 4),
         PreviewOutcome::Damaged},
        {"BMP entry too large", bmpEntry + 5, QByteArray("\xFF\xFF\xFF\x7F", 4),
         PreviewOutcome::Damaged},
        {"bitmap header size", imageStart, QByteArray("\x07\x00\x00\x00", 4),
         PreviewOutcome::Damaged},
        {"bitmap width", imageStart + 4, QByteArray("\xFF\xFF\xFF\x7F", 4),
         PreviewOutcome::Damaged},
    };
    for (const auto& [name, at, bytes, outcome] : rows) {
        QByteArray copy = dwg;
        copy.replace(at, bytes.size(), bytes);
        EXPECT_STREQ(Name(Read(copy).outcome), Name(outcome)) << name;
    }
    // A WMF entry alone shows nothing but is no damage.
    QByteArray wmfOnly = dwg;
    wmfOnly[bmpEntry] = 3;
    const DrawingPreview wmf = Read(wmfOnly);
    EXPECT_EQ(wmf.outcome, PreviewOutcome::NoPreview);
    EXPECT_EQ(wmf.format, PreviewFormat::Wmf);
}

TEST_F(DamagedDwg, EveryByteOfTheHeadersSpoiltInTurnNeverCrashes) {
    SKIP_WITHOUT_TESTDATA();
    for (const char* file : {"/dwg/libredwg/example_2000.dwg", "/dwg/libredwg/example_2018.dwg"}) {
        const QByteArray dwg = ReadAll(TestData() + file);
        const std::uint32_t seeker = Seeker(dwg);
        const std::uint32_t image =
            qFromLittleEndian<std::uint32_t>(dwg.constData() + seeker + 21 + 10);
        std::vector<qsizetype> offsets;
        for (auto [from, count] :
             {std::pair<qsizetype, qsizetype>{0, 0x20}, {seeker, 21 + 18}, {image, 64}}) {
            for (qsizetype i = from; i < from + count; ++i) {
                offsets.push_back(i);
            }
        }
        // One copy, patched in place byte by byte.
        const QString path = dir.filePath("patched.dwg");
        WriteAll(path, dwg);
        QFile patch(path);
        ASSERT_TRUE(patch.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
        for (qsizetype at : offsets) {
            for (char value : {'\x00', '\xFF', '\x80'}) {
                patch.seek(at);
                patch.write(&value, 1);
                const DrawingPreview p = ReadDrawingPreview(path);
                EXPECT_LE(p.bytesRead, kMaxPreviewBytes + 4096) << file << ' ' << at;
                EXPECT_EQ(p.image.isNull(), p.outcome != PreviewOutcome::Image);
            }
            patch.seek(at);
            patch.write(dwg.constData() + at, 1);
        }
    }
}

TEST(DrawingPreview, FoldersMissingFilesPipesAndOtherFilesShowNothing) {
    QTemporaryDir dir;
    // A pipe would block a reader that opens it plainly.
    ASSERT_EQ(::mkfifo(dir.filePath("pipe.dwg").toStdString().c_str(), 0600), 0);
    WriteAll(dir.filePath("empty.dwg"), {});
    WriteAll(dir.filePath("text.dwg"), "Hello, this is no drawing.\n");
    WriteAll(dir.filePath("r12.dxf"),
             "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n  0\nEOF\n");
    const std::vector<std::pair<QString, PreviewOutcome>> rows = {
        {dir.path(), PreviewOutcome::Unreadable},
        {dir.filePath("missing.dwg"), PreviewOutcome::Unreadable},
        {QString(), PreviewOutcome::Unreadable},
        {dir.filePath("pipe.dwg"), PreviewOutcome::Unreadable},
        {dir.filePath("empty.dwg"), PreviewOutcome::NotDrawing},
        {dir.filePath("text.dwg"), PreviewOutcome::NotDrawing},
        {dir.filePath("r12.dxf"), PreviewOutcome::NoPreview},
    };
    for (const auto& [path, outcome] : rows) {
        EXPECT_STREQ(Name(ReadDrawingPreview(path).outcome), Name(outcome)) << path.toStdString();
    }
}

}  // namespace
