// The real drawings of the test data with what MANIFEST.tsv says of their previews, and
// drawings made from them that carry a preview of ours.
#pragma once

#include <gtest/gtest.h>
#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>
#include <vector>

namespace vx::testing {

inline QString TestData() {
    return QStringLiteral(VORMEX_TESTDATA_DIR);
}

inline bool HaveTestData() {
    return QFile::exists(TestData() + "/MANIFEST.tsv");
}

#define SKIP_WITHOUT_TESTDATA()                                     \
    do {                                                            \
        if (!::vx::testing::HaveTestData()) {                       \
            GTEST_SKIP() << "no test data at " VORMEX_TESTDATA_DIR; \
        }                                                           \
    } while (false)

struct ManifestEntry {
    QString file;       // relative to the test data folder
    QString kind;       // dwg, dxf, ...
    QString thumbnail;  // yes, no, n/a or empty
    QString detail;     // e.g. "BMP 31304 B; seeker@0x0D=88"
    QString Path() const { return TestData() + "/" + file; }
    // "BMP" or "PNG" and the byte count from the detail, when it names them.
    QString Format() const { return detail.section(' ', 0, 0); }
    qint64 Bytes() const { return detail.section(' ', 1, 1).toLongLong(); }
};

inline std::vector<ManifestEntry> Manifest() {
    std::vector<ManifestEntry> out;
    QFile f(TestData() + "/MANIFEST.tsv");
    if (!f.open(QIODevice::ReadOnly)) {
        return out;
    }
    const QStringList header = QString::fromUtf8(f.readLine()).trimmed().split('\t');
    const int file = header.indexOf("file");
    const int kind = header.indexOf("kind");
    const int has = header.indexOf("has_thumbnail");
    const int detail = header.indexOf("thumbnail_detail");
    while (!f.atEnd()) {
        const QStringList cols = QString::fromUtf8(f.readLine()).chopped(1).split('\t');
        if (cols.size() <= std::max({file, kind, has, detail})) {
            continue;
        }
        out.push_back({cols[file], cols[kind], cols[has], cols[detail]});
    }
    return out;
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
}

// A picture with something on it, so that a wrong decoding shows.
inline QImage SampleImage(int w = 61, int h = 37) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setPen(Qt::yellow);
    p.drawLine(0, 0, w - 1, h - 1);
    p.fillRect(5, 5, 10, 7, Qt::red);
    p.end();
    return img;
}

inline QByteArray PngOf(const QImage& image, const char* format = "PNG") {
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    image.save(&b, format);
    return out;
}

// The image as drawings store a bitmap: a DIB, without the file header.
inline QByteArray DibOf(const QImage& image) {
    return PngOf(image, "BMP").mid(14);
}

// A THUMBNAILIMAGE section in text form.
inline QByteArray TextThumbnailSection(const QByteArray& data, const QByteArray& eol = "\r\n") {
    QByteArray s = "  0" + eol + "SECTION" + eol + "  2" + eol + "THUMBNAILIMAGE" + eol + " 90" +
                   eol + QByteArray::number(data.size()) + eol;
    const QByteArray hex = data.toHex().toUpper();
    for (qsizetype i = 0; i < hex.size(); i += 256) {
        s += "310" + eol + hex.mid(i, 256) + eol;
    }
    return s + "  0" + eol + "ENDSEC" + eol;
}

// The same in binary form (two-byte group codes).
inline QByteArray BinaryThumbnailSection(const QByteArray& data) {
    QByteArray s;
    auto code = [&](int c) {
        s.append(char(c & 0xFF));
        s.append(char(c >> 8));
    };
    code(0);
    s.append("SECTION", 8);
    code(2);
    s.append("THUMBNAILIMAGE", 15);
    code(90);
    code(int(data.size() & 0xFFFF));
    code(int(data.size() >> 16));
    for (qsizetype i = 0; i < data.size(); i += 127) {
        code(310);
        const QByteArray chunk = data.mid(i, 127);
        s.append(char(chunk.size()));
        s.append(chunk);
    }
    code(0);
    s.append("ENDSEC", 7);
    return s;
}

// `dxf` with `section` put in front of the text `before` (the last occurrence).
inline QByteArray InsertBefore(const QByteArray& dxf, const QByteArray& before,
                               const QByteArray& section) {
    const qsizetype at = dxf.lastIndexOf(before);
    EXPECT_GE(at, 0);
    QByteArray out = dxf;
    out.insert(at, section);
    return out;
}

}  // namespace vx::testing
