// The engine answers what a layout holds, so that blank sheets are left out of a plot.
#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>

#include "EngineFixture.h"
#include "plot/PlotService.h"

namespace vx::testing {
namespace {

const std::string kLine = "0|LINE|8|0|10|0|20|0|11|100|21|50|";
const std::string kPaperLine = "0|LINE|8|0|67|1|10|0|20|0|11|100|21|50|";
const std::string kPaperView = "0|VIEWPORT|8|0|67|1|10|150|20|100|40|300|41|200|68|1|69|1|";
const std::string kFloating = "0|VIEWPORT|8|0|67|1|10|150|20|100|40|100|41|80|68|2|69|2|";

struct SheetCase {
    std::string what;
    std::string entities;  // the ENTITIES section's groups, "|"-separated
    bool blank;            // Layout1 has nothing to plot
};

const SheetCase kSheets[] = {
    {"no paper space at all", kLine, true},
    {"a line on the sheet", kLine + kPaperLine, false},
    {"its own paper-space view only", kLine + kPaperView, true},
    {"a view onto a drawn model", kLine + kPaperView + kFloating, false},
    {"views onto an empty model", kPaperView + kFloating, true},
};

struct BlankLayouts : EngineModel, ::testing::WithParamInterface<SheetCase> {};

TEST_P(BlankLayouts, AreToldFromLayoutsThatHoldSomething) {
    const SheetCase& c = GetParam();
    std::string text = "0|SECTION|2|ENTITIES|" + c.entities + "0|ENDSEC|0|EOF|";
    std::replace(text.begin(), text.end(), '|', '\n');
    std::ofstream(work / "sheet.dxf") << text;
    auto doc = Open(work / "sheet.dxf");
    auto layouts = doc->Layouts();
    ASSERT_EQ(layouts->Count(), 2) << c.what;
    EXPECT_FALSE(plot::IsBlankSheet(*doc, *layouts->Item(0))) << c.what;  // model space
    EXPECT_EQ(plot::IsBlankSheet(*doc, *layouts->Item(1)), c.blank) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Sheets, BlankLayouts, ::testing::ValuesIn(kSheets));

}  // namespace
}  // namespace vx::testing
