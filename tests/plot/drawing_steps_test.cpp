#include "PlotFixture.h"

using namespace vx;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

struct DrawingStepsTest : vx::testing::PlotFixture {
    vx::testing::TempTree tree;
    std::string a;  // a drawing file on disk, scripted in the double

    void SetUp() override {
        PlotFixture::SetUp();
        ASSERT_TRUE(tree.dir.isValid());
        a = Listed("a.dwg");
        Connect();  // the application has its own empty Drawing1.dwg, active
    }
    // A file in the listed folder, scripted in the double.
    std::string Listed(const std::string& name) {
        const std::string path = tree.File("jobs/" + name);
        cad.Drawing(path);
        return path;
    }
};

TEST_F(DrawingStepsTest, OpenDrawingOpensTheFileReadOnlyAndMakesItActive) {
    EXPECT_TRUE(runs.OpenDrawing(a));
    EXPECT_THAT(cad.Calls(), ElementsAreArray(vx::testing::Transcript(R"calls(
        Application.Application
        Application.Documents
        Documents.Count
        Application.ActiveDocument
        Document[Drawing1.dwg].GetVariable("DBMOD")
        Application.Documents
        Documents.Count
        Application.ActiveDocument
        Document[Drawing1.dwg].Name
        Documents.Count
        Documents.Item(0)
        Document[Drawing1.dwg].Name
        Documents.Open(")calls" + a + R"calls(", True)
        Document[a.dwg].Path
        Document[a.dwg].Name
    )calls")));
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg", "a.dwg"));
    EXPECT_EQ(cad.ActiveDrawing(), "a.dwg");
    // Opened here: closing it later loses nothing of the user's.
    auto doc = connection.CadApp->ActiveDocument();
    EXPECT_TRUE(connection.OpenedHere(*doc));
}

TEST_F(DrawingStepsTest, AMissingOrHiddenFileIsNotOpened) {
    EXPECT_FALSE(runs.OpenDrawing(tree.Path("jobs/gone.dwg")));
    EXPECT_FALSE(runs.OpenDrawing(Listed(".h.dwg")));
    EXPECT_FALSE(runs.OpenDrawing(tree.Folder("jobs/dir.dwg")));
    EXPECT_THAT(cad.CallsWith("Open("), IsEmpty());
}

TEST_F(DrawingStepsTest, AModifiedDrawingOfTheProgramIsClosedBeforeTheNextOpen) {
    const std::string b = Listed("b.dwg");
    cad.Drawing(b).Modified(2);  // a plot's settings left it modified
    runs.OpenDrawing(b);
    cad.ClearCalls();
    runs.OpenDrawing(a);
    EXPECT_THAT(cad.CallsWith("Close"), ElementsAre("Document[b.dwg].Close(False)"));
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg", "a.dwg"));
}

TEST_F(DrawingStepsTest, TheUsersUnsavedWorkStaysOpen) {
    cad.OpenNow("/home/user/work.dwg").Modified(1);
    EXPECT_TRUE(runs.OpenDrawing(a));
    EXPECT_THAT(cad.CallsWith("Close"), IsEmpty());
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg", "work.dwg", "a.dwg"));
}

TEST_F(DrawingStepsTest, AnEarlierCopyOfTheDrawingIsReplaced) {
    runs.OpenDrawing(a);
    cad.ClearCalls();
    runs.OpenDrawing(a);
    EXPECT_THAT(cad.CallsWith("Close"), ElementsAre("Document[a.dwg].Close(False)"));
    EXPECT_EQ(cad.CallsWith("Documents.Open").size(), 1u);
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg", "a.dwg"));

    // The user's unchanged copy goes the same way.
    cad.OpenNow(a);
    cad.ClearCalls();
    runs.OpenDrawing(a);
    EXPECT_THAT(cad.CallsWith("Close"), ElementsAre("Document[a.dwg].Close(False)"));
}

TEST_F(DrawingStepsTest, TheUsersChangedCopyOfTheSameFileIsLeftAlone) {
    cad.OpenNow(a).Modified(1);
    cad.OpenNow("/home/user/other.dwg");  // the copy need not be the active drawing
    try {
        runs.OpenDrawing(a);
        ADD_FAILURE() << "the open must fail";
    } catch (const cad::CadError& e) {
        EXPECT_EQ(e.Description(), plot::PlotRuns::kUnsavedCopyOpen);
    }
    EXPECT_THAT(cad.CallsWith("Documents.Open"), IsEmpty());
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg", "a.dwg", "other.dwg"));
}

TEST_F(DrawingStepsTest, OnlyADrawingOfTheSameFileNameIsTakenForAnEarlierCopy) {
    // "a.dwg" occurs inside "data.dwg", but it is another drawing.
    const std::string data = Listed("data.dwg");
    runs.OpenDrawing(a);
    cad.ClearCalls();
    runs.OpenDrawing(data);
    EXPECT_THAT(cad.CallsWith("Close"), IsEmpty());
    EXPECT_THAT(cad.OpenDrawings(), ElementsAre("Drawing1.dwg", "a.dwg", "data.dwg"));
}

TEST_F(DrawingStepsTest, AFileTheApplicationRefusesCountsAsOpenedButIsNotFound) {
    const std::string bad = Listed("bad.dwg");
    cad.Drawing(bad).Unopenable();
    EXPECT_TRUE(runs.OpenDrawing(bad));
    EXPECT_FALSE(runs.ActivateDrawing(bad, true));
}

TEST_F(DrawingStepsTest, FailuresBeforeTheOpenReachTheCaller) {
    cad.FailOn("Document.GetVariable", "Busy");
    EXPECT_THROW(runs.OpenDrawing(a), cad::CadError);
    EXPECT_THAT(cad.CallsWith("Documents.Open"), IsEmpty());
}

TEST_F(DrawingStepsTest, ActivateDrawingReadiesTheDrawingAndMakesItActive) {
    runs.OpenDrawing(a);
    runs.OpenDrawing(Listed("z.dwg"));  // now active: a.dwg must be made active again
    cad.ClearCalls();

    EXPECT_TRUE(runs.ActivateDrawing(a, true));
    std::vector<std::string> head(cad.Calls().begin(), cad.Calls().begin() + 9);
    EXPECT_THAT(head,
                ElementsAre("Application.Application", "Application.Documents", "Documents.Count",
                            "Documents.Item(0)", "Document[Drawing1.dwg].Name", "Documents.Item(1)",
                            "Document[a.dwg].Name", "Document[a.dwg].Path",
                            // the references of the active drawing
                            "Application.Application"));
    std::vector<std::string> tail(cad.Calls().end() - 4, cad.Calls().end());
    EXPECT_THAT(tail, ElementsAre("Application.ZoomExtents()", "Document[a.dwg].Regen(1)",
                                  "Document[a.dwg].Regen(0)", "Document[a.dwg].Activate()"));
    EXPECT_EQ(cad.ActiveDrawing(), "a.dwg");

    // Without activating, the active drawing stays.
    connection.CadApp->Documents()->Item(2)->Activate();
    EXPECT_TRUE(runs.ActivateDrawing(a, false));
    EXPECT_EQ(cad.CallsWith("Activate()").size(), 2u);
    EXPECT_EQ(cad.ActiveDrawing(), "z.dwg");
}

TEST_F(DrawingStepsTest, TheListedDrawingIsTakenNotOneWhoseNameOccursInItsPath) {
    runs.OpenDrawing(a);
    const std::string data = Listed("data.dwg");
    runs.OpenDrawing(data);
    cad.ClearCalls();
    EXPECT_TRUE(runs.ActivateDrawing(data, true));
    EXPECT_THAT(cad.CallsWith("Regen("),
                ElementsAre("Document[data.dwg].Regen(1)", "Document[data.dwg].Regen(0)",
                            "Document[data.dwg].Regen(1)", "Document[data.dwg].Regen(0)"));
    EXPECT_THAT(cad.CallsWith("Activate()"), ElementsAre("Document[data.dwg].Activate()"));
}

TEST_F(DrawingStepsTest, TheDrawingOfTheSamePathIsPreferredToOneOfTheSameName) {
    cad.OpenNow("/elsewhere/a.dwg");
    cad.OpenNow("/third/q.dwg");  // active, so the other a.dwg is no earlier copy
    runs.OpenDrawing(a);
    cad.ClearCalls();
    EXPECT_TRUE(runs.ActivateDrawing(a, true));
    EXPECT_EQ(cad.CallsWith("Activate()").size(), 1u);
    // Both are named a.dwg; the one from the listed folder was made active.
    auto active = connection.CadApp->ActiveDocument();
    EXPECT_EQ(active->Path(), tree.Path("jobs"));

    // With no drawing of that path open, the first of that name is taken.
    EXPECT_TRUE(runs.ActivateDrawing("/nowhere/a.dwg", true));
    EXPECT_EQ(connection.CadApp->ActiveDocument()->Path(), "/elsewhere");

    // Names are compared in their letter case.
    EXPECT_FALSE(runs.ActivateDrawing("/elsewhere/A.dwg", true));
    EXPECT_FALSE(runs.ActivateDrawing(tree.Path("jobs/nothing.dwg"), true));
}

TEST_F(DrawingStepsTest, AnyFailureWhileReadyingMeansNotFound) {
    runs.OpenDrawing(a);
    for (const char* call : {"Document.Regen", "Document.Activate", "Documents.Count"}) {
        cad.FailOn(call, "Busy", 1);
        EXPECT_FALSE(runs.ActivateDrawing(a, true)) << call;
    }
    EXPECT_TRUE(runs.ActivateDrawing(a, true));
}

TEST_F(DrawingStepsTest, CloseDrawingClosesTheActiveDrawingWithoutSaving) {
    runs.OpenDrawing(a);
    cad.ClearCalls();
    EXPECT_FALSE(runs.CloseDrawing());
    runs.CloseDrawing();                // the application's own empty drawing
    EXPECT_FALSE(runs.CloseDrawing());  // nothing open: nothing to close
    EXPECT_THAT(cad.CallsWith("Close"),
                ElementsAre("Document[a.dwg].Close(False)", "Document[Drawing1.dwg].Close(False)"));
    EXPECT_THAT(cad.OpenDrawings(), IsEmpty());
    cad.FailOn("Documents.Count", "Busy");
    EXPECT_THROW(runs.CloseDrawing(), cad::CadError);
}

TEST_F(DrawingStepsTest, CloseDrawingKeepsTheUsersUnsavedWorkActiveAfterARefusedOpen) {
    cad.OpenNow("/home/user/work.dwg").Modified(1);
    const std::string bad = Listed("bad.dwg");
    cad.Drawing(bad).Unopenable();
    runs.OpenDrawing(bad);
    runs.ActivateDrawing(bad, true);
    runs.CloseDrawing();
    EXPECT_THAT(cad.OpenDrawings(), Contains("work.dwg"));

    // An unchanged drawing of the user's is closed, as the run always did.
    cad.OpenNow("/home/user/clean.dwg");
    runs.CloseDrawing();
    EXPECT_THAT(cad.OpenDrawings(), Not(Contains("clean.dwg")));
}

}  // namespace
