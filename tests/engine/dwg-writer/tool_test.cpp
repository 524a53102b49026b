// vormex-dwg-write as the examples generator runs it: a drawing it cannot read is refused
// with a message and leaves nothing behind; a good one becomes a DWG file with its stored
// reference path and a preview.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include "dxf/TestDxf.h"
#include "engine/dwg/DwgReader.h"
#include "search/DrawingPreview.h"

namespace vx::engine {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string err;
};

Outcome Write(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VORMEX_DWG_WRITE), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    Outcome r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = p.readAllStandardError().toStdString();
    return r;
}

QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(dir)) {
        names.push_back(f.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DwgWriteTool, RefusesADamagedDrawingAndLeavesNothing) {
    test::TempDir dir;
    // A sample cut off in the middle of its header.
    std::string whole = test::ReadBytes(fs::path(VORMEX_SOURCE_DIR) / "examples" / "flange.dxf");
    ASSERT_GT(whole.size(), 3000u);
    test::WriteBytes(dir.Path() / "broken.dxf", whole.substr(0, 3000));
    test::WriteBytes(dir.Path() / "older.dwg", "an older file");

    Outcome fresh = Write({Q(dir.Path() / "broken.dxf"), Q(dir.Path() / "broken.dwg")});
    EXPECT_EQ(fresh.exitCode, 1);
    EXPECT_NE(fresh.err.find("broken.dxf"), std::string::npos) << fresh.err;
    EXPECT_NE(fresh.err.find("cannot be read"), std::string::npos) << fresh.err;

    Outcome over = Write({Q(dir.Path() / "broken.dxf"), Q(dir.Path() / "older.dwg")});
    EXPECT_EQ(over.exitCode, 1);
    EXPECT_EQ(test::ReadBytes(dir.Path() / "older.dwg"), "an older file");

    // No output, no temporary file.
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"broken.dxf", "older.dwg"}));
}

TEST(DwgWriteTool, WritesATwinWithItsReferencePathAndPreview) {
    test::TempDir dir;
    const fs::path in = fs::path(VORMEX_SOURCE_DIR) / "examples" / "moved-project" / "Projects" /
                        "Job1" / "Dwg" / "office-level1.dxf";
    const std::string stored = "C:\\Jobs\\Grid\\structure-grid.dwg";
    Outcome r = Write({"--xref-path", QString::fromStdString("structure-grid=" + stored), Q(in),
                       Q(dir.Path() / "office.dwg")});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    auto read = dwg::ReadDwg(test::ReadBytes(dir.Path() / "office.dwg"));
    ASSERT_TRUE(read.Ok()) << read.error.Text();
    EXPECT_TRUE(read.database->warnings.empty());
    db::BlockId grid = read.database->FindBlock("structure-grid");
    ASSERT_NE(grid, db::kNone);
    ASSERT_TRUE(read.database->blocks[grid].xref.has_value());
    EXPECT_EQ(read.database->blocks[grid].xref->path, stored);

    search::DrawingPreview p = search::ReadDrawingPreview(Q(dir.Path() / "office.dwg"));
    EXPECT_EQ(p.outcome, search::PreviewOutcome::Image) << p.detail.toStdString();

    // A reference the drawing does not have is a wrong argument.
    Outcome wrong =
        Write({"--xref-path", "no-such-block=C:\\x.dwg", Q(in), Q(dir.Path() / "x.dwg")});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_FALSE(fs::exists(dir.Path() / "x.dwg"));
}

}  // namespace
}  // namespace vx::engine
