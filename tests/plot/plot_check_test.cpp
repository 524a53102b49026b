#include "PlotFixture.h"
#include "plot/PlotChoiceCheck.h"

namespace {

// The first unmade choice in order (device, paper, plot style table) is shown, and only it.
TEST(PlotChoiceCheckTest, ShowsTheFirstUnmadeChoiceOnly) {
    const std::string printer = "Printer Not Selected|Please Select a Printer before printing";
    const std::string paper = "Paper Not Selected|Please Select a Paper Size before Ploting";
    const std::string style =
        "Plot Style Table Not Selected|Please Select a Plot Style Table before printing";
    const struct {
        const char *printer, *paper, *styles;
        std::string shown;  // "title|text"; empty: the check passes
    } cases[] = {
        {"Office", "A4", "acad.ctb", ""},
        {"", "A4", "acad.ctb", printer},
        {"Unselected plotter", "A4", "acad.ctb", ""},
        {"My Select plotter", "A4", "acad.ctb", printer},
        // Only the device test knows "None", and only as written.
        {"None", "A4", "acad.ctb", printer},
        {"none", "A4", "acad.ctb", ""},
        {"Office", "", "acad.ctb", paper},
        {"Office", "A4", "Select Plot Style Table", style},
        {"None", "Select a Paper", "", printer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.printer) + "/" + c.paper + "/" + c.styles);
        vx::plot::PlotChoices choices{c.printer, c.paper, c.styles, 0};
        vx::testing::RecordingMessages messages;
        EXPECT_EQ(vx::plot::CheckPlotChoices(choices, messages), c.shown.empty());
        std::vector<std::string> shown;
        for (const auto& m : messages.shown) {
            EXPECT_EQ(m.icon, vx::MsgIcon::Information);
            EXPECT_EQ(m.buttons, vx::MsgButtons::Ok);
            shown.push_back(m.title + "|" + m.text);
        }
        EXPECT_EQ(shown,
                  c.shown.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.shown});
    }
}

}  // namespace
