// The typed automation interface on the COM layer, against the in-process server that
// serves the recording test double with AutoCAD's member names: each member reaches the
// double as the same call, and the connection and plot-list rules give the same call
// sequence over COM as against the double directly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeCad.h"
#include "FakeCadServer.h"
#include "Recorders.h"
#include "cad/CadConnection.h"
#include "cad/PlotLists.h"
#include "cad/com/ComAutomation.h"

using namespace vx;
using namespace vx::cad;
using namespace vx::cad::com;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using vx::cad::com::testing::ErrorOf;
using vx::cad::com::testing::FakeCadServer;

namespace {

struct AutomationTest : ::testing::Test {
    fake::FakeCad cad;
    std::unique_ptr<FakeCadServer> server = std::make_unique<FakeCadServer>(cad);

    Ref<AcadApplication> App() { return WrapApplication(server->Application()); }

    void TearDown() override {
        EXPECT_THAT(server->Outstanding(), IsEmpty());
        EXPECT_THAT(server->OverReleased(), IsEmpty());
    }
};

TEST_F(AutomationTest, WritesAPlotConfigurationAndPlotsAsTheDoubleRecordsIt) {
    cad.Drawing("C:\\jobs\\a.dwg");
    {
        auto doc = App()->Application()->Documents()->Open("C:\\jobs\\a.dwg", true);
        auto layout = doc->ModelSpace()->Layout();
        cad.ClearCalls();
        layout->RefreshPlotDeviceInfo();
        layout->SetConfigName("DWG To PDF.pc3");
        layout->SetCanonicalMediaName("ISO_A4_(210.00_x_297.00_MM)");
        layout->SetPlotWithPlotStyles(true);
        layout->SetStyleSheet("monochrome.ctb");
        layout->SetPlotType(kPlotExtents);
        layout->SetStandardScale(kScaleToFit);
        layout->SetUseStandardScale(true);
        layout->SetPlotRotation(kRotation90);
        layout->SetCenterPlot(true);
        EXPECT_EQ(layout->StyleSheet(), "monochrome.ctb");
        auto plot = doc->Plot();
        plot->SetQuietErrorMode(true);
        plot->SetNumberOfCopies(2);
        EXPECT_TRUE(plot->PlotToFile("C:\\jobs\\a.plt", "DWG To PDF.pc3"));
        EXPECT_TRUE(plot->PlotToDevice());
    }
    EXPECT_THAT(
        cad.Calls(),
        ElementsAre("Layout[Model].RefreshPlotDeviceInfo()",
                    "Layout[Model].ConfigName = \"DWG To PDF.pc3\"",
                    "Layout[Model].CanonicalMediaName = \"ISO_A4_(210.00_x_297.00_MM)\"",
                    "Layout[Model].PlotWithPlotStyles = True",
                    "Layout[Model].StyleSheet = \"monochrome.ctb\"", "Layout[Model].PlotType = 1",
                    "Layout[Model].StandardScale = 0", "Layout[Model].UseStandardScale = True",
                    "Layout[Model].PlotRotation = 1", "Layout[Model].CenterPlot = True",
                    "Layout[Model].StyleSheet", "Document[a.dwg].Plot",
                    "Plot[a.dwg].QuietErrorMode = True", "Plot[a.dwg].NumberOfCopies = 2",
                    "Plot[a.dwg].PlotToFile(\"C:\\jobs\\a.plt\", \"DWG To PDF.pc3\")",
                    "Plot[a.dwg].PlotToDevice()"));
    ASSERT_EQ(cad.Plots().size(), 2u);
    EXPECT_EQ(cad.Plots()[1].copies, 2);
    EXPECT_EQ(cad.Plots()[1].config, "DWG To PDF.pc3");
}

TEST_F(AutomationTest, ReadsTheLayoutsTextArraysWhateverArrayTheServerSends) {
    cad.Devices({"None", "DWG To PDF.pc3", "Drucker Büro 2.OG"})
        .Media({"ISO_A4_(210.00_x_297.00_MM)", "ISO_A3_(297.00_x_420.00_MM)"})
        .Styles({"acad.ctb", "monochrome.ctb"});
    cad.OpenNow("C:\\jobs\\a.dwg");
    for (bool variants : {false, true}) {
        server->ArraysOfVariants(variants);
        auto layout = App()->ActiveDocument()->ActiveLayout();
        EXPECT_THAT(layout->GetPlotDeviceNames(),
                    ElementsAre("None", "DWG To PDF.pc3", "Drucker Büro 2.OG"));
        EXPECT_THAT(layout->GetCanonicalMediaNames(),
                    ElementsAre("ISO_A4_(210.00_x_297.00_MM)", "ISO_A3_(297.00_x_420.00_MM)"));
        EXPECT_THAT(layout->GetPlotStyleTableNames(), ElementsAre("acad.ctb", "monochrome.ctb"));
        EXPECT_EQ(layout->GetLocaleMediaName("ISO_A4_(210.00_x_297.00_MM)"),
                  "ISO A4 (210.00 x 297.00 MM)");
    }
    cad.Styles({});
    EXPECT_THAT(App()->ActiveDocument()->ActiveLayout()->GetPlotStyleTableNames(), IsEmpty());
}

TEST_F(AutomationTest, SetsSystemVariablesAsTheShortIntegersAutoCadTakes) {
    cad.OpenNow("C:\\jobs\\a.dwg").Sdi(1).Modified(3);
    auto doc = App()->ActiveDocument();
    EXPECT_EQ(doc->GetVariable("SDI"), 1);
    EXPECT_EQ(doc->GetVariable("DBMOD"), 3);
    doc->SetVariable("SDI", 0);
    EXPECT_EQ(cad.Open("a.dwg")->sdi, 0);
    // A value beyond 16 bits goes as a long, which AutoCAD refuses in its own words.
    EXPECT_EQ(ErrorOf([&] { doc->SetVariable("SDI", 70000); }),
              "Invalid argument Value in SetVariable");
    EXPECT_EQ(ErrorOf([&] { doc->GetVariable("NOSUCHVAR"); }), "Error getting system variable");
}

TEST_F(AutomationTest, OpensEnumeratesActivatesAndClosesDrawings) {
    cad.OpenNow("C:\\jobs\\user.dwg");
    cad.Drawing("C:\\jobs\\a.dwg");
    cad.Drawing("C:\\jobs\\bad.dwg").Unopenable("Drawing file is not valid");
    auto docs = App()->Documents();
    auto a = docs->Open("C:\\jobs\\a.dwg", true);
    EXPECT_EQ(a->Name(), "a.dwg");
    EXPECT_EQ(a->Path(), "C:\\jobs");
    EXPECT_EQ(ErrorOf([&] { docs->Open("C:\\jobs\\bad.dwg", true); }), "Drawing file is not valid");
    EXPECT_EQ(docs->Add()->Name(), "Drawing1.dwg");
    ASSERT_EQ(docs->Count(), 3);
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < docs->Count(); ++i) {
        names.push_back(docs->Item(i)->Name());
    }
    EXPECT_THAT(names, ElementsAre("user.dwg", "a.dwg", "Drawing1.dwg"));
    a->Activate();
    a->Regen(kRegenAllViewports);
    a->Regen(kRegenActiveViewport);
    a->Close(false);
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("user.dwg", "Drawing1.dwg"));
    EXPECT_THAT(cad.CallsWith("a.dwg"),
                ElementsAre("Documents.Open(\"C:\\jobs\\a.dwg\", True)", "Document[a.dwg].Name",
                            "Document[a.dwg].Path", "Document[a.dwg].Name",
                            "Document[a.dwg].Activate()", "Document[a.dwg].Regen(1)",
                            "Document[a.dwg].Regen(0)", "Document[a.dwg].Close(False)"));
    EXPECT_EQ(ErrorOf([&] { docs->Item(7); }), "Invalid index");
}

TEST_F(AutomationTest, MakesALayoutActiveByReference) {
    cad.Drawing("C:\\jobs\\a.dwg").Layouts({"Sheet 1", "Sheet 2"});
    auto doc = App()->Documents()->Open("C:\\jobs\\a.dwg", true);
    auto layouts = doc->Layouts();
    ASSERT_EQ(layouts->Count(), 3);
    EXPECT_EQ(layouts->Item(2)->Name(), "Sheet 2");
    doc->SetActiveLayout(layouts->Item("Sheet 2"));
    EXPECT_EQ(doc->ActiveLayout()->Name(), "Sheet 2");
    EXPECT_EQ(doc->PaperSpace()->Layout()->Name(), "Sheet 2");
    EXPECT_THAT(cad.CallsWith("ActiveLayout ="),
                ElementsAre("Document[a.dwg].ActiveLayout = Layout[Sheet 2]"));

    // A layout of another back end cannot be passed to AutoCAD.
    fake::FakeCad other;
    other.OpenNow("C:\\jobs\\b.dwg");
    auto foreign = other.App()->ActiveDocument()->ActiveLayout();
    EXPECT_EQ(ErrorOf([&] { doc->SetActiveLayout(foreign); }),
              "Document.ActiveLayout: the layout is not an object of this CAD application");
}

TEST_F(AutomationTest, TellsAnUnloadedReferenceByItsNoDatabaseDescription) {
    cad.Drawing("C:\\jobs\\a.dwg")
        .XRef("Base", "C:\\old\\Base.dwg", false)
        .XRef("Grid", "C:\\jobs\\Grid.dwg", true)
        .Block("Door");
    auto blocks = App()->Documents()->Open("C:\\jobs\\a.dwg", true)->Blocks();
    std::vector<std::string> refs;
    for (std::int32_t i = 0; i < blocks->Count(); ++i) {
        auto block = blocks->Item(i);
        if (block->IsXRef()) {
            refs.push_back(block->Name());
        }
    }
    EXPECT_THAT(refs, ElementsAre("Base", "Grid"));

    auto base = blocks->Item("Base");
    EXPECT_EQ(ErrorOf([&] { base->XRefDatabase()->ModelSpace()->Count(); }), kNoDatabase);
    EXPECT_EQ(blocks->Item("Grid")->XRefDatabase()->ModelSpace()->Count(), 0);
    EXPECT_EQ(ErrorOf([&] { blocks->Item("Door")->XRefDatabase(); }), "Not an external reference");

    EXPECT_EQ(base->Path(), "C:\\old\\Base.dwg");
    base->SetPath("C:\\jobs\\Xref\\Base.dwg");
    base->Reload();
    EXPECT_THAT(cad.CallsWith("Block[Base].Path ="),
                ElementsAre("Block[Base].Path = \"C:\\jobs\\Xref\\Base.dwg\""));
    EXPECT_THAT(cad.Calls(), Contains("Block[Base].Reload()"));
}

TEST_F(AutomationTest, FailsWhatAutoCadsLayoutLacksAndWhatIsMissing) {
    cad.OpenNow("C:\\jobs\\a.dwg");
    auto layout = App()->ActiveDocument()->ActiveLayout();
    EXPECT_THAT(ErrorOf([&] { layout->ZoomExtents(); }),
                ::testing::StartsWith("Layout.ZoomExtents: "));
    EXPECT_THAT(ErrorOf([&] { layout->Plot(); }), ::testing::StartsWith("Layout.Plot: "));
    EXPECT_THAT(cad.CallsWith("ZoomExtents"), IsEmpty());

    auto app = App();
    app->ActiveDocument()->Close(false);
    EXPECT_EQ(ErrorOf([&] { app->ActiveDocument(); }), "No active document");
}

TEST_F(AutomationTest, GivesBackEveryReferenceItTook) {
    cad.Drawing("C:\\jobs\\a.dwg").Layouts({"Sheet 1"}).XRef("Base", "C:\\x\\Base.dwg", true);
    {
        auto app = App()->Application();
        auto doc = app->Documents()->Open("C:\\jobs\\a.dwg", true);
        for (int round = 0; round < 3; ++round) {
            doc->Layouts()->Item("Sheet 1")->Name();
            doc->Blocks()->Item("Base")->XRefDatabase()->ModelSpace()->Count();
            doc->ModelSpace()->Layout()->GetPlotDeviceNames();
            doc->Plot();
            app->Documents()->Item(0);
        }
        EXPECT_THAT(server->Outstanding(), ::testing::Not(IsEmpty()));
    }
    // TearDown checks that nothing is held any more.
}

// --- the rules over COM give the calls they give against the double ---

// Serves another registry's class over COM: the rules then talk to the double through
// IDispatch calls, and the double still decides whether an instance runs or starts.
class ServedClass : public AutomationClass {
public:
    // `inner` is where the double serves its class; it outlives the double.
    ServedClass(ClassRegistry& inner, FakeCadServer& server) : inner_(inner), server_(server) {}
    Ref<AcadApplication> GetActiveObject() override {
        return WrapApplication(server_.ServeApplication(inner_.GetObject(kCadClassName)));
    }
    Ref<AcadApplication> CreateObject() override {
        return WrapApplication(server_.ServeApplication(inner_.CreateObject(kCadClassName)));
    }

private:
    ClassRegistry& inner_;
    FakeCadServer& server_;
};

// A start-up as the window makes it: connect, fill the three lists, pick a device, and
// at exit close what is open. Returns what the lists hold.
std::vector<std::string> StartUpAndExit(ClassRegistry& registry) {
    vx::testing::RecordingConnectionHost host;
    vx::testing::RecordingMessages messages;
    CadConnection connection(host, messages, registry);
    PlotChoices choices;
    PlotLists lists(connection, choices);
    vx::testing::FakeChoiceList printers, papers, styles;
    connection.ConnectCad();
    lists.FillPlotLists(printers, papers, styles);
    printers.SetText("DWG To PDF.pc3");
    lists.PrinterListEvent(printers, papers);
    connection.CloseOpenDrawings();
    if (connection.CadStartedHere) {
        connection.QuitCad();
    }
    std::vector<std::string> shown = printers.items;
    shown.insert(shown.end(), papers.items.begin(), papers.items.end());
    shown.insert(shown.end(), styles.items.begin(), styles.items.end());
    for (const auto& e : host.events) {
        shown.push_back("host: " + e);
    }
    return shown;
}

void Script(fake::FakeCad& cad, bool running) {
    cad.Running(running)
        .Devices({"None", "DWG To PDF.pc3"})
        .Media({"ISO_A4_(210.00_x_297.00_MM)", "ARCH_D_(24.00_x_36.00_Inches)", "Letter"})
        .Styles({"acad.ctb", "monochrome.ctb"});
    if (running) {
        cad.OpenNow("C:\\jobs\\user.dwg").Sdi(1).Modified();
        cad.OpenNow("C:\\jobs\\clean.dwg");
    }
}

TEST_F(AutomationTest, TheConnectionAndPlotListsMakeTheSameCallsOverCom) {
    for (bool running : {true, false}) {
        ClassRegistry directRegistry;
        fake::FakeCad direct;
        Script(direct, running);
        direct.RegisterIn(directRegistry);
        const auto directLists = StartUpAndExit(directRegistry);

        ClassRegistry inner;
        fake::FakeCad overCom;
        Script(overCom, running);
        overCom.RegisterIn(inner);
        FakeCadServer comServer(overCom);
        ClassRegistry comRegistry;
        comRegistry.Register(kCadClassName, std::make_shared<ServedClass>(inner, comServer));
        const auto comLists = StartUpAndExit(comRegistry);

        EXPECT_EQ(comLists, directLists) << (running ? "attached" : "started");
        EXPECT_EQ(overCom.Calls(), direct.Calls()) << (running ? "attached" : "started");
        if (running) {
            EXPECT_THAT(overCom.OpenDrawings(), ElementsAre("user.dwg"));
        } else {
            EXPECT_THAT(overCom.OpenDrawings(), IsEmpty());
        }
        EXPECT_GT(comServer.TotalIdLookups(), 0);
        comRegistry.Unregister(kCadClassName);
        EXPECT_THAT(comServer.Outstanding(), IsEmpty());
    }
}

}  // namespace
