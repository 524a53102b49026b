// vormex-cli devices | papers | styles print what the window's lists hold: the window on
// the engine (offscreen) against the commands on an engine with the same folders; and the
// program itself reads the window's user folders.
#include <gmock/gmock.h>

#include <QComboBox>
#include <QProcess>
#include <QTemporaryDir>

#include "../app/ShellHarness.h"
#include "CliRunner.h"
#include "app/Main.h"
#include "cli/ListsCommands.h"
#include "engine/automation/Engine.h"

namespace vx::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::SizeIs;

std::vector<std::string> Items(const QComboBox& box) {
    std::vector<std::string> out;
    for (int i = 0; i < box.count(); ++i) {
        out.push_back(box.itemText(i).toStdString());
    }
    return out;
}

std::vector<std::string> OutputLines(const CliResult& r) {
    std::vector<std::string> out;
    for (const QByteArray& line : r.out.split('\n')) {
        if (!line.isEmpty()) {
            out.push_back(line.toStdString());
        }
    }
    return out;
}

TEST(CliLists, DevicesPapersAndStylesAreTheEntriesOfTheWindowsLists) {
    ShellHarness h;
    QTemporaryDir user;
    ASSERT_TRUE(QDir().mkpath(user.filePath("plotters")));
    // A plotter configuration of the user's own is listed as well.
    ASSERT_TRUE(QFile::copy(VORMEX_PROGRAM_DIR "/plotters/PNG.pc3",
                            user.filePath("plotters/Office Raster.pc3")));
    engine::automation::EngineOptions options;
    options.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, user.path().toStdString()};
    options.noPrinters = true;
    auto engineClass = engine::automation::RegisterEngine(h.classes, options);

    app::Form1& f = h.MakeForm(/*noBackEnd=*/true);
    ASSERT_TRUE(app::Main(f));
    f.Dir1_Click();  // the first folder event fills the lists
    const auto devices = Items(*f.cmbPrinter);
    const auto firstPapers = Items(*f.CmbPaper);
    const auto styles = Items(*f.CmbCTB);
    // Picking a device refills the paper list, for the device the drawing's model layout
    // is configured for (a new drawing's: "None").
    const int pdf = f.cmbPrinter->findText("PDF.pc3");
    ASSERT_GE(pdf, 0);
    f.cmbPrinter->setCurrentIndex(pdf);
    const auto refilledPapers = Items(*f.CmbPaper);
    f.Command3_Click();
    ASSERT_FALSE(engineClass->Running());
    ASSERT_THAT(devices, Contains("Office Raster.pc3"));
    ASSERT_THAT(firstPapers, SizeIs(::testing::Gt(4u)));
    ASSERT_THAT(styles, Contains("monochrome.ctb"));

    auto run = [&](int (*command)(const QStringList&, cli::CommandIo&, const cad::ClassRegistry&),
                   const QStringList& args) {
        const CliResult r =
            Capture([&](cli::CommandIo& io) { return command(args, io, h.classes); });
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return OutputLines(r);
    };
    EXPECT_THAT(run(&cli::RunDevices, {}), ElementsAreArray(devices));
    EXPECT_THAT(run(&cli::RunStyles, {}), ElementsAreArray(styles));
    EXPECT_THAT(run(&cli::RunPapers, {"None", "--as-listed"}), ElementsAreArray(refilledPapers));
    // Without --as-listed: every paper of the device, without the four fixed names and
    // without the filter; those the window lists among them in the same order.
    const auto all = run(&cli::RunPapers, {"None"});
    std::vector<std::string> filtered;
    for (const auto& p : all) {
        if (std::find(firstPapers.begin() + 4, firstPapers.end(), p) != firstPapers.end()) {
            filtered.push_back(p);
        }
    }
    EXPECT_THAT(filtered, ElementsAreArray(firstPapers.begin() + 4, firstPapers.end()));
    EXPECT_GT(all.size(), filtered.size());
    EXPECT_THAT(all, ::testing::Not(Contains("A4")));
    EXPECT_FALSE(engineClass->Running()) << "the commands quit the engine they started";

    const CliResult unknown =
        Capture([&](cli::CommandIo& io) { return cli::RunPapers({"Nowhere.pc3"}, io, h.classes); });
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.err.toStdString(), ::testing::HasSubstr("\"Nowhere.pc3\""));
    EXPECT_TRUE(unknown.out.isEmpty());
}

// The program itself takes its plotters from the folders the window program uses: its
// own folder and the user's data folder of "vormex".
TEST(CliListsProgram, ReadsTheWindowProgramsUserFolder) {
    QTemporaryDir home;
    const QString data = home.filePath("data");
    ASSERT_TRUE(QDir().mkpath(data + "/vormex/plotters"));
    ASSERT_TRUE(
        QFile::copy(VORMEX_PROGRAM_DIR "/plotters/PDF.pc3", data + "/vormex/plotters/Mine.pc3"));
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", data);
    cli.setProcessEnvironment(env);
    cli.start(VORMEX_PROGRAM_DIR "/vormex-cli", {"devices"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QList<QByteArray> lines = cli.readAllStandardOutput().split('\n');
    EXPECT_TRUE(lines.contains("Mine.pc3"));
    EXPECT_TRUE(lines.contains("PDF.pc3"));
}

}  // namespace
}  // namespace vx::testing
