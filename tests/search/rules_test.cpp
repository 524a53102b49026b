// The search's rules: file names that are no valid text, the wildcard pattern, the texts of
// a drawing's row, and the list's columns and sorting.
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "search/DrawingListModel.h"
#include "search/FileSystemPath.h"
#include "search/RowTexts.h"
#include "search/Wildcard.h"

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

TEST(Wildcard, MatchesAsWindowsDoes) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        // Letters ignore case, non-ASCII ones too; the whole name must be covered.
        {"*.DWG", "Plan.Dwg", true},
        {"*.DWG", "plan.dwg.bak", false},
        {"ÄRGER*", "ärger.dwg", true},
        // "?" is exactly one character; "*" also stands for nothing, and backtracks.
        {"A?.dwg", "a.dwg", false},
        {"a*b*c", "aXbYbZ", false},
        // ".*" also takes names without any dot, a final "." only them.
        {"*.", "README", true},
        {"*.", "a.dwg", false},
        {"", "README", true},
        // The pattern's other special characters are literal.
        {"a[1].dwg", "a1.dwg", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Wildcard(QString::fromUtf8(c.pattern)).Matches(QString::fromUtf8(c.name)),
                  c.matches)
            << c.pattern << " vs " << c.name;
    }
    // Many stars against a long name finish.
    EXPECT_FALSE(Wildcard("*a*a*a*a*a*a*a*a*c").Matches(QString(5000, QChar('a')) + "b"));
}

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);

TEST(SizeText, KilobytesToOneDecimalTiesToEvenInTheLocalesFormWithoutGrouping) {
    using R = std::tuple<std::int64_t, const QLocale&, const char*>;
    const R cases[] = {{51, kUs, "0 KB"},
                       {52, kUs, "0.1 KB"},
                       {256, kUs, "0.2 KB"},
                       {1023, kUs, "1 KB"},
                       {1048524, kUs, "1023.9 KB"},
                       {5368709120LL, kUs, "5242880 KB"},
                       {12800512, kDe, "12500,5 KB"}};
    for (const auto& [bytes, locale, text] : cases) {
        EXPECT_EQ(SizeText(bytes, locale), text) << bytes;
    }
}

TEST(DateTexts, ShortDateAndLongTimeWithoutZoneAndMidnightAsTheDateOnly) {
    const QDateTime afternoon(QDate(2021, 6, 15), QTime(13, 4, 5));
    const QDateTime midnight(QDate(2020, 2, 29), QTime(0, 0, 0));
    EXPECT_EQ(DateTexts(kUs).Text(afternoon), "6/15/21 1:04:05 PM");
    EXPECT_EQ(DateTexts(kDe).Text(afternoon), "15.06.21 13:04:05");
    EXPECT_EQ(DateTexts(kDe).Text(midnight.toSecsSinceEpoch()), "29.02.20");
    EXPECT_FALSE(LongTimeWithoutZone(QLocale(QLocale::Japanese)).contains('t'));
}

TEST(FileTypeNames, KnownTypesGetTheDatabasesDescriptionOthersTheirLastExtension) {
    FileTypeNames names;
    EXPECT_EQ(names.Describe("survey.qxzzv"), "QXZZV File");
    EXPECT_EQ(names.Describe("README"), "File");
    EXPECT_EQ(names.Describe("A.DWG"), names.Describe("b.dwg"));
}

// Rows of {file name, path, size}.
void Add(DrawingListModel& m, std::initializer_list<std::array<const char*, 3>> rows) {
    for (const auto& [name, path, size] : rows) {
        m.AddRow(DrawingRow{name, path, "AutoCAD image", size, "1/1/21"});
    }
}

QStringList Column(const DrawingListModel& m, int column) {
    QStringList out;
    for (int i = 0; i < m.rowCount(); ++i) {
        out << m.data(m.index(i, column)).toString();
    }
    return out;
}

TEST(DrawingListModel, HasTheFiveColumnsWithTheirAlignments) {
    DrawingListModel m;
    Add(m, {{"a.dwg", "/p/", "1 KB"}});
    QStringList headers;
    for (int c = 0; c < m.columnCount(); ++c) {
        headers << m.headerData(c, Qt::Horizontal).toString();
        const auto cell = m.data(m.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(cell & Qt::AlignHorizontal_Mask, c >= 3 ? Qt::AlignRight : Qt::AlignLeft) << c;
    }
    EXPECT_EQ(headers,
              QStringList({"File Name", "Path", "File Type", "Size", "Last Modified Date"}));
}

// A new column sorts ascending, the same column again reverses; by text ignoring case, not
// by value; equal texts keep their search order both ways.
TEST(DrawingListModel, ColumnClicksSortByTextAndKeepEqualRowsInOrder) {
    DrawingListModel sizes;
    Add(sizes, {{"x", "/p/", "9 KB"}, {"y", "/p/", "10 KB"}, {"z", "/p/", "100.5 KB"}});
    sizes.ColumnClick(3);
    EXPECT_EQ(Column(sizes, 3), QStringList({"10 KB", "100.5 KB", "9 KB"}));
    DrawingListModel equal;
    Add(equal, {{"first", "/same/", ""},
                {"z", "/z/", ""},
                {"second", "/SAME/", ""},
                {"third", "/same/", ""}});
    equal.ColumnClick(1);
    EXPECT_EQ(Column(equal, 0), QStringList({"first", "second", "third", "z"}));
    equal.ColumnClick(1);
    EXPECT_EQ(Column(equal, 0), QStringList({"z", "first", "second", "third"}));
    equal.ColumnClick(0);
    EXPECT_EQ(equal.SortOrder(), 0);
    EXPECT_EQ(Column(equal, 0), QStringList({"first", "second", "third", "z"}));
}

TEST(DrawingListModel, RowsAddedWhileSortedTakeTheirPlaceAndClearingKeepsTheSort) {
    DrawingListModel m;
    Add(m, {{"b", "/p/", ""}, {"a", "/p/", ""}});
    m.SetSorted(true);  // without a column: by file name
    EXPECT_EQ(Column(m, 0), QStringList({"a", "b"}));
    m.ColumnClick(0);  // descending
    m.Clear();
    Add(m, {{"m", "/p/", ""}, {"c", "/p/", ""}, {"x", "/p/", ""}});
    EXPECT_EQ(Column(m, 0), QStringList({"x", "m", "c"}));
}

}  // namespace
