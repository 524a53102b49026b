#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PlotFixture.h"
#include "plot/PlotChoiceCheck.h"

using namespace vx;
using namespace vx::plot;

namespace {

struct CheckCase {
    const char* printer;
    const char* paper;
    const char* styles;
    const char* title;  // nullptr: the check passes
    const char* text;
};

constexpr char kPrinterTitle[] = "Printer Not Selected";
constexpr char kPrinterText[] = "Please Select a Printer before printing";
constexpr char kPaperTitle[] = "Paper Not Selected";
constexpr char kPaperText[] = "Please Select a Paper Size before Ploting";
constexpr char kStyleTitle[] = "Plot Style Table Not Selected";
constexpr char kStyleText[] = "Please Select a Plot Style Table before printing";

class PlotChoiceCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PlotChoiceCheckTest, ShowsTheFirstUnmadeChoiceOnly) {
    const CheckCase& c = GetParam();
    cad::PlotChoices choices{c.printer, c.paper, c.styles, 0};
    vx::testing::RecordingMessages messages;
    const bool passed = CheckPlotChoices(choices, messages);
    if (!c.title) {
        EXPECT_TRUE(passed);
        EXPECT_TRUE(messages.shown.empty());
        return;
    }
    EXPECT_FALSE(passed);
    ASSERT_EQ(messages.shown.size(), 1u);
    const Message& m = messages.shown[0];
    EXPECT_EQ(m.title, c.title);
    EXPECT_EQ(m.text, c.text);
    EXPECT_EQ(m.icon, MsgIcon::Information);
    EXPECT_EQ(m.buttons, MsgButtons::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, PlotChoiceCheckTest,
    ::testing::Values(CheckCase{"Office", "A4", "acad.ctb", nullptr, nullptr},
                      CheckCase{"", "A4", "acad.ctb", kPrinterTitle, kPrinterText},
                      CheckCase{"Select a Printer", "A4", "acad.ctb", kPrinterTitle, kPrinterText},
                      CheckCase{"Unselected plotter", "A4", "acad.ctb", nullptr, nullptr},
                      CheckCase{"My Select plotter", "A4", "acad.ctb", kPrinterTitle, kPrinterText},
                      // Only the device test knows "None", and only as written.
                      CheckCase{"None", "A4", "acad.ctb", kPrinterTitle, kPrinterText},
                      CheckCase{"none", "A4", "acad.ctb", nullptr, nullptr},
                      CheckCase{"Office", "None", "acad.ctb", nullptr, nullptr},
                      CheckCase{"Office", "", "acad.ctb", kPaperTitle, kPaperText},
                      CheckCase{"Office", "Select a Paper", "acad.ctb", kPaperTitle, kPaperText},
                      CheckCase{"Office", "A4", "", kStyleTitle, kStyleText},
                      CheckCase{"Office", "A4", "Select Plot Style Table", kStyleTitle, kStyleText},
                      // Several unmade choices: only the first in order is reported.
                      CheckCase{"None", "Select a Paper", "", kPrinterTitle, kPrinterText},
                      CheckCase{"Office", "", "", kPaperTitle, kPaperText}));

}  // namespace
