// The drawing search: its text rules (file names that are no valid text, the wildcard
// pattern, the texts of a drawing's row, the list's columns and sorting), the search itself
// on real temporary folder trees as its host sees it, and the previews stored in drawings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QtEndian>

#include "PreviewTestData.h"
#include "QtPrinters.h"
#include "SearchRecorder.h"
#include "TempTree.h"
#include "search/DrawingListModel.h"
#include "search/DrawingPreview.h"
#include "search/FileSearch.h"
#include "search/FileSystemPath.h"
#include "search/RowTexts.h"
#include "search/Wildcard.h"

using namespace vx::search;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using namespace vx::testing;

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

std::string Searching(const QString& folder) {
    return "Status: Searching ... " + folder.toStdString() + "<CR>Press Cancel to stop search.";
}

struct SearchTest : ::testing::Test {
    TempTree t;
    RecordingSearchHost host;
    FileSearch search{host, QLocale(QLocale::English, QLocale::UnitedStates)};

    void SetUp() override {
        host.printerCount = 5;
        host.dirPath = t.Root();
    }
    void InJWithSubfolders() {
        host.dirPath = t.Path("J");
        host.includeSubfolders = true;
    }
    // A folder as the search names it, with its trailing separator.
    QString F(const QString& relative = QString()) const { return AddBackslash(t.Path(relative)); }
    // The log without the texts and rows.
    std::vector<std::string> Steps() const { return host.LogWithout({"Status", "Label1", "Row"}); }
};

TEST_F(SearchTest, DirChangeRunsItsStepsInOrder) {
    t.File("a.dwg", 100).File("B.DWG").File("c.txt").Dir("x.dwg").File(".h.dwg");
    host.printerCount = 1;
    search.Dir1_Change();
    EXPECT_THAT(
        host.log,
        ElementsAre(
            "Untick Check1", "Pointer Hourglass", "Clear", "FillPlotLists",
            "StopRequested := False", Searching(t.Root()), Searching(F()), "Row a.dwg", "Row B.DWG",
            "Status: ",
            "Label1: Found following files in " + t.Root().toStdString() +
                " Use shift key to select multiple files and right click to get more options",
            "Status: 2  Files Found  ", "Command2 enabled", "Pointer Default"));
}

TEST_F(SearchTest, KeyDownSearchesAndSortsOnEnterOnlyAndTheButtonStopsOnCancel) {
    t.File("a.dwg");
    search.Check1_KeyDown(65);
    EXPECT_TRUE(host.log.empty());
    search.Check1_KeyDown(kEnterKey);
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                                     "Command2 enabled", "Sorted", "Pointer Default"));
    host.log.clear();
    search.cmdAction_Click(kCancelCaption);
    EXPECT_THAT(host.log, ElementsAre("StopRequested := True"));
}

TEST_F(SearchTest, DirClickAppendsOnlyWhenTheListDoesNotShowTheFolder) {
    t.File("a.dwg");
    host.rows.push_back(DrawingRow{"o.dwg", "/elsewhere/", "", "", ""});
    search.Dir1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("o.dwg", "a.dwg"));
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Command2 enabled", "Pointer Default"));
    // The test is on the text: a first row from a subfolder also counts.
    host.rows = {DrawingRow{"s.dwg", F("Sub"), "", "", ""}};
    search.LastDirPath.clear();
    search.Dir1_Click();
    EXPECT_EQ(host.rows.size(), 1u);
}

TEST_F(SearchTest, RowsFollowListingOrderFolderByFolderDepthFirst) {
    t.File("J/a.dwg").File("J/S1/b.dwg").File("J/S1/T/c.dwg").File("J/S2/d.dwg");
    t.File("J/Rev.2/e.dwg").File("J/.hid/f.dwg").File("J/README").File("J/s10/g.dwg");
    InJWithSubfolders();
    search.Check1_Click();
    // Rev.2 (a dot) and the hidden folder are not entered.
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "b.dwg", "c.dwg", "g.dwg", "d.dwg"));
}

TEST_F(SearchTest, FilesComeInListingOrderAndOnlyOrdinaryVisibleMatchingOnes) {
    t.File("b.dwg").File("_z.dwg").File("a.dwg").File("A.dwg").File("a2.DWG").File("plan.dwg.bak");
    t.Dir("folder.dwg").File(".secret.dwg").Link("link.dwg", t.Path("A.dwg"));
    t.Link("dangling.dwg", t.Path("none.dwg"));
    ASSERT_EQ(::mkfifo(t.Path("pipe.dwg").toStdString().c_str(), 0600), 0);
    search.Check1_Click();
    EXPECT_THAT(host.Names(),
                ElementsAre("A.dwg", "a.dwg", "a2.DWG", "b.dwg", "link.dwg", "_z.dwg"));
}

TEST_F(SearchTest, NothingFoundSaysSoInBothPlacesAndLeavesCommand2Alone) {
    t.Dir("Empty");
    host.dirPath = t.Path("Empty");
    search.Check1_Click();
    EXPECT_EQ(host.label, kNoFilesFound);
    EXPECT_EQ(host.status, kNoFilesFound);
    EXPECT_THAT(host.log, Not(Contains("Command2 enabled")));
}

TEST_F(SearchTest, LinksBackIntoTheTreeNeitherLoopNorListTwiceAndALinkOutsideIsSearchedOnce) {
    t.File("J/a.dwg").File("J/S/b.dwg").File("Outside/o.dwg").Link("J/Ext", t.Path("Outside"));
    t.Link("J/S/loop", t.Path("J")).Link("J/S/self", t.Path("J/S")).Link("J/T", t.Path("J/S"));
    InJWithSubfolders();
    search.Check1_Click();
    // A second search finds the same again: what was searched belongs to one search.
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "o.dwg", "b.dwg"));
    EXPECT_EQ(host.rows[1].Path, F("J/Ext"));
}

TEST_F(SearchTest, AFolderWithoutPermissionContributesNothing) {
    t.File("J/A/a.dwg").File("J/B/b.dwg").File("J/C/c.dwg");
    ::chmod(t.Path("J/B").toStdString().c_str(), 0);
    // Permissions do not bind the superuser: as root, search as nobody.
    const bool root = ::geteuid() == 0;
    if (root) {
        ::chmod(t.Root().toStdString().c_str(), 0755);
        if (::setegid(65534) != 0 || ::seteuid(65534) != 0) {
            ::setegid(0);
            GTEST_SKIP() << "cannot search as another user";
        }
    }
    InJWithSubfolders();
    search.Check1_Click();
    if (root) {
        EXPECT_EQ(::seteuid(0), 0);
        EXPECT_EQ(::setegid(0), 0);
    }
    ::chmod(t.Path("J/B").toStdString().c_str(), 0755);
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "c.dwg"));
    EXPECT_EQ(host.status, "2  Files Found  ");
}

TEST_F(SearchTest, NamesThatAreNoValidTextAreListedAndLeadBackToTheFile) {
    t.RawFile("", "Pl\xE4n.dwg").RawDir("", "Geb\xE4ude").RawFile("Geb\xE4ude", "x.dwg");
    host.includeSubfolders = true;
    search.Check1_Click();
    ASSERT_EQ(host.rows.size(), 2u);
    EXPECT_EQ(ToFileSystemPath(host.rows[0].FullPath()), t.Bytes("Pl\xE4n.dwg"));
    EXPECT_EQ(ToFileSystemPath(host.rows[1].FullPath()), t.Bytes("Geb\xE4ude/x.dwg"));
}

TEST_F(SearchTest, AStopLeavesTheCurrentLevelAfterItsFileAndTheCallerGoesOn) {
    t.File("a1.dwg").File("a2.dwg").File("S1/b1.dwg").File("S1/b2.dwg").File("S1/Deep/x.dwg");
    t.File("S2/c1.dwg").File("S2/c2.dwg");
    host.includeSubfolders = true;
    host.onKeepAlive = [this] {
        if (!host.rows.empty() && host.rows.back().FileName == "b1.dwg") {
            host.stop = true;  // as the action button does
        }
    };
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a1.dwg", "a2.dwg", "b1.dwg", "c1.dwg"));
    // Each stopped level sets the default pointer; the starter's last step does not run.
    EXPECT_THAT(Steps(), ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                                     "Pointer Default", "Pointer Default", "Command2 enabled"));
}

TEST_F(SearchTest, DuringASearchTheActionButtonStopsAndOtherStartersWait) {
    t.File("a.dwg").File("b.dwg").File("c.dwg").File("d.dwg");
    host.onKeepAlive = [this] {
        if (host.rows.size() == 2) {
            search.Dir1_Change();
            search.Check1_KeyDown(kEnterKey);
            search.Dir1_Click();
            search.cmdAction_Click("S&top Search");
        }
    };
    search.Check1_Click();
    EXPECT_THAT(host.Names(), ElementsAre("a.dwg", "b.dwg"));
    EXPECT_THAT(Steps(),
                ElementsAre("Pointer Hourglass", "Clear", "StopRequested := False",
                            "StopRequested := True", "Pointer Default", "Command2 enabled"));
    EXPECT_FALSE(search.Searching());
}

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
