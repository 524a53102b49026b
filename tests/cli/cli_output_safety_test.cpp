// What vormex-cli writes is never lost or misnamed, and its runs say what happened: a full
// disk fails each output and keeps the earlier file; a link planted at a plot's name is
// replaced; drawings whose names are no valid text get one plot each; doubtful plots are
// "plotted with warnings" with an exit status of their own; a failing plot is tried once;
// a reference from elsewhere is named; a killed run leaves a valid report.
#include <gmock/gmock.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <fstream>

#include "../engine/automation/EngineFixture.h"
#include "../support/FullDisk.h"
#include "CliRunner.h"
#include "cli/PlotCommand.h"
#include "search/FileSystemPath.h"

namespace vx::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

QString Q(const fs::path& p) {
    return search::FromFileSystemPath(p.string());
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

QJsonObject Json(const fs::path& file) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(Bytes(file))).object();
}

// The printed lines' fields: drawing, result, outputs.
std::vector<std::vector<std::string>> Lines(const QByteArray& out) {
    std::vector<std::vector<std::string>> lines;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty()) {
            lines.emplace_back();
            for (const QByteArray& field : line.split('\t')) {
                lines.back().push_back(field.toStdString());
            }
        }
    }
    return lines;
}

struct CliSafety : EngineModel {
    CliResult Plot(const QStringList& args, const char* device = "PDF.pc3") {
        return Capture([&](cli::CommandIo& io) {
            return cli::RunPlot(args + QStringList{"--device", device, "--paper", "A4", "--style",
                                                   "monochrome.ctb"},
                                io, registry);
        });
    }
};

TEST_F(CliSafety, AFullDiskFailsEveryOutputAndKeepsTheEarlierFile) {
    const FullDisk disk;
    if (!disk.Usable()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const fs::path drawing = disk.Path() / "flange.dxf";
    fs::copy_file(Example("flange.dxf"), drawing);
    const fs::path preview = Example("flange.dwg");
    const struct {
        const char* file;
        std::function<CliResult()> run;
        const char* says;
    } cases[] = {
        {"flange.pdf", [&] { return Plot({Q(drawing)}); }, "failed: The plot file"},
        {"flange.svg", [&] { return Plot({Q(drawing)}, "SVG.pc3"); }, "failed: The plot file"},
        {"flange.png", [&] { return Plot({Q(drawing)}, "PNG.pc3"); }, "failed: The plot file"},
        {"flange.plt", [&] { return Plot({Q(drawing)}, "HP-GL2.pc3"); }, "failed: The plot file"},
        {"r.json",
         [&] {
             return Plot({Q(Example("bracket-r12.dxf")), "--report", Q(disk.Path() / "r.json")});
         },
         "the report"},
        {"thumb.png",
         [&] {
             return RunCli("thumbnail", {Q(preview), Q(disk.Path() / "thumb.png")});
         },
         "cannot write"},
    };
    for (const auto& c : cases) {
        Put(disk.Path() / c.file, "earlier");
    }
    disk.Fill();
    for (const auto& c : cases) {
        const CliResult r = c.run();
        EXPECT_EQ(r.status, 1) << c.file;
        EXPECT_THAT(r.out.toStdString() + r.err.toStdString(), HasSubstr(c.says)) << c.file;
        EXPECT_THAT(r.out.toStdString() + r.err.toStdString(), HasSubstr("No space left"));
        EXPECT_EQ(Bytes(disk.Path() / c.file), "earlier") << c.file;
    }
}

TEST_F(CliSafety, DrawingsWhoseNamesAreNoValidTextGetAPlotEachAndALinkIsNotFollowed) {
    const fs::path folder = work / "names";
    fs::create_directories(folder);
    const std::vector<std::string> names = {"plan-\xff.dxf", "plan-\xfe.dxf", "flange.dxf"};
    QStringList args;
    for (const auto& name : names) {
        fs::copy_file(Example("flange.dxf"), folder / name);
        args << Q(folder / name);
    }
    Put(work / "victim.pdf", "not a plot");
    fs::create_symlink(work / "victim.pdf", folder / "flange.pdf");
    const fs::path report = work / "r.json";

    const CliResult r = Plot(args + QStringList{"--report", Q(report)});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    std::set<std::string> outputs;
    for (const auto& line : Lines(r.out)) {
        ASSERT_EQ(line.size(), 3u);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(line[2]))) << line[2];
        outputs.insert(line[2]);
    }
    EXPECT_EQ(outputs.size(), 3u);
    for (const auto& d : Json(report)["drawings"].toArray()) {
        const QString out = d.toObject()["outputs"].toArray().first().toString();
        EXPECT_TRUE(outputs.count(search::ToFileSystemPath(out))) << out.toStdString();
    }
    EXPECT_EQ(Bytes(work / "victim.pdf"), "not a plot");
    fs::remove_all(folder);  // names Qt cannot spell
}

TEST_F(CliSafety, AnOutputFolderTakesEveryPlotUnderANameOfItsOwn) {
    const fs::path root = work / "archive";
    for (const char* folder : {"a", "b"}) {
        fs::create_directories(root / folder);
        fs::copy_file(Example("flange.dxf"), root / folder / "x.dxf");
    }
    fs::copy_file(Example("site-layouts.dxf"), root / "a" / "site.dxf");
    const fs::path out = work / "out";
    const struct {
        const char* nameTemplate;  // nullptr: the default
        std::set<std::string> files;
        int renamed;
    } cases[] = {
        {nullptr, {"x.pdf", "x-2.pdf", "site-Site Plan A3.pdf", "site-Details A4.pdf"}, 1},
        {"{folder}/{drawing}/{layout}",
         {"a/x/Model.pdf", "b/x/Model.pdf", "a/site/Site Plan A3.pdf", "a/site/Details A4.pdf"},
         0},
        // The report's name less its extension is taken.
        {"r", {"r-2.pdf", "r-3.pdf", "r-4.pdf", "r-5.pdf"}, 4},
    };
    for (const auto& c : cases) {
        fs::remove_all(out);
        QStringList args{Q(root),        "--recursive", "--pattern", "*.dxf",          "--layouts",
                         "--output-dir", Q(out),        "--report",  Q(out / "r.json")};
        if (c.nameTemplate) {
            args << "--name" << c.nameTemplate;
        }
        const CliResult r = Plot(args);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        const QJsonObject report = Json(out / "r.json");
        int renamed = 0;
        std::set<std::string> outputs;
        for (const auto& d : report["drawings"].toArray()) {
            renamed += static_cast<int>(d.toObject()["renamed_outputs"].toArray().size());
            for (const auto& o : d.toObject()["outputs"].toArray()) {
                const fs::path file = o.toString().toStdString();
                EXPECT_TRUE(fs::is_regular_file(file)) << file;
                outputs.insert(file.lexically_relative(out).generic_string());
            }
        }
        EXPECT_EQ(outputs, c.files) << r.out.toStdString();
        EXPECT_EQ(renamed, c.renamed);
        EXPECT_EQ(static_cast<int>(r.out.count("was taken: named")), c.renamed);
        EXPECT_EQ(report["output"]["dir"].toString().toStdString(), out.string());
        EXPECT_EQ(report["output"]["layout_template"].toString(),
                  c.nameTemplate ? c.nameTemplate : "{drawing}-{layout}");
    }
}

#ifndef _WIN32
TEST_F(CliSafety, APlotWhoseFolderLeadsOutOfTheOutputFolderIsNotMadeAnywhere) {
    const fs::path drawing = work / "in" / "flange.dxf";
    fs::create_directories(drawing.parent_path());
    fs::copy_file(Example("flange.dxf"), drawing);
    fs::create_directories(work / "out");
    fs::create_directories(work / "elsewhere");
    fs::create_directory_symlink(work / "elsewhere", work / "out" / "Model");

    const CliResult r =
        Plot({Q(drawing), "--output-dir", Q(work / "out"), "--name", "{layout}/{drawing}"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out.toStdString(), HasSubstr("leads out of the output folder"));
    EXPECT_TRUE(fs::is_empty(work / "elsewhere"));
    EXPECT_EQ(std::distance(fs::directory_iterator(drawing.parent_path()), {}), 1);
}
#endif

TEST_F(CliSafety, ABlankPageOrADamagedDrawingIsPlottedWithWarnings) {
    const std::string flange = Bytes(Example("flange.dxf"));
    const struct {
        const char* name;
        std::string content;
        const char* reason;
    } cases[] = {
        {"empty.dxf", "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n", "the page of Model is blank"},
        {"cut.dxf", flange.substr(0, flange.rfind('\n', flange.rfind("EOF") - 2) + 1),
         "the drawing was read with 1 damage warning"},
    };
    for (const auto& c : cases) {
        Put(work / c.name, c.content);
        const fs::path report = work / "r.json";
        const CliResult r = Plot({Q(work / c.name), "--report", Q(report)});
        EXPECT_EQ(r.status, 4) << c.name << r.err.toStdString();
        ASSERT_EQ(Lines(r.out).size(), 1u);
        EXPECT_EQ(Lines(r.out)[0][1], std::string("plotted with warnings: ") + c.reason);
        const QJsonObject json = Json(report);
        EXPECT_EQ(json["summary"].toObject()["with_warnings"].toInt(), 1);
        EXPECT_EQ(json["drawings"][0]["result"].toString(), "plotted with warnings");
    }
}

TEST_F(CliSafety, AFailingPlotIsTriedOnceAndAReferenceFromElsewhereIsNamed) {
    const fs::path flange = Example("flange.dxf");
    fs::create_directories(work / "examples/flange.pdf");  // the plot cannot be written
    const fs::path office = Example("moved-project/Projects/Job1/Dwg/office-level1.dxf");
    const fs::path grid = Example("moved-project/Projects/Job1/Xref/structure-grid.dxf");
    const fs::path report = work / "r.json";

    const CliResult r = Plot({Q(flange), Q(office), "--report", Q(report)});
    EXPECT_EQ(r.status, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0][1], "plotted; reference structure-grid found at " + grid.string());
    EXPECT_THAT(lines[1][1], StartsWith("failed: The plot file"));
    const QJsonArray drawings = Json(report)["drawings"].toArray();
    EXPECT_EQ(drawings[0]["layouts"].toArray().size(), 1);  // the file plot, not the device's
    const QJsonObject found = drawings[1]["found_xrefs"][0].toObject();
    EXPECT_EQ(found["path"].toString(), "C:\\Projects\\Job1\\Xref\\structure-grid.dxf");
    EXPECT_EQ(found["found"].toString(), Q(grid));
}

TEST_F(CliSafety, ARunKilledMidwayLeavesAValidReportOfWhatWasDone) {
    const fs::path report = work / "r.json";
    Example("flange.dxf");
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Q(work));
    env.insert("XDG_DATA_HOME", Q(work / "data"));
    env.insert("XDG_CONFIG_HOME", Q(work / "config"));
    cli.setProcessEnvironment(env);
    cli.start(VORMEX_PROGRAM_DIR "/vormex-cli",
              {"plot", Q(work / "examples"), "--recursive", "--pattern", "*.dxf", "--device",
               "PNG.pc3", "--paper", "A0", "--style", "monochrome.ctb", "--report", Q(report)});
    while (!cli.canReadLine() && cli.waitForReadyRead(60000)) {
    }
    ASSERT_TRUE(cli.canReadLine()) << cli.readAllStandardError().toStdString();
    cli.kill();
    cli.waitForFinished();

    const QJsonObject json = Json(report);
    EXPECT_FALSE(json.isEmpty());
    EXPECT_EQ(json["complete"].toBool(true), false);
    const qsizetype done = json["drawings"].toArray().size();
    EXPECT_GE(done, 1);
    EXPECT_LT(done, 7);
}

}  // namespace
}  // namespace vx::testing
