// The main window on the built-in engine, from start to exit as a user drives it: the
// pattern typed, a copy of the examples chosen in the directory list with its subfolders,
// the PDF device, a paper and a plot style table picked, "Print All &Drawing" clicked. One
// valid PDF per drawing, one per layout with "Print Layouts"; the moved project's external
// reference is found and drawn; the drawings stay as they were. Runs offscreen and, through
// its own ctest entry, on an X display (Xvfb).
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "../../app/ShellHarness.h"
#include "EngineFixture.h"
#include "app/Main.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"

namespace vx::testing {
namespace {

using ::testing::IsEmpty;

void Pick(QComboBox* box, const QString& entry) {
    const int index = box->findText(entry);
    ASSERT_GE(index, 0) << entry.toStdString() << " is not in the list";
    box->setCurrentIndex(index);  // as a pick from the drop-down list does
}

TEST(WindowRunOnTheEngine, PlotsTheExamplesOnePdfEachOrOnePerLayoutWithTheMovedReferenceDrawn) {
    ShellHarness h;
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const fs::path root(temp.path().toStdString());
    // Deep enough that looking for a lost reference never climbs out of the copy.
    const fs::path examples = root / "a/b/c/d/examples";
    CopyTree(kExamples, examples);
    fs::create_directories(root / "user");
    const auto before = Snapshot(examples);

    engine::automation::EngineOptions options;
    options.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, root / "user"};
    options.noPrinters = true;
    auto engineClass = engine::automation::RegisterEngine(h.classes, options);
    app::Form1& f = h.MakeForm(/*noBackEnd=*/true);
    ASSERT_TRUE(app::Main(f));
    ASSERT_TRUE(engineClass->Running());

    // The pattern, the folder, then its subfolders.
    f.Text1->setFocus();
    f.Text1->selectAll();
    QTest::keyClicks(f.Text1, "*.dxf");
    ASSERT_TRUE(f.Dir1->SetPath(QString::fromStdString(examples.string())));
    QTest::mouseClick(f.Check1, Qt::LeftButton);
    ASSERT_EQ(f.ListView1->Model().Count(), 7);

    // The lists come from the engine.
    Pick(f.cmbPrinter, "PDF.pc3");
    Pick(f.CmbPaper, "A3");
    Pick(f.CmbCTB, "monochrome.ctb");
    const auto* journal = engine::automation::JournalOf(f.Connection().CadApp);

    // Model space of every drawing, on A3.
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_THAT(h.messages.shown, IsEmpty());
    auto modelRun = journal->Records();
    ASSERT_EQ(modelRun.size(), 7u);
    std::vector<fs::path> outputs;
    for (const auto& r : modelRun) {
        ASSERT_TRUE(r.ok) << r.drawing << ": " << r.error;
        const fs::path pdf = fs::path(r.drawing).replace_extension(".pdf");
        const auto info = ReadPdfInfo(r.outputFile);
        ASSERT_TRUE(info && r.outputFile == pdf.string()) << r.outputFile;
        EXPECT_NEAR(std::min(info->widthPt, info->heightPt), MmToPt(297), 1.0) << pdf;
        outputs.push_back(pdf);
    }
    const fs::path office = examples / "moved-project/Projects/Job1/Dwg/office-level1.dxf";
    auto drawnOf = [&](const std::vector<engine::automation::PlotRecord>& records) {
        for (const auto& r : records) {
            if (r.drawing == office.string()) {
                return r.drawn;
            }
        }
        return std::int64_t{-1};
    };
    const std::int64_t drawnWithReference = drawnOf(modelRun);

    // "Print Layouts": each paper-space layout of a drawing.
    QTest::mouseClick(f.chkLayouts, Qt::LeftButton);
    const std::size_t mark = journal->Size();
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_THAT(h.messages.shown, IsEmpty());
    const auto all = journal->Records();
    const std::vector<engine::automation::PlotRecord> layoutRun(all.begin() + mark, all.end());
    std::map<std::string, std::vector<std::string>> layoutsOf;
    for (const auto& r : layoutRun) {
        ASSERT_TRUE(r.ok) << r.drawing << " " << r.layout << ": " << r.error;
        layoutsOf[r.drawing].push_back(r.layout);
        EXPECT_TRUE(ReadPdfInfo(r.outputFile)) << r.outputFile;
        if (std::find(outputs.begin(), outputs.end(), r.outputFile) == outputs.end()) {
            outputs.push_back(r.outputFile);
        }
    }
    EXPECT_EQ(layoutsOf[(examples / "site-layouts.dxf").string()],
              (std::vector<std::string>{"Site Plan A3", "Details A4"}));
    // The other examples keep only the empty "Layout1" of a new drawing: no blank page,
    // their current layout is plotted instead.
    EXPECT_EQ(layoutsOf[(examples / "bracket-r12.dxf").string()],
              std::vector<std::string>{"Model"});
    EXPECT_EQ(layoutRun.size(), 8u);

    // The reference was drawn: without its drawing, the same plot draws less.
    fs::remove_all(examples / "moved-project/Projects/Job1/Xref");
    QTest::mouseClick(f.chkLayouts, Qt::LeftButton);
    const std::size_t mark2 = journal->Size();
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    const auto after = journal->Records();
    const std::int64_t drawnWithout =
        drawnOf(std::vector<engine::automation::PlotRecord>(after.begin() + mark2, after.end()));
    EXPECT_GT(drawnWithReference, drawnWithout);

    // The drawings as they were; nothing new beside them but the plots.
    for (const auto& [file, state] : before) {
        if (fs::exists(file)) {
            EXPECT_EQ(StateOf(file), state) << file;
        }
    }
    std::erase_if(outputs, [](const fs::path& o) { return !fs::exists(o); });  // in Xref
    std::sort(outputs.begin(), outputs.end());
    EXPECT_EQ(NewFiles(examples, before), outputs);

    f.Command3_Click();
    EXPECT_FALSE(engineClass->Running());
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

}  // namespace
}  // namespace vx::testing
