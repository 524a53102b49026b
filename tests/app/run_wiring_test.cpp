// The plot runs inside the main window, on the CAD test double: the three commands over
// the listed drawings, what the window shows while they work, the action button that
// stops a run between drawings, the input a run keeps out, and the copies box.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "WindowHarness.h"
#include "app/StatusBar.h"
#include "app/WindowRunHost.h"
#include "plot/PlotService.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/SearchPump.h"

using namespace vx;
using namespace vx::app;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct RunWiringTest : ::testing::Test {
    vx::testing::WindowHarness h;
    Form1* form = nullptr;
    QString jobs;  // the rows' Path text

    void SetUp() override {
        for (const char* name : {"jobs/a.dwg", "jobs/b.dwg", "jobs/c.dwg"}) {
            h.Drawing(name);
        }
        form = &h.Start();
        h.Select(*form, h.tree.Path("jobs"));
        jobs = h.tree.Path("jobs") + QDir::separator();
        // Every keep-alive of the run lets the window's events through.
        form->Search().Pump().SetInterval(0);
        QCoreApplication::processEvents();  // the search's texts are on the screen
        h.cad.ClearCalls();
    }

    QPoint RowCenter(int row) const {
        return form->ListView1->visualRect(form->ListView1->Model().index(row, 0)).center();
    }
    QString Panel() const { return form->sbStatusBar->PanelText(1); }
};

TEST_F(RunWiringTest, PrintAllPlotsFromTheLastRowShowingEachStepAndComesToRest) {
    Form1& f = *form;
    vx::testing::PaintedTexts painted(f.Status);
    QStringList progress;  // the bar's value with panel 1's text
    QObject::connect(f.ProgressBar1, &QProgressBar::valueChanged,
                     [&](int v) { progress << QString::number(v) + " " + Panel(); });

    QTest::mouseClick(f.Command2, Qt::LeftButton);
    QCoreApplication::processEvents();

    EXPECT_THAT(h.cad.Plotted(), ElementsAre("c.dwg", "b.dwg", "a.dwg"));
    QStringList expected;
    for (const char* name : {"c.dwg", "b.dwg", "a.dwg"}) {
        const QString path = jobs + name;
        expected << "Opening Drawing " + path + " ..."
                 << "Printing Model Space from Drawing " + path + " ..."
                 << "Closing Drawing " + path + " ..."
                 << "3  Files Found  ";
    }
    // Painted while the run held the window: it kept the window alive.
    EXPECT_EQ(painted.texts, expected);
    EXPECT_EQ(progress, QStringList({"33 Processing ...", "0 Status", "66 Processing ...",
                                     "0 Status", "100 Processing ...", "0 Status"}));
    EXPECT_EQ(h.pointer.pointers.back(), Pointer::Default);
    // Opened read-only by the full path the row names, closed without saving.
    EXPECT_EQ(
        h.cad.CallsWith("Open(").front(),
        "Documents.Open(" + fake::Quote(search::ToFileSystemPath(jobs + "c.dwg")) + ", True)");
    EXPECT_THAT(h.cad.OpenDrawings(), ElementsAre("Drawing1.dwg"));
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

TEST_F(RunWiringTest, ThePopupsTwoRunsPlotTheSelectedRowsOrAllNamingTheFolder) {
    Form1& f = *form;
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, RowCenter(0));
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, Qt::ControlModifier, RowCenter(2));
    QTest::mousePress(f.ListView1->viewport(), Qt::RightButton, {}, RowCenter(2));
    ASSERT_TRUE(f.mnuPrint->isVisible());
    QTest::mouseClick(f.mnuPrint, Qt::LeftButton, {},
                      f.mnuPrint->actionGeometry(f.mnuPrintMultiple).center());
    EXPECT_THAT(h.cad.Plotted(), ElementsAre("c.dwg", "a.dwg"));

    QCoreApplication::processEvents();
    vx::testing::PaintedTexts painted(f.Status);
    f.mnuPrint->popup(f.mapToGlobal(QPoint(221, 100)));
    QTest::mouseClick(f.mnuPrint, Qt::LeftButton, {},
                      f.mnuPrint->actionGeometry(f.mnuAllPrint).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(h.cad.Plotted().size(), 5u);
    EXPECT_EQ(painted.texts.front(), "Printing All Drawings in " + h.tree.Path("jobs") + " ...");
}

TEST_F(RunWiringTest, TheActionButtonStopsTheRunBeforeItsNextDrawing) {
    Form1& f = *form;
    // Clicked once the first drawing is done (the bar is back at 0 after each drawing).
    vx::testing::OnProgress(f.ProgressBar1, 0, [&] { PostClick(f.cmdAction); });
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_THAT(h.cad.Plotted(), ElementsAre("c.dwg"));
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_EQ(Panel(), "Status");
    EXPECT_FALSE(f.Runs().Running());

    // The next run starts afresh; idle, the button stops nothing.
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_EQ(h.cad.Plotted().size(), 4u);
    QTest::mouseClick(f.cmdAction, Qt::LeftButton);
    EXPECT_FALSE(f.StopRequested);
}

TEST_F(RunWiringTest, ARunKeepsEveryOtherInputOut) {
    Form1& f = *form;
    // A click on the subfolder box, a digit in the copies box, a right click in the list,
    // a second run and the close box, all while the first drawing plots.
    auto userInput = [&] {
        PostClick(f.Check1, Qt::LeftButton, QPoint(6, f.Check1->height() / 2));
        PostKey(f.Text2, Qt::Key_7, Qt::NoModifier, "7");
        PostClick(f.ListView1->viewport(), Qt::RightButton, RowCenter(1));
        PostClick(f.Command2);
        QCoreApplication::postEvent(&f, new QCloseEvent);
    };
    vx::testing::OnProgress(f.ProgressBar1, 33, userInput);
    f.Text2->setFocus();
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    QCoreApplication::processEvents();

    EXPECT_EQ(h.cad.Plotted().size(), 3u);
    EXPECT_FALSE(f.Check1->isChecked());
    EXPECT_EQ(f.Text2->text(), "1");
    EXPECT_FALSE(f.mnuPrint->isVisible());
    EXPECT_TRUE(f.isVisible());

    // The same input once the run is over takes effect.
    PostKey(f.Text2, Qt::Key_7, Qt::NoModifier, "7");
    QCoreApplication::processEvents();
    EXPECT_EQ(f.Text2->text(), "17");
}

TEST_F(RunWiringTest, TheCopiesBoxTakesDigitsOnlyAndTheRunPlotsThatManyCopies) {
    Form1& f = *form;
    f.Text2->setFocus();
    f.Text2->selectAll();
    QTest::keyClicks(f.Text2, "3x");  // the letter is refused with a beep
    EXPECT_EQ(f.Text2->text(), "3");
    EXPECT_EQ(h.beep.beeps, 1);

    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_EQ(h.cad.Plots().at(0).copies, 3);
}

TEST_F(RunWiringTest, PrintLayoutsPlotsTheLayoutsOfDrawingsThatHaveThem) {
    h.Drawing("jobs/d.dwg").Layouts({"Sheet1", "Sheet2"});
    Form1& f = *form;
    h.Select(f, h.tree.Root());
    h.Select(f, h.tree.Path("jobs"));
    h.cad.ClearCalls();
    QTest::mouseClick(f.chkLayouts, Qt::LeftButton, {}, QPoint(6, f.chkLayouts->height() / 2));
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    std::vector<std::string> plotted;
    for (const auto& job : h.cad.Plots()) {
        plotted.push_back(job.document + ":" + job.layout);
    }
    EXPECT_THAT(plotted, ElementsAre("d.dwg:Sheet1", "d.dwg:Sheet2", "c.dwg:Model", "b.dwg:Model",
                                     "a.dwg:Model"));
}

TEST_F(RunWiringTest, ARunThatEndsTheProgramLeavesTheWindowAtRest) {
    Form1& f = *form;
    // The CAD application went away and none can be started again.
    f.Connection().CadApp = nullptr;
    h.cad.Running(false).CreateFails();
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_TRUE(f.Ended());
    EXPECT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.pointer.pointers.back(), Pointer::Default);
    EXPECT_EQ(Panel(), "Status");
}

TEST(RunHost, RowsAreHandedOnAsTheFileSystemsBytesAndAGrayedLayoutsBoxPlotsLayouts) {
    QWidget window;
    auto* list = new search::DrawingListView(&window);
    auto* status = new QLabel(&window);
    auto* layouts = new QCheckBox("Print Layouts", &window);
    auto* action = new QPushButton("S&top Search", &window);
    search::SearchPump pump{action};
    bool stop = false;
    vx::testing::RecordingPointer pointer;
    vx::testing::RecordingMessages messages;
    WindowRunHost host{{list, status, new PanelStatusBar(&window), new QProgressBar(&window),
                        layouts, new search::DirListBox(&window)},
                       stop,
                       pump,
                       pointer,
                       messages};
    vx::testing::TempTree t;
    t.RawFile("", "pl\xe4n.dwg");  // Latin-1, no valid UTF-8
    const std::string folder = search::ToFileSystemPath(t.Root()) + "/";
    list->Model().AddRow({search::FromFileSystemPath("pl\xe4n.dwg"),
                          search::FromFileSystemPath(folder), "", "0 KB", ""});
    layouts->setTristate(true);
    layouts->setCheckState(Qt::PartiallyChecked);
    const plot::PlotRequest r = host.Request(plot::kSelectedRun, {});
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(r.rows[0].path));
    EXPECT_FALSE(r.rows[0].take);  // not selected
    EXPECT_TRUE(r.layouts);

    host.SetStatus("\r\nOpening Drawing /a/b.dwg ...\rnext");
    EXPECT_EQ(status->text(), "\nOpening Drawing /a/b.dwg ...\nnext");
}

}  // namespace
