#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "search/FileSystemPath.h"

using namespace vx::search;

namespace {

TEST(FileSystemNames, InvalidBytesAreEscapedOneByOne) {
    const QString s = FromFileSystemPath(
        "a\xFF"
        "b\xC3");
    ASSERT_EQ(s.size(), 4);
    EXPECT_EQ(s.at(1).unicode(), 0xDCFF);
    EXPECT_EQ(s.at(3).unicode(), 0xDCC3);  // a sequence cut short at the end
    EXPECT_EQ(FromFileSystemPath("\xC3\xA4"), QString::fromUtf8("ä"));
    // Overlong forms, encoded surrogates and code points above U+10FFFF are no text.
    EXPECT_EQ(FromFileSystemPath("\xC0\xAF").at(0).unicode(), 0xDCC0);
    EXPECT_EQ(FromFileSystemPath("\xED\xB2\x80").size(), 3);
    EXPECT_EQ(FromFileSystemPath("\xF4\x90\x80\x80").size(), 4);
}

TEST(FileSystemNames, EveryTwoByteStringMakesTheRoundTrip) {
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const std::string s{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(ToFileSystemPath(FromFileSystemPath(s)), s) << a << ' ' << b;
        }
    }
}

}  // namespace
