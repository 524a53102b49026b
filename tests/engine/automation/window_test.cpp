// The main window started on the built-in engine: it starts it, shows no message, and
// fills its plot-choice lists from the engine's devices and plot style tables; at exit it
// quits the engine it started.
#include <gmock/gmock.h>

#include <QComboBox>
#include <QTest>

#include "../../app/ShellHarness.h"
#include "app/Main.h"
#include "engine/automation/Engine.h"

namespace vx::testing {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;

std::vector<std::string> Items(const QComboBox& box) {
    std::vector<std::string> out;
    for (int i = 0; i < box.count(); ++i) {
        out.push_back(box.itemText(i).toStdString());
    }
    return out;
}

TEST(WindowOnTheEngine, StartsWithoutAMessageListsTheEnginesChoicesAndQuitsItAtExit) {
    ShellHarness h;
    engine::automation::EngineOptions options;
    options.folders =
        engine::device::EngineFolders{VORMEX_PROGRAM_DIR, h.programDir.path().toStdString()};
    options.noPrinters = true;
    auto engineClass = engine::automation::RegisterEngine(h.classes, options);
    app::Form1& f = h.MakeForm(/*noBackEnd=*/true);

    ASSERT_TRUE(app::Main(f));
    EXPECT_THAT(h.messages.shown, IsEmpty());
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(engineClass->Running());
    EXPECT_TRUE(f.Connection().CadStartedHere);

    // The first folder event fills the lists from the engine.
    f.Dir1_Click();
    const auto devices = Items(*f.cmbPrinter);
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices.front(), "None");
    EXPECT_THAT(devices, Contains("PDF.pc3"));
    EXPECT_THAT(Items(*f.CmbPaper), Contains("ISO_A4_(210.00_x_297.00_MM)"));
    EXPECT_THAT(Items(*f.CmbCTB), Contains(::testing::EndsWith(".ctb")));

    f.Command3_Click();  // Exit: the drawings are closed and the engine quits
    EXPECT_FALSE(engineClass->Running());
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

}  // namespace
}  // namespace vx::testing
