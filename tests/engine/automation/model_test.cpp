// The engine's automation object model: the application's life, documents, layouts with
// their plot settings, blocks and external references.
#include <gmock/gmock.h>

#include <fstream>

#include "EngineFixture.h"

namespace vx::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(EngineModel, NotRunningUntilCreatedThenFoundUntilQuit) {
    EXPECT_THAT(ErrorOf([&] { registry.GetObject(cad::kCadClassName); }), HasSubstr("not running"));
    auto created = registry.CreateObject(cad::kCadClassName);
    EXPECT_EQ(registry.GetObject(cad::kCadClassName), created);
    // A second CreateObject while it runs gives the same application.
    EXPECT_EQ(registry.CreateObject(cad::kCadClassName), created);

    created->Quit();
    EXPECT_THAT(ErrorOf([&] { registry.GetObject(cad::kCadClassName); }), HasSubstr("not running"));
    auto again = registry.CreateObject(cad::kCadClassName);
    EXPECT_NE(again, created);
}

TEST_F(EngineModel, QuitReleasesEveryDrawingAndItsObjectsFailAfterwards) {
    auto doc = Open(Example("flange.dxf"));
    App().Documents()->Add();
    App().Quit();
    EXPECT_THAT(ErrorOf([&] { doc->Name(); }), Not("<no error>"));
    EXPECT_THAT(ErrorOf([&] { App().Documents(); }), HasSubstr("quit"));
    // Nothing holds the drawing's data any more: the engine's state is gone with it.
    EXPECT_THAT(ErrorOf([&] { registry.GetObject(cad::kCadClassName); }), HasSubstr("not running"));
}

TEST_F(EngineModel, AddGivesEmptyActiveDrawingsNamedInTurnAndTheirVariables) {
    auto first = App().Documents()->Add();
    auto second = App().Documents()->Add();
    EXPECT_EQ(first->Name() + " " + second->Name() + " " + App().ActiveDocument()->Name(),
              "Drawing1.dwg Drawing2.dwg Drawing2.dwg");
    EXPECT_THAT(ErrorOf([&] { first->Close(true); }), HasSubstr("saves no drawing"));
    EXPECT_EQ(first->GetVariable("DBMOD"), 0);
    EXPECT_THAT(ErrorOf([&] { first->SetVariable("BACKGROUNDPLOT", 7); }), HasSubstr("0 to 3"));
    EXPECT_THAT(ErrorOf([&] { first->SetVariable("DBMOD", 0); }), HasSubstr("read-only"));
    // Single-drawing mode cannot begin with two drawings open.
    EXPECT_THAT(ErrorOf([&] { second->SetVariable("SDI", 1); }), HasSubstr("more than one"));
}

TEST_F(EngineModel, OpenGivesNamePathAndAnUnmodifiedActiveDrawing) {
    const fs::path file = Example("site-layouts.dxf");
    auto doc = Open(file);
    EXPECT_EQ(
        std::tuple(doc->Name(), doc->Path(), doc->GetVariable("DBMOD"),
                   App().ActiveDocument()->Name(), App().Documents()->Count()),
        std::tuple("site-layouts.dxf", file.parent_path().string(), 0, "site-layouts.dxf", 1));
}

TEST_F(EngineModel, OpeningWhatIsNoDrawingFailsWithADescription) {
    const fs::path text = work / "notes.dxf";
    std::ofstream(text) << "this is not a drawing\n";
    EXPECT_THAT(ErrorOf([&] { Open(text); }), HasSubstr("notes.dxf"));
    EXPECT_THAT(ErrorOf([&] { Open(work / "missing.dxf"); }), HasSubstr("missing.dxf"));
    EXPECT_EQ(App().Documents()->Count(), 0);
}

TEST_F(EngineModel, CloseWithoutSavingReleasesAndActivatesTheLastOneLeft) {
    auto a = Open(Example("flange.dxf"));
    auto b = Open(Example("text-styles.dxf"));
    a->Activate();
    a->Close(false);
    EXPECT_EQ(App().ActiveDocument()->Name(), "text-styles.dxf");
    EXPECT_THAT(ErrorOf([&] { a->Name(); }), HasSubstr("closed"));
    b->Close(false);
    EXPECT_THAT(ErrorOf([&] { App().ActiveDocument(); }), HasSubstr("No drawing"));
}

TEST_F(EngineModel, CloseWithSavingIsRefusedAndWritesNothing) {
    const fs::path file = Example("flange.dxf");
    const FileState before = StateOf(file);
    auto doc = Open(file);
    doc->ActiveLayout()->SetCenterPlot(true);
    EXPECT_THAT(ErrorOf([&] { doc->Close(true); }), HasSubstr("read-only"));
    EXPECT_EQ(App().Documents()->Count(), 1);  // still open, as it was
    doc->Close(false);
    EXPECT_EQ(StateOf(file), before);
}

TEST_F(EngineModel, LayoutsInTabOrderWithModelFirstAndTheSpacesTheirLayouts) {
    auto doc = Open(Example("site-layouts.dxf"));
    auto layouts = doc->Layouts();
    ASSERT_EQ(layouts->Count(), 3);
    EXPECT_EQ(layouts->Item(0)->Name() + "|" + layouts->Item(1)->Name() + "|" +
                  layouts->Item(2)->Name() + "|" + layouts->Item("details a4")->Name(),
              "Model|Site Plan A3|Details A4|Details A4");
    EXPECT_THAT(ErrorOf([&] { layouts->Item("Nope"); }), HasSubstr("Key not found"));

    // Active, model space's and paper space's layouts; while model space is active, paper
    // space stands for the first paper layout.
    const auto spaces = [&] {
        return doc->ActiveLayout()->Name() + "|" + doc->ModelSpace()->Layout()->Name() + "|" +
               doc->PaperSpace()->Layout()->Name();
    };
    EXPECT_EQ(spaces(), "Model|Model|Site Plan A3");
    doc->SetActiveLayout(layouts->Item("Details A4"));
    EXPECT_EQ(spaces(), "Details A4|Model|Details A4");
}

TEST_F(EngineModel, PlotSettingsChangeOnlyToValidValuesAndMarkTheDrawingModified) {
    auto doc = Open(Example("flange.dxf"));
    auto layout = doc->ActiveLayout();
    EXPECT_EQ(doc->GetVariable("DBMOD"), 0);

    EXPECT_THAT(ErrorOf([&] { layout->SetConfigName("DWG To Nowhere.pc3"); }),
                HasSubstr("no plot device"));
    EXPECT_EQ(doc->GetVariable("DBMOD"), 0);  // a refused value changes nothing

    layout->SetConfigName("pdf.PC3");  // plotter files by name, letter case aside
    const auto papers = layout->GetCanonicalMediaNames();
    EXPECT_GT(doc->GetVariable("DBMOD"), 0);
    EXPECT_THAT(ErrorOf([&] { layout->SetCanonicalMediaName("Napkin"); }),
                HasSubstr("not a paper of PDF.pc3"));
    layout->SetCanonicalMediaName(papers.back());

    EXPECT_THAT(ErrorOf([&] { layout->SetStyleSheet("nosuch.ctb"); }),
                HasSubstr("no plot style table"));
    EXPECT_THAT(ErrorOf([&] { doc->Plot()->SetNumberOfCopies(0); }), HasSubstr("copies"));
}

TEST_F(EngineModel, RefreshFindsPlotterFilesAddedSinceTheStart) {
    auto layout = App().Documents()->Add()->ModelSpace()->Layout();
    std::ofstream(user / "plotters" / "Late.pc3")
        << "format = vormex-plotter 1\ndriver = svg\npaper = A3\n";
    layout->RefreshPlotDeviceInfo();
    EXPECT_THAT(layout->GetPlotDeviceNames(), ::testing::Contains("Late.pc3"));
    layout->SetConfigName("Late.pc3");

    // Gone again: a plot on it fails with a description.
    fs::remove(user / "plotters" / "Late.pc3");
    layout->RefreshPlotDeviceInfo();
    EXPECT_THAT(ErrorOf([&] { App().ActiveDocument()->Plot()->PlotToDevice(); }),
                HasSubstr("Late.pc3"));
}

cad::Ref<cad::AcadBlock> FirstXref(cad::AcadDocument& doc) {
    auto blocks = doc.Blocks();
    for (std::int32_t i = 0; i < blocks->Count(); ++i) {
        auto b = blocks->Item(i);
        if (b->IsXRef()) {
            return b;
        }
    }
    return nullptr;
}

TEST_F(EngineModel, AReferenceNotFoundHasNoDatabaseUntilPointedAtItsFileAndReloaded) {
    auto doc = Open(Example("moved-project/Projects/Job1/Dwg/office-level1.dxf"));
    auto ref = FirstXref(*doc);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->Path(), "C:\\Projects\\Job1\\Xref\\structure-grid.dxf");
    EXPECT_EQ(ErrorOf([&] { ref->XRefDatabase()->ModelSpace(); }), cad::kNoDatabase);

    // Reload alone reads the same stored path again: still nothing there.
    ref->Reload();
    EXPECT_EQ(ErrorOf([&] { ref->XRefDatabase()->ModelSpace(); }), cad::kNoDatabase);

    // Relative to the drawing's folder, with Windows separators.
    ref->SetPath("..\\Xref\\structure-grid.dxf");
    EXPECT_GT(doc->GetVariable("DBMOD"), 0);
    ref->Reload();
    EXPECT_GT(ref->XRefDatabase()->ModelSpace()->Count(), 0);

    // Pointed away again and reloaded: unloaded again.
    ref->SetPath("..\\Elsewhere\\structure-grid.dxf");
    ref->Reload();
    EXPECT_EQ(ErrorOf([&] { ref->XRefDatabase()->ModelSpace(); }), cad::kNoDatabase);

    // Blocks that are no references have no reference members.
    EXPECT_THAT(ErrorOf([&] { doc->ModelSpace()->XRefDatabase(); }),
                HasSubstr("not an external reference"));
}

}  // namespace
}  // namespace vx::testing
