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
    EXPECT_EQ(created->Application(), created);
    // A second CreateObject while it runs gives the same application.
    EXPECT_EQ(registry.CreateObject(cad::kCadClassName), created);

    created->Quit();
    EXPECT_THAT(ErrorOf([&] { registry.GetObject(cad::kCadClassName); }), HasSubstr("not running"));
    auto again = registry.CreateObject(cad::kCadClassName);
    EXPECT_NE(again, created);
    EXPECT_EQ(again->Documents()->Count(), 0);
}

TEST_F(EngineModel, QuitReleasesEveryDrawingAndItsObjectsFailAfterwards) {
    auto doc = Open(Example("flange.dxf"));
    auto layout = doc->ActiveLayout();
    App().Documents()->Add();
    App().Quit();
    EXPECT_THAT(ErrorOf([&] { doc->Name(); }), Not("<no error>"));
    EXPECT_THAT(ErrorOf([&] { layout->SetCenterPlot(true); }), Not("<no error>"));
    EXPECT_THAT(ErrorOf([&] { App().Documents(); }), HasSubstr("quit"));
    // Nothing holds the drawing's data any more: the engine's state is gone with it.
    EXPECT_THAT(ErrorOf([&] { registry.GetObject(cad::kCadClassName); }), HasSubstr("not running"));
}

TEST_F(EngineModel, SystemVariables) {
    auto doc = App().Documents()->Add();
    EXPECT_EQ(doc->GetVariable("SDI"), 0);
    EXPECT_EQ(doc->GetVariable("DBMOD"), 0);
    doc->SetVariable("BACKGROUNDPLOT", 0);
    EXPECT_EQ(doc->GetVariable("backgroundplot"), 0);
    EXPECT_THAT(ErrorOf([&] { doc->SetVariable("BACKGROUNDPLOT", 7); }), HasSubstr("0 to 3"));
    EXPECT_THAT(ErrorOf([&] { doc->SetVariable("DBMOD", 0); }), HasSubstr("read-only"));
    EXPECT_THAT(ErrorOf([&] { doc->GetVariable("NOSUCHVAR"); }), HasSubstr("Unknown"));

    // Single-drawing mode refuses a second drawing, and cannot begin with two open.
    doc->SetVariable("SDI", 1);
    EXPECT_THAT(ErrorOf([&] { App().Documents()->Add(); }), HasSubstr("SDI"));
    doc->SetVariable("SDI", 0);
    auto second = App().Documents()->Add();
    EXPECT_THAT(ErrorOf([&] { second->SetVariable("SDI", 1); }), HasSubstr("more than one"));
}

TEST_F(EngineModel, AddGivesEmptyActiveDrawingsNamedInTurn) {
    auto first = App().Documents()->Add();
    auto second = App().Documents()->Add();
    EXPECT_EQ(first->Name() + " " + second->Name() + " " + App().ActiveDocument()->Name(),
              "Drawing1.dwg Drawing2.dwg Drawing2.dwg");
    EXPECT_EQ(first->ModelSpace()->Count(), 0);
    EXPECT_THAT(ErrorOf([&] { first->Close(true); }), HasSubstr("saves no drawing"));
    EXPECT_EQ(first->ModelSpace()->Layout()->Name(), "Model");
    // The lists of an empty drawing: the devices, and the papers of its device "None".
    auto names = first->ModelSpace()->Layout()->GetPlotDeviceNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "None");
    EXPECT_THAT(names, ::testing::Contains("PDF.pc3"));
    EXPECT_THAT(first->ModelSpace()->Layout()->GetCanonicalMediaNames(),
                ::testing::Contains("ISO_A4_(210.00_x_297.00_MM)"));
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
    EXPECT_THAT(ErrorOf([&] { Open(work); }), Not("<no error>"));
    EXPECT_EQ(App().Documents()->Count(), 0);
}

TEST_F(EngineModel, CloseWithoutSavingReleasesAndActivatesTheLastOneLeft) {
    auto a = Open(Example("flange.dxf"));
    auto b = Open(Example("floor-plan.dxf"));
    auto c = Open(Example("text-styles.dxf"));
    a->Activate();
    EXPECT_EQ(App().ActiveDocument()->Name(), "flange.dxf");
    a->Close(false);
    EXPECT_EQ(App().Documents()->Count(), 2);
    EXPECT_EQ(App().ActiveDocument()->Name(), "text-styles.dxf");
    EXPECT_THAT(ErrorOf([&] { a->Name(); }), HasSubstr("closed"));
    c->Close(false);
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
    EXPECT_THAT(ErrorOf([&] { layouts->Item(3); }), HasSubstr("Invalid index"));

    // Active, model space's and paper space's layouts; while model space is active, paper
    // space stands for the first paper layout.
    const auto spaces = [&] {
        return doc->ActiveLayout()->Name() + "|" + doc->ModelSpace()->Layout()->Name() + "|" +
               doc->PaperSpace()->Layout()->Name();
    };
    EXPECT_EQ(spaces(), "Model|Model|Site Plan A3");
    doc->SetActiveLayout(layouts->Item("Details A4"));
    EXPECT_EQ(spaces(), "Details A4|Model|Details A4");
    EXPECT_GT(doc->GetVariable("DBMOD"), 0);

    // A layout of another drawing is not this drawing's.
    auto other = Open(Example("flange.dxf"));
    EXPECT_THAT(ErrorOf([&] { doc->SetActiveLayout(other->ActiveLayout()); }),
                HasSubstr("does not belong"));
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
    ASSERT_FALSE(papers.empty());
    EXPECT_GT(doc->GetVariable("DBMOD"), 0);
    EXPECT_THAT(ErrorOf([&] { layout->SetCanonicalMediaName("Napkin"); }),
                HasSubstr("not a paper of PDF.pc3"));
    layout->SetCanonicalMediaName(papers.back());

    EXPECT_THAT(ErrorOf([&] { layout->SetStyleSheet("nosuch.ctb"); }),
                HasSubstr("no plot style table"));
    const auto tables = layout->GetPlotStyleTableNames();
    ASSERT_FALSE(tables.empty());
    layout->SetStyleSheet(tables.front());
    EXPECT_EQ(layout->StyleSheet(), tables.front());
    layout->SetStyleSheet("");
    EXPECT_EQ(layout->StyleSheet(), "");

    EXPECT_THAT(ErrorOf([&] { layout->SetPlotType(6); }), HasSubstr("plot type"));
    EXPECT_THAT(ErrorOf([&] { layout->SetPlotType(5); }), HasSubstr("Model space"));
    EXPECT_THAT(ErrorOf([&] { layout->SetStandardScale(99); }), HasSubstr("standard scale"));
    EXPECT_THAT(ErrorOf([&] { layout->SetPlotRotation(4); }), HasSubstr("rotation"));
    EXPECT_THAT(ErrorOf([&] { doc->Plot()->SetNumberOfCopies(0); }), HasSubstr("copies"));

    // The same layout reached another way holds the same settings.
    EXPECT_EQ(doc->ModelSpace()->Layout()->GetCanonicalMediaNames(), papers);
}

TEST_F(EngineModel, ChangingTheDeviceKeepsAPaperItHasElseTakesItsDefault) {
    // A plotter of our own with only Letter and A4.
    std::ofstream(user / "plotters" / "Small.pc3")
        << "format = vormex-plotter 1\ndriver = pdf\npaper = Letter\n"
           "paper = ISO_A4_(210.00_x_297.00_MM)\ndefault = ISO_A4_(210.00_x_297.00_MM)\n";
    auto doc = App().Documents()->Add();
    auto layout = doc->ModelSpace()->Layout();
    layout->RefreshPlotDeviceInfo();
    layout->SetConfigName("PDF.pc3");
    layout->SetCanonicalMediaName("ISO_A4_(210.00_x_297.00_MM)");
    layout->SetConfigName("Small.pc3");
    EXPECT_THAT(layout->GetCanonicalMediaNames(), ::testing::Contains(HasSubstr("Letter")));
    // A4 stays (Small has it); choosing A4 again is accepted.
    layout->SetCanonicalMediaName("ISO_A4_(210.00_x_297.00_MM)");
    EXPECT_EQ(layout->GetLocaleMediaName("ISO_A4_(210.00_x_297.00_MM)"),
              "ISO A4 (210.00 x 297.00 MM)");
}

TEST_F(EngineModel, RefreshFindsPlotterFilesAddedSinceTheStart) {
    auto layout = App().Documents()->Add()->ModelSpace()->Layout();
    EXPECT_THAT(layout->GetPlotDeviceNames(), Not(::testing::Contains("Late.pc3")));
    std::ofstream(user / "plotters" / "Late.pc3")
        << "format = vormex-plotter 1\ndriver = svg\npaper = A3\n";
    layout->RefreshPlotDeviceInfo();
    EXPECT_THAT(layout->GetPlotDeviceNames(), ::testing::Contains("Late.pc3"));
    layout->SetConfigName("Late.pc3");

    // Gone again: the layout's device is unknown now, and every call that needs it fails
    // with a description (a CadError, as every call of the interface), plots included.
    fs::remove(user / "plotters" / "Late.pc3");
    layout->RefreshPlotDeviceInfo();
    EXPECT_THROW(layout->SetCanonicalMediaName("ISO_A3_(297.00_x_420.00_MM)"), cad::CadError);
    EXPECT_THROW(layout->GetCanonicalMediaNames(), cad::CadError);
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
    EXPECT_EQ(doc->Blocks()->Item(ref->Name())->Name(), ref->Name());

    // Reload alone reads the same stored path again: still nothing there.
    ref->Reload();
    EXPECT_EQ(ErrorOf([&] { ref->XRefDatabase()->ModelSpace(); }), cad::kNoDatabase);

    // Relative to the drawing's folder, with Windows separators.
    ref->SetPath("..\\Xref\\structure-grid.dxf");
    EXPECT_EQ(ref->Path(), "..\\Xref\\structure-grid.dxf");
    EXPECT_GT(doc->GetVariable("DBMOD"), 0);
    ref->Reload();
    EXPECT_GT(ref->XRefDatabase()->ModelSpace()->Count(), 0);

    // Pointed away again and reloaded: unloaded again.
    ref->SetPath("..\\Elsewhere\\structure-grid.dxf");
    ref->Reload();
    EXPECT_EQ(ErrorOf([&] { ref->XRefDatabase()->ModelSpace(); }), cad::kNoDatabase);

    // Blocks that are no references have no reference members.
    auto model = doc->ModelSpace();
    EXPECT_FALSE(model->IsXRef());
    EXPECT_THAT(ErrorOf([&] { model->XRefDatabase(); }), HasSubstr("not an external reference"));
    EXPECT_THAT(ErrorOf([&] { model->Path(); }), HasSubstr("not an external reference"));
}

TEST_F(EngineModel, ZoomAndRegenComputeTheExtents) {
    auto doc = Open(Example("flange.dxf"));
    App().ZoomExtents();
    doc->Regen(cad::kRegenAllViewports);
    doc->Regen(cad::kRegenActiveViewport);
    EXPECT_THAT(ErrorOf([&] { doc->Regen(2); }), HasSubstr("Regen"));
    doc->PaperSpace()->Layout()->ZoomExtents();
    doc->Close(false);
    EXPECT_THAT(ErrorOf([&] { App().ZoomExtents(); }), HasSubstr("No drawing"));
}

}  // namespace
}  // namespace vx::testing
