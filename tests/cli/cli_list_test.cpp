#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "CliRunner.h"
#include "PreviewTestData.h"
#include "SearchRecorder.h"
#include "TempTree.h"
#include "search/FileSystemPath.h"

using namespace vx::testing;
using ::testing::HasSubstr;
using vx::search::FileSearch;

namespace {

// What the window's search lists for the same folder, as the list prints it.
QByteArray WindowRows(const QString& folder, const QString& pattern, bool recursive) {
    RecordingSearchHost host;
    host.dirPath = vx::search::NormalizeFolderPath(folder);
    host.pattern = pattern;
    host.includeSubfolders = recursive;
    host.printerCount = 2;
    FileSearch search(host);
    search.cmdAction_Click(vx::search::kFindFilesCaption);
    QByteArray out;
    for (const auto& row : host.rows) {
        const QString line =
            QStringList({row.FileName, row.Path, row.FileType, row.Size, row.LastModified})
                .join('\t');
        out += vx::search::ToFileSystemPath(line) + '\n';
    }
    return out;
}

TEST(CliList, PrintsWhatTheSearchListsInSearchOrder) {
    TempTree t;
    t.File("b.dwg", 1536).File("A.DWG", 10).File("c.dxf").File("Sub/d.dwg").File("Sub/T/e.dwg");
    const CliResult plain = RunCli("list", {t.Root()});
    EXPECT_EQ(plain.status, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out, WindowRows(t.Root(), "*.DWG", false));
    EXPECT_THAT(plain.out.toStdString(), HasSubstr("A.DWG\t" + t.Root().toStdString() + "/\t"));

    const CliResult deep = RunCli("list", {t.Root() + "/", "--recursive"});
    EXPECT_EQ(deep.out, WindowRows(t.Root(), "*.DWG", true));

    const CliResult dxf = RunCli("list", {"--pattern", "*.dxf", t.Root()});
    EXPECT_EQ(dxf.out, WindowRows(t.Root(), "*.dxf", false));
    EXPECT_EQ(RunCli("list", {"--pattern=*.DXF", t.Root()}).out, dxf.out);
}

TEST(CliList, NamesKeepTheirBytesAndCannotBreakTheColumns) {
    TempTree t;
    t.RawFile("", "Pl\xE4n.dwg").RawFile("", "tab\there.dwg").RawFile("", "new\nline.dwg");
    const CliResult r = RunCli("list", {t.Root()});
    ASSERT_EQ(r.status, 0);
    const QList<QByteArray> lines = r.out.split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("new\\nline.dwg\t"));
    EXPECT_TRUE(lines[1].startsWith("Pl\xE4n.dwg\t"));
    EXPECT_TRUE(lines[2].startsWith("tab\\there.dwg\t"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i].count('\t'), 4);
    }
}

TEST(CliList, ClearOutcomesForNothingFoundAndBadArguments) {
    TempTree t;
    t.File("a.txt");
    CliResult r = RunCli("list", {t.Root()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_THAT(r.err.toStdString(), HasSubstr("No Files Found. Try Again"));

    r = RunCli("list", {t.Path("missing")});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err.toStdString(), HasSubstr("not a folder"));
    for (const QStringList& args :
         {QStringList{t.Path("a.txt")}, QStringList{}, QStringList{t.Root(), "--pattern"}}) {
        EXPECT_EQ(RunCli("list", args).status, 2) << args.join(' ').toStdString();
    }
}

}  // namespace
