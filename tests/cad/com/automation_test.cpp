// The typed automation interface on the COM layer, against the in-process server that
// serves the recording test double with AutoCAD's member names: each member reaches the
// double as the same call, and every reference taken is given back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeCad.h"
#include "FakeCadServer.h"
#include "cad/com/ComAutomation.h"

using namespace vx;
using namespace vx::cad;
using namespace vx::cad::com;
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
    cad.Styles({"acad.ctb", "Büro ±0.ctb"});
    cad.Drawing("C:\\jobs\\a.dwg");
    {
        auto doc = App()->Documents()->Open("C:\\jobs\\a.dwg", true);
        auto layout = doc->ActiveLayout();
        EXPECT_THAT(layout->GetPlotStyleTableNames(), ElementsAre("acad.ctb", "Büro ±0.ctb"));
        cad.ClearCalls();
        layout->SetConfigName("DWG To PDF.pc3");
        layout->SetPlotType(kPlotExtents);
        layout->SetCenterPlot(true);
        EXPECT_TRUE(doc->Plot()->PlotToFile("C:\\jobs\\a.plt", "DWG To PDF.pc3"));
    }
    EXPECT_THAT(
        cad.Calls(),
        ElementsAre("Layout[Model].ConfigName = \"DWG To PDF.pc3\"", "Layout[Model].PlotType = 1",
                    "Layout[Model].CenterPlot = True", "Document[a.dwg].Plot",
                    "Plot[a.dwg].PlotToFile(\"C:\\jobs\\a.plt\", \"DWG To PDF.pc3\")"));
}

TEST_F(AutomationTest, SetsSystemVariablesAsTheShortIntegersAutoCadTakes) {
    cad.OpenNow("C:\\jobs\\a.dwg").Sdi(1);
    auto doc = App()->ActiveDocument();
    EXPECT_EQ(doc->GetVariable("SDI"), 1);
    doc->SetVariable("SDI", 0);
    EXPECT_EQ(cad.Open("a.dwg")->sdi, 0);
    // A value beyond 16 bits goes as a long, which AutoCAD refuses in its own words.
    EXPECT_EQ(ErrorOf([&] { doc->SetVariable("SDI", 70000); }),
              "Invalid argument Value in SetVariable");
}

TEST_F(AutomationTest, TellsAnUnloadedReferenceByItsNoDatabaseDescription) {
    cad.Drawing("C:\\jobs\\a.dwg")
        .XRef("Base", "C:\\old\\Base.dwg", false)
        .XRef("Grid", "C:\\jobs\\Grid.dwg", true);
    auto blocks = App()->Documents()->Open("C:\\jobs\\a.dwg", true)->Blocks();
    EXPECT_EQ(ErrorOf([&] { blocks->Item("Base")->XRefDatabase()->ModelSpace()->Count(); }),
              kNoDatabase);
}

TEST_F(AutomationTest, MakesALayoutActiveByReferenceAndRefusesAForeignOne) {
    cad.Drawing("C:\\jobs\\a.dwg").Layouts({"Sheet 1", "Sheet 2"});
    auto doc = App()->Documents()->Open("C:\\jobs\\a.dwg", true);
    doc->SetActiveLayout(doc->Layouts()->Item("Sheet 2"));
    EXPECT_EQ(doc->ActiveLayout()->Name(), "Sheet 2");

    fake::FakeCad other;
    other.OpenNow("C:\\jobs\\b.dwg");
    auto foreign = other.App()->ActiveDocument()->ActiveLayout();
    EXPECT_EQ(ErrorOf([&] { doc->SetActiveLayout(foreign); }),
              "Document.ActiveLayout: the layout is not an object of this CAD application");
}

}  // namespace
