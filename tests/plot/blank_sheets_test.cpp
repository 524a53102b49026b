// Paper-space layouts with nothing on them are neither counted nor plotted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PlotFixture.h"

using namespace vx;
using ::testing::ElementsAreArray;

namespace {

constexpr char kVp[] = "AcDbViewport";

struct SheetCase {
    const char* what;
    fake::Strings layout1;  // what Layout1 holds (Layout2 always holds a line)
    fake::Strings model;    // what model space holds
    const char* failing;    // a call that fails, or nullptr
    int layouts;            // GetLayouts
    fake::Strings plotted;  // the layouts SetLayoutsToPlot plots
};

const SheetCase kSheets[] = {
    {"nothing at all", {}, {"AcDbLine"}, nullptr, 1, {"Layout2"}},
    {"its own paper-space view only", {kVp}, {"AcDbLine"}, nullptr, 1, {"Layout2"}},
    {"a viewport onto a drawn model", {kVp, kVp}, {"AcDbLine"}, nullptr, 2, {"Layout1", "Layout2"}},
    {"viewports onto an empty model", {kVp, kVp, kVp}, {}, nullptr, 1, {"Layout2"}},
    {"a title block beside its view",
     {kVp, "AcDbBlockReference"},
     {},
     nullptr,
     2,
     {"Layout1", "Layout2"}},
    {"a layout whose block cannot be had", {}, {}, "Layout.Block", 2, {"Layout1", "Layout2"}},
    {"entities that cannot be named", {kVp}, {}, "Entity.ObjectName", 2, {"Layout1", "Layout2"}},
};

struct BlankSheets : vx::testing::PlotFixture, ::testing::WithParamInterface<SheetCase> {
    void SetUp() override {
        PlotFixture::SetUp();
        Papers({kA4});
        Connect();
    }
};

TEST_P(BlankSheets, AreNeitherCountedNorPlotted) {
    const SheetCase& c = GetParam();
    cad.Drawing("/jobs/s.dwg")
        .Layouts({"Layout1", "Layout2"})
        .Holding("Model", c.model)
        .Holding("Layout1", c.layout1);
    if (c.failing) {
        cad.FailOn(c.failing, "Not implemented");
    }
    OpenScripted("/jobs/s.dwg");
    EXPECT_EQ(runs.GetLayouts(), c.layouts);
    runs.SetLayoutsToPlot();
    EXPECT_THAT(cad.Plotted(&fake::PlotJob::layout), ElementsAreArray(c.plotted));
}

INSTANTIATE_TEST_SUITE_P(Layouts, BlankSheets, ::testing::ValuesIn(kSheets));

// A drawing whose every layout is blank is plotted as one without layouts: its current
// layout, even with the layouts box checked.
TEST_F(BlankSheets, ADrawingOfBlankSheetsOnlyPlotsItsCurrentLayout) {
    vx::testing::TempTree tree;
    ASSERT_TRUE(tree.dir.isValid());
    window.rows.push_back({"s.dwg", tree.Folder("jobs") + "/", true});
    tree.File("jobs/s.dwg");
    cad.Drawing(tree.Path("jobs/s.dwg"))
        .Layouts({"Layout1", "Layout2"})
        .Holding("Layout1", {})
        .Holding("Layout2", {kVp});
    window.layouts = 1;
    Command2_Click();
    EXPECT_THAT(cad.Plotted(&fake::PlotJob::layout), ElementsAreArray({"Model"}));
}

}  // namespace
