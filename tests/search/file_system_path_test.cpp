#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QDir>
#include <random>

#include "search/FileSystemPath.h"

using namespace vx::search;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

TEST(AddBackslash, AddsOneSeparatorOnlyWhenMissing) {
    EXPECT_EQ(AddBackslash(""), "/");
    EXPECT_EQ(AddBackslash("/"), "/");
    EXPECT_EQ(AddBackslash("/jobs"), "/jobs/");
    EXPECT_EQ(AddBackslash("/jobs/"), "/jobs/");
    // Only the native separator counts.
    EXPECT_EQ(AddBackslash("/jobs\\"), "/jobs\\/");
}

TEST(NormalizeFolderPath, GivesAbsoluteFoldersWithoutTrailingSeparator) {
    EXPECT_EQ(NormalizeFolderPath("/"), "/");
    EXPECT_EQ(NormalizeFolderPath("/jobs/site/"), "/jobs/site");
    EXPECT_EQ(NormalizeFolderPath("/jobs/./old/../site"), "/jobs/site");
    EXPECT_EQ(NormalizeFolderPath("//jobs//site"), "/jobs/site");
    EXPECT_EQ(NormalizeFolderPath("rel"), QDir::currentPath() + "/rel");
    EXPECT_EQ(NormalizeFolderPath(""), "");
}

TEST(FileSystemNames, ValidUtf8IsPlainText) {
    EXPECT_EQ(FromFileSystemPath("Zeichnung \xC3\xA4.dwg"), QString::fromUtf8("Zeichnung ä.dwg"));
    EXPECT_EQ(FromFileSystemPath("\xF0\x9F\x93\x90"), QString::fromUtf8("\xF0\x9F\x93\x90"));
    EXPECT_EQ(ToFileSystemPath(QString::fromUtf8("Zeichnung ä.dwg")), "Zeichnung \xC3\xA4.dwg");
}

TEST(FileSystemNames, InvalidBytesAreEscapedOneByOne) {
    const QString s = FromFileSystemPath(Bytes({'a', 0xFF, 'b', 0xC3}));
    ASSERT_EQ(s.size(), 4);
    EXPECT_EQ(s.at(0), QChar('a'));
    EXPECT_EQ(s.at(1).unicode(), 0xDCFF);
    EXPECT_EQ(s.at(2), QChar('b'));
    EXPECT_EQ(s.at(3).unicode(), 0xDCC3);  // a sequence cut short at the end
    // Overlong forms, encoded surrogates and code points above U+10FFFF are no text.
    EXPECT_EQ(FromFileSystemPath(Bytes({0xC0, 0xAF})).at(0).unicode(), 0xDCC0);
    EXPECT_EQ(FromFileSystemPath(Bytes({0xED, 0xB2, 0x80})).size(), 3);
    EXPECT_EQ(FromFileSystemPath(Bytes({0xF4, 0x90, 0x80, 0x80})).size(), 4);
}

TEST(FileSystemNames, EveryByteStringMakesTheRoundTrip) {
    // All strings of two bytes, then random longer ones biased towards UTF-8 lead bytes.
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const std::string s = Bytes({a, b});
            ASSERT_EQ(ToFileSystemPath(FromFileSystemPath(s)), s) << a << ' ' << b;
        }
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(1, 12);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<int> special(0, 9);
    const int interesting[] = {0x80, 0xBF, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5};
    for (int i = 0; i < 20000; ++i) {
        std::string s;
        const int n = length(random);
        for (int k = 0; k < n; ++k) {
            s += static_cast<char>(special(random) < 4 ? interesting[special(random)]
                                                       : byte(random));
        }
        ASSERT_EQ(ToFileSystemPath(FromFileSystemPath(s)), s);
    }
}

TEST(FileSystemNames, TextFromNamesComesBackUnchanged) {
    const QString name = FromFileSystemPath(Bytes({'P', 'l', 0xE4, 'n', '.', 'd', 'w', 'g'}));
    EXPECT_EQ(FromFileSystemPath(ToFileSystemPath(name)), name);
    const QString path = QStringLiteral("/jobs/") + name;
    EXPECT_EQ(ToFileSystemPath(path),
              Bytes({'/', 'j', 'o', 'b', 's', '/', 'P', 'l', 0xE4, 'n', '.', 'd', 'w', 'g'}));
}

}  // namespace
