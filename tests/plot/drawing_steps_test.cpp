#include "PlotFixture.h"

using namespace vx;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

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
}

TEST_F(DrawingStepsTest, AnyFailureWhileReadyingMeansNotFound) {
    runs.OpenDrawing(a);
    for (const char* call : {"Document.Regen", "Documents.Count"}) {
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
}

TEST_F(DrawingStepsTest, CloseDrawingKeepsTheUsersUnsavedWorkActiveAfterARefusedOpen) {
    cad.OpenNow("/home/user/work.dwg").Modified(1);
    const std::string bad = Listed("bad.dwg");
    cad.Drawing(bad).Unopenable();
    runs.OpenDrawing(bad);
    runs.ActivateDrawing(bad, true);
    runs.CloseDrawing();
    EXPECT_THAT(cad.OpenDrawings(), Contains("work.dwg"));
}

}  // namespace
