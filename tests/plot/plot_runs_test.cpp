#include <algorithm>

#include "PlotFixture.h"

using namespace vx;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

struct RunsTest : vx::testing::PlotFixture {
    vx::testing::TempTree tree;
    std::string folder;  // the rows' Path text

    void SetUp() override {
        PlotFixture::SetUp();
        ASSERT_TRUE(tree.dir.isValid());
        folder = tree.Folder("jobs") + "/";
        window.folder = tree.Path("jobs");
        Connect();
    }

    // A listed drawing that exists on disk and in the double's script.
    fake::DrawingSpec& Row(const std::string& name, bool selected = false) {
        tree.File("jobs/" + name);
        window.rows.push_back({name, folder, selected});
        return cad.Drawing(folder + name);
    }

    // What the per-drawing sequence shows for a model-space plot.
    std::vector<std::string> ModelSpaceTexts(const std::string& name) const {
        const std::string path = folder + name;
        return {"Status: Opening Drawing " + path + " ...",
                "Status: Printing Model Space from Drawing " + path + " ...",
                "Status: Closing Drawing " + path + " ..."};
    }
};

std::vector<std::string> Cat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

// What each of the three runs shows over a selected a.dwg and an unselected b.dwg: every
// run starts at the last row and comes to rest the same way.
TEST_F(RunsTest, EachRunShowsItsStepsInItsOwnOrderFromTheLastRow) {
    Row("a.dwg", true);
    Row("b.dwg", false);
    const std::vector<std::string> rest{"Pointer: 0", "Panel: Ready", "Progress: 0",
                                        "Status: 2  Files Found  "};
    const std::vector<std::string> end{"Panel: Ready", "Progress: 0", "Pointer: 0"};
    auto busy = [](const char* percent) {
        return std::vector<std::string>{"Pointer: 11", "Panel: Processing ...",
                                        std::string("Progress: ") + percent};
    };
    auto scanned = [](const char* percent) {
        return std::vector<std::string>{"Panel: Processing ...",
                                        std::string("Progress: ") + percent, "Pointer: 11"};
    };
    const std::vector<std::string> all{
        "Status: Printing All Drawings in " + tree.Path("jobs") + " ...", "Repaint"};
    const std::vector<std::string> stop{"Stop: False"};
    const std::vector<std::string> zero{"Pointer: 0"};
    const struct {
        void (vx::testing::PlotFixture::*run)();
        std::vector<std::string> events;
        std::vector<std::string> plotted;
    } cases[] = {
        {&vx::testing::PlotFixture::Command2_Click,
         Cat({stop, busy("50"), ModelSpaceTexts("b.dwg"), rest, busy("100"),
              ModelSpaceTexts("a.dwg"), rest, end}),
         {"b.dwg", "a.dwg"}},
        // The selected run moves the bar over every row and plots only the selected ones.
        {&vx::testing::PlotFixture::mnuPrintMultiple_Click,
         Cat({stop, scanned("50"), scanned("100"), ModelSpaceTexts("a.dwg"), rest, end}),
         {"a.dwg"}},
        // The all-drawings run names the folder and restores only at the end.
        {&vx::testing::PlotFixture::mnuAllPrint_Click,
         Cat({stop,
              busy("50"),
              all,
              ModelSpaceTexts("b.dwg"),
              zero,
              busy("100"),
              all,
              ModelSpaceTexts("a.dwg"),
              zero,
              {"Status: 2  Files Found  "},
              end}),
         {"b.dwg", "a.dwg"}},
    };
    for (const auto& c : cases) {
        window.events.clear();
        cad.ClearCalls();
        const auto before = static_cast<std::ptrdiff_t>(cad.Plots().size());
        (this->*c.run)();
        EXPECT_THAT(window.events, ElementsAreArray(c.events));
        const auto plotted = cad.Plotted();
        EXPECT_THAT(std::vector<std::string>(plotted.begin() + before, plotted.end()),
                    ElementsAreArray(c.plotted));
        EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg"));
    }
}

// An empty list opens nothing; a failed check ends every run before it touches anything (the
// double's log holds the window's events too: nothing but the message).
TEST_F(RunsTest, AnEmptyListOrAFailedCheckOpensNothing) {
    const std::vector<std::string> rest{"Panel: Ready", "Progress: 0", "Pointer: 0"};
    const std::vector<std::string> empty[] = {
        Cat({{"Stop: False"}, rest}), Cat({{"Stop: False"}, rest}),
        Cat({{"Stop: False", "Status: 0  Files Found  "}, rest})};
    int i = 0;
    for (auto run : {&vx::testing::PlotFixture::Command2_Click,
                     &vx::testing::PlotFixture::mnuPrintMultiple_Click,
                     &vx::testing::PlotFixture::mnuAllPrint_Click}) {
        window.events.clear();
        (this->*run)();
        EXPECT_THAT(window.events, ElementsAreArray(empty[i++]));
    }
    EXPECT_THAT(cad.CallsWith("Open("), IsEmpty());

    Row("a.dwg");
    choices.StrPrinter = "Select a Printer";
    cad.ClearCalls();
    mnuAllPrint_Click();
    EXPECT_THAT(cad.Calls(), ElementsAre("# Message: Printer Not Selected"));
}

TEST_F(RunsTest, AStopEndsTheRunBeforeTheNextRow) {
    Row("a.dwg", true);
    Row("b.dwg", true);
    Row("c.dwg", true);
    // The action button is pressed while the first drawing is plotted.
    window.onKeepAlive = [&] { window.stop = window.stop || !cad.Plots().empty(); };
    Command2_Click();
    EXPECT_THAT(cad.Plotted(), ElementsAre("c.dwg"));
    std::vector<std::string> tail(window.events.end() - 6, window.events.end());
    EXPECT_THAT(tail, ElementsAre("Pointer: 0", "Panel: Ready", "Progress: 0",
                                  "Status: 3  Files Found  ", "Pointer: 11", "Pointer: 0"));
}

TEST_F(RunsTest, AStopLeftOverFromASearchDoesNotCancelTheRun) {
    Row("a.dwg");
    Row("b.dwg");
    window.stop = true;
    Command2_Click();
    EXPECT_THAT(cad.Plotted(), ElementsAre("b.dwg", "a.dwg"));
}

TEST_F(RunsTest, LayoutsArePlottedWhenTheBoxIsNotClearAndTheDrawingHasThem) {
    Row("a.dwg").Layouts({"Layout1"});
    Row("b.dwg");  // model space only
    Row("c.dwg").Layouts({"Layout1"});
    const std::string layouts = "Status: Printing All Layouts of " + folder;
    const std::string model = "Status: Printing Model Space from Drawing " + folder;
    window.layouts = 2;
    Command2_Click();
    for (const std::string& shown :
         {layouts + "c.dwg ...", model + "b.dwg ...", layouts + "a.dwg ..."}) {
        EXPECT_THAT(window.events, Contains(shown));
    }
}

TEST_F(RunsTest, AListedFileThatIsGoneIsPassedOverSilently) {
    window.rows.push_back({"gone.dwg", folder, false});
    Command2_Click();
    EXPECT_THAT(window.events, Contains("Status: Opening Drawing " + folder + "gone.dwg ..."));
    EXPECT_THAT(window.events, Contains("Status: Closing Drawing " + folder + "gone.dwg ..."));
    EXPECT_TRUE(cad.Plots().empty());
    EXPECT_TRUE(window.shown.empty());
}

TEST_F(RunsTest, AFailingDrawingIsClosedAndListedAtTheEndWhileTheRunGoesOn) {
    Row("a.dwg");
    Row("b.dwg");
    Row("c.dwg");
    cad.FailOn("Layout.ConfigName", "Invalid plot device", 1);
    Command2_Click();

    EXPECT_THAT(cad.Plotted(), ElementsAre("b.dwg", "a.dwg"));
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg"));
    ASSERT_EQ(window.shown.size(), 1u);
    const Message& m = window.shown[0];
    EXPECT_EQ(m.title, plot::kFailuresTitle);
    EXPECT_EQ(m.icon, MsgIcon::Exclamation);
    EXPECT_EQ(m.buttons, MsgButtons::Ok);
    EXPECT_EQ(m.text,
              "These drawings could not be plotted:\r\n" + folder + "c.dwg: Invalid plot device");
    // The message comes once, after the run has restored the window.
    EXPECT_EQ(window.events.back(), "Message: Drawings Not Plotted");
}

TEST_F(RunsTest, TheUsersChangedCopyOfAListedDrawingIsReportedAndKept) {
    Row("a.dwg");
    Row("b.dwg");
    cad.OpenNow(folder + "b.dwg").Modified(1);
    mnuAllPrint_Click();
    EXPECT_THAT(cad.Plotted(), ElementsAre("a.dwg"));
    EXPECT_THAT(cad.OpenDrawings(), Contains("b.dwg"));
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_THAT(window.shown[0].text, ::testing::HasSubstr(plot::PlotService::kUnsavedCopyOpen));
}

TEST_F(RunsTest, ACommandDuringARunIsIgnored) {
    Row("a.dwg");
    Row("b.dwg");
    window.onKeepAlive = [this] {
        EXPECT_TRUE(runs.Running());
        Command2_Click();
        mnuAllPrint_Click();
    };
    Command2_Click();
    EXPECT_FALSE(runs.Running());
    EXPECT_THAT(cad.Plotted(), ElementsAre("b.dwg", "a.dwg"));
    EXPECT_EQ(std::count(window.events.begin(), window.events.end(), "Stop: False"), 1);
}

TEST(CopiesBox, LetsDigitsAndBackspaceThroughAndKeepsTheLastPositiveCount) {
    for (int key : {int{'0'}, int{'9'}, 8}) {
        EXPECT_TRUE(plot::CopiesKeyPasses(key)) << key;
    }
    for (int key : {int{'a'}, 22 /* Ctrl+V */, int{'-'}}) {
        EXPECT_FALSE(plot::CopiesKeyPasses(key)) << key;
    }
    // Nothing: the count stays as it was.
    const std::pair<const char*, int> typed[] = {{"3", 3},         {"0", 0},    {"12x", 0},
                                                 {"32768", 0},     {"", 0},     {"   ", 0},
                                                 {"32767", 32767}, {" 12 ", 12}};
    for (const auto& [text, count] : typed) {
        EXPECT_EQ(plot::CopiesFromText(text).value_or(0), count) << '"' << text << '"';
    }
}

}  // namespace
