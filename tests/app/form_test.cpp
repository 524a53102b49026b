// The main window on the offscreen platform: load order, settings at unload, the exit
// rule, the status bar and progress bar, menus and popup, and the plot-choice lists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolTip>

#include "ShellHarness.h"
#include "app/About.h"
#include "app/ElidedLabel.h"
#include "app/Main.h"
#include "app/ShellRules.h"
#include "search/DirListBox.h"
#include "search/DrawingListView.h"
#include "search/DwgThumbnail.h"

using namespace vx;
using namespace vx::app;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

QStringList Texts(const QList<QAction*>& actions) {
    QStringList t;
    for (const QAction* a : actions) {
        t << a->text();
    }
    return t;
}

struct FormTest : ::testing::Test {
    vx::testing::ShellHarness h;

    void SetUp() override {
        h.cad.Devices({"None", "DWG To PDF.pc3", "Office Printer"})
            .Media({"ISO_A4_(210.00_x_297.00_MM)", "A3", "A2", "letter"})
            .Styles({"acad.ctb", "monochrome.ctb"});
    }
    Form1& Start() {
        Form1& f = h.MakeForm();
        EXPECT_TRUE(Main(f));
        return f;
    }
    int MediaCalls() const { return int(h.cad.CallsWith("GetCanonicalMediaNames").size()); }
};

TEST_F(FormTest, LoadFillsTheListsThroughTheFolderChangeThenConnectsAndSetsUpTheWindow) {
    Form1& f = h.MakeForm();
    f.Form_Load();
    // The program's folder raises the change event, which fills the lists and connects on
    // the way; the load connects once more after it.
    EXPECT_EQ(f.Dir1->Path(), QDir::toNativeSeparators(h.programFolder));
    const auto& calls = h.cad.Calls();
    auto styles = std::find(calls.begin(), calls.end(), "Layout[Model].GetPlotStyleTableNames()");
    ASSERT_NE(styles, calls.end());
    EXPECT_EQ(calls.front(), "GetObject(AutoCAD.Application)");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetObject(AutoCAD.Application)"), 2);
    EXPECT_EQ(*(styles + 1), "GetObject(AutoCAD.Application)");
    EXPECT_EQ(f.cmbPrinter->count(), 3);
    EXPECT_EQ(f.CmbPaper->count(), 6);
    EXPECT_EQ(f.cmbPrinter->currentText() + "|" + f.CmbPaper->currentText() + "|" +
                  f.CmbCTB->currentText(),
              "Select a Printer|Select a Paper|Select Plot Style Table");
    EXPECT_EQ(f.Status->text(),
              "\nClick \"Select a Folder\" Button or use the Directroy list to Select your "
              "drawing's Folder.");
    EXPECT_FALSE(f.Command2->isEnabled());
    EXPECT_EQ(f.HelpFile, QDir::toNativeSeparators(h.programFolder + "/help.chm"));
    EXPECT_EQ(f.pos(), QPoint(67, 67));
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(Main(f));
    EXPECT_TRUE(f.isVisible());
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

TEST_F(FormTest, StoredChoicesStayUntilTheListsAreFilled) {
    h.settings.Put("CadPrinter", "Old Plotter");
    h.settings.Put("CadPaper", "Old Paper");
    // In the current folder the directory list does not change: nothing fills the lists.
    h.programFolder = QDir::currentPath();
    Form1& f = h.MakeForm();
    f.Form_Load();
    const auto& c = f.Choices();
    EXPECT_EQ(c.StrPrinter + "|" + c.StrPaper + "|" + c.StrCTB, "Old Plotter|Old Paper|0");
    EXPECT_EQ(f.cmbPrinter->currentText() + "|" + f.CmbPaper->currentText() + "|" +
                  f.CmbCTB->currentText(),
              "Select A Printer|Select Paper Size|Select Ctb File");
    EXPECT_THAT(h.cad.CallsWith("GetPlotDeviceNames"), IsEmpty());
    EXPECT_THAT(h.cad.CallsWith("GetObject"), ElementsAre("GetObject(AutoCAD.Application)"));
    f.Dir1_Click();
    EXPECT_EQ(f.Choices().StrPrinter, "Select a Printer");
    EXPECT_EQ(f.cmbPrinter->count(), 3);
}

TEST_F(FormTest, AProgramInARootFolderGetsNoSecondSeparator) {
    h.programFolder = QDir::rootPath();
    h.MakeForm().Form_Load();
    EXPECT_EQ(h.form->Dir1->Path(), QDir::toNativeSeparators(QDir::rootPath()));
}

TEST_F(FormTest, StartingTheCadApplicationHidesTheWindowUntilItRuns) {
    h.cad.Running(false);
    Form1& f = h.MakeForm();
    vx::testing::EventCount events(f);
    f.Form_Load();
    EXPECT_TRUE(f.Connection().CadStartedHere);
    EXPECT_EQ(h.cad.StartCount(), 1);
    // Not visible yet when the start hid it; shown once the CAD application runs.
    EXPECT_EQ(events.Of(QEvent::Show), 1);
    EXPECT_EQ(events.Of(QEvent::Hide), 0);
    EXPECT_TRUE(f.isVisible());
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

TEST_F(FormTest, SettingsAtUnload) {
    struct Row {
        const char* name;
        bool minimized;
        const char* stored;
    };
    // An emptied choice is not written; a minimized window writes nothing.
    for (const Row& r : {Row{"moved", false,
                             "MainLeft=1500|MainTop=750|CadPrinter=DWG To PDF.pc3|CadPaper=A4|"
                             "CadCTB=stored.ctb"},
                         Row{"minimized", true,
                             "MainLeft=3000|MainTop=<missing>|CadPrinter=<missing>|"
                             "CadPaper=<missing>|CadCTB=stored.ctb"}}) {
        SCOPED_TRACE(r.name);
        vx::testing::ShellHarness s;
        s.cad.Devices({"None", "DWG To PDF.pc3"})
            .Media({"ISO_A4_(210.00_x_297.00_MM)", "A3", "A2", "letter"})
            .Styles({"acad.ctb"});
        s.settings.Put("MainLeft", "3000");
        s.settings.Put("CadCTB", "stored.ctb");
        Form1& f = s.MakeForm();
        ASSERT_TRUE(Main(f));
        f.cmbPrinter->setCurrentIndex(1);
        f.CmbPaper->setCurrentIndex(2);  // the refill put A4 third
        f.CmbCTB->setEditText("");
        EXPECT_EQ(f.Choices().StrCTB, "");
        f.move(100, 50);
        if (r.minimized) {
            f.showMinimized();
            ASSERT_TRUE(f.isMinimized());
        }
        f.close();
        EXPECT_EQ(s.settings.Stored({"MainLeft", "MainTop", "CadPrinter", "CadPaper", "CadCTB"}),
                  r.stored);
    }
}

TEST_F(FormTest, AWindowOffEveryScreenIsPulledBackAndSavedWhereItNowIs) {
    h.settings.Put("MainLeft", "-3000000");
    h.settings.Put("MainTop", "90000");
    Form1& f = Start();
    const QPoint at = f.pos();
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(at));
    f.close();
    EXPECT_EQ(h.settings.Stored({"MainLeft", "MainTop"}),
              QString("MainLeft=%1|MainTop=%2").arg(at.x() * 15).arg(at.y() * 15));
}

TEST_F(FormTest, ExitWithTheCadApplicationRunningClosesItsDrawingsAndLeavesItRunning) {
    h.cad.OpenNow("/jobs/user.dwg");
    h.cad.OpenNow("/jobs/changed.dwg").Modified();
    Form1& f = Start();
    h.cad.ClearCalls();
    f.mnuFileExit->trigger();
    EXPECT_FALSE(f.isVisible());
    EXPECT_THAT(h.cad.CallsWith("Close("), ElementsAre("Document[user.dwg].Close(False)"));
    // The drawing with the user's unsaved changes stays open.
    EXPECT_THAT(h.cad.OpenDrawings(), ElementsAre("changed.dwg"));
    EXPECT_THAT(h.cad.CallsWith("Quit"), IsEmpty());
    EXPECT_TRUE(h.cad.IsRunning());
    EXPECT_EQ(h.settings.Stored("MainLeft"), "1000");
    EXPECT_THAT(h.help.calls, ElementsAre("CloseAll()"));
}

TEST_F(FormTest, ClosingWithTheCadApplicationStartedHereQuitsIt) {
    h.cad.Running(false);
    h.cad.Drawing("/jobs/a.dwg");
    Form1& f = Start();
    ASSERT_TRUE(f.Connection().CadStartedHere);
    f.Connection().CadApp->Documents()->Open("/jobs/a.dwg", true);
    h.cad.ClearCalls();
    f.close();
    EXPECT_FALSE(f.isVisible());
    EXPECT_THAT(h.cad.CallsWith("Close("),
                ElementsAre("Document[Drawing1.dwg].Close(False)", "Document[a.dwg].Close(False)"));
    EXPECT_THAT(h.cad.CallsWith("Quit"), ElementsAre("Application.Quit()"));
    EXPECT_FALSE(h.cad.IsRunning());
    EXPECT_FALSE(f.Connection().CadApp);
    EXPECT_EQ(h.settings.Stored("MainTop"), "1000");
}

TEST_F(FormTest, ACadApplicationThatNoLongerAnswersDoesNotStopTheExit) {
    h.cad.Running(false);
    Form1& f = Start();
    h.cad.FailOn("Application.Documents", "The RPC server is unavailable");
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    EXPECT_FALSE(f.isVisible());
    EXPECT_THAT(h.cad.CallsWith("Quit"), ElementsAre("Application.Quit()"));
    EXPECT_EQ(h.settings.Stored("CadPrinter"), "Select a Printer");
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

TEST_F(FormTest, TheProgressBarLiesOverPanelTwoWithAThreePixelMargin) {
    Form1& f = Start();
    PanelStatusBar* sb = f.sbStatusBar;
    QProgressBar* bar = f.ProgressBar1;
    ASSERT_EQ(bar->parentWidget(), sb);
    EXPECT_EQ(f.ProgressPlacement().ProgressBarHost, f.centralWidget());
    auto placed = [&] {
        const QRect panel = sb->PanelRect(2);
        EXPECT_EQ(panel.width(), sb->logicalDpiX());
        EXPECT_EQ(bar->geometry(), QRect(panel.left() + 3, 3, panel.width() - 6, sb->height() - 6));
    };
    placed();
    EXPECT_EQ(sb->PanelRect(3).width(), sb->logicalDpiX());
    EXPECT_GT(sb->PanelRect(1).width(), sb->PanelRect(2).width());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(QString("%1-%2 at %3").arg(bar->minimum()).arg(bar->maximum()).arg(bar->value()),
              "0-100 at 0");
    EXPECT_EQ(sb->PanelText(1), "Status");
    EXPECT_EQ(bar->toolTip(), "Total Progress of Drawings being printed");

    // A second placement changes nothing; the bar follows its panel when the window grows.
    auto& placement = const_cast<ProgressBarPlacement&>(f.ProgressPlacement());
    PlaceProgressBar(placement, *bar, *sb, 1, 10);
    EXPECT_EQ(placement.panel, 2);
    f.resize(f.width() + 200, f.height());
    QCoreApplication::processEvents();
    placed();

    // At unload the bar goes back where it came from.
    f.close();
    EXPECT_EQ(bar->parentWidget(), f.centralWidget());
    EXPECT_FALSE(f.ProgressPlacement().Placed());
}

TEST_F(FormTest, TheStatusBarItemHidesAndShowsTheBarWithItsProgressBar) {
    Form1& f = Start();
    const QRect placed = f.ProgressBar1->geometry();
    for (bool on : {false, true}) {
        f.mnuViewStatusBar->trigger();
        EXPECT_EQ(f.mnuViewStatusBar->isChecked(), on);
        EXPECT_EQ(f.sbStatusBar->isVisible(), on);
        EXPECT_EQ(f.ProgressBar1->isVisible(), on);
    }
    EXPECT_EQ(f.ProgressBar1->geometry(), placed);
}

TEST_F(FormTest, TheClientAreaIs624By398AndOnlyTheFolderTreeBoxIsReplacedOnResize) {
    Form1& f = Start();
    EXPECT_EQ(f.windowTitle(), "Vormex - AutoCAD Sheafrun Utility");
    EXPECT_EQ(f.centralWidget()->width(), 624);
    EXPECT_EQ(f.centralWidget()->height() + f.sbStatusBar->height(), 398);
    EXPECT_EQ(f.centralWidget()->y(), f.menuBar()->height());
    const QRect list = f.ListView1->geometry();
    const QSize tree = f.PicBrowse->size();
    f.PicBrowse->move(40, 40);
    f.resize(800, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.PicBrowse->geometry(), QRect(QPoint(8, 8), tree));
    EXPECT_EQ(f.ListView1->geometry(), list);
}

TEST_F(FormTest, EveryControlCarriesItsCaptionAndToolTip) {
    Form1& f = h.MakeForm();  // as designed: before the load and the first search
    auto text = [](QWidget* w) -> QString {
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            return b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w))
            return g->title();
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            return e->text();
        return {};
    };
    struct Expect {
        QWidget* w;
        QString caption;
        QString tip;
    };
    const std::vector<Expect> table = {
        {f.Dir1, "", "Directory List - double click to select"},
        {f.Text1, "*.DWG", ""},
        {f.cmdAction, "S&top Search", "To Stop the search, Press this button"},
        {f.Command2, "Print All &Drawing", "Click This button to Print All the Listed drawings"},
        {f.Command3, "&Exit", "Press exit to Quit the Program"},
        {f.Frame2, "Print Options", ""},
        {f.Text2, "1", ""},
        {f.Label2, "Number of Copies", ""},
        {f.Options, "Search Options", ""},
        {f.Check1, "Include Sub Directories", "Slect this Option to Search in Subfolders"},
        {f.chkLayouts, "Print Layouts", "Select this option to Print Layouts only"},
        {f.Frame3, "Preview", "If your drawing has a preview it will be shown here"},
        {f.ListView1, "", "Right click on Single or Multiple drawings to Print"},
        {f.Label1, "Found Files:", ""},
        {f.Status, f.Status->text(), "This Area will show the actual Function being carried on"},
        {f.cmbPrinter, "", "Choose a printer from the list"},
        {f.CmbPaper, "", "Choose a Paper size from the List"},
        {f.CmbCTB, "", "Choose the Pen style table file"},
    };
    for (const auto& [w, caption, tip] : table) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_EQ(text(w), caption);
        EXPECT_EQ(w->toolTip(), tip);
    }
    EXPECT_EQ(f.DwgThumbnail1->parentWidget(), f.Frame3);
    EXPECT_EQ(f.DwgThumbnail1->geometry(), QRect(8, 16, 193, 105));
    for (QWidget* w : std::vector<QWidget*>{f.cmbPrinter, f.Text2, f.chkLayouts}) {
        EXPECT_EQ(w->parentWidget(), f.Frame2);
    }
}

TEST_F(FormTest, AFoundFilesTextTooLongForTheWindowIsCutAtItsEndAndWholeInItsToolTip) {
    Form1& f = Start();
    auto* label = qobject_cast<ElidedLabel*>(f.Label1);
    ASSERT_NE(label, nullptr);
    const QString full = "Found following files in /" + QString("deeper/").repeated(30) +
                         " Use shift key to select multiple files";
    label->setText(full);
    EXPECT_EQ(label->text(), full);
    EXPECT_TRUE(label->ShownText().startsWith("Found following files in /deeper/"));
    EXPECT_TRUE(label->ShownText().endsWith(QChar(0x2026)));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->ShownText()), label->width());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(label, &help);
    EXPECT_EQ(QToolTip::text(), full);
    QToolTip::hideText();
    label->setText("Found Files:");
    EXPECT_FALSE(label->Elided());
    EXPECT_EQ(label->ShownText(), "Found Files:");
}

TEST_F(FormTest, TheMenuBarHoldsFileViewAndHelpAndThePrintMenuIsOnlyAPopup) {
    Form1& f = Start();
    EXPECT_EQ(Texts(f.menuBar()->actions()), QStringList({"&File", "&View", "&Help"}));
    EXPECT_EQ(Texts(f.MnuFile->actions()), QStringList({"Select All Drawings Listed", "E&xit"}));
    EXPECT_EQ(Texts(f.mnuView->actions()), QStringList({"Status &Bar"}));
    EXPECT_TRUE(f.mnuViewStatusBar->isCheckable());
    EXPECT_EQ(Texts(f.mnuHelp->actions()), QStringList({"Vormex &Help", "&About "}));
    EXPECT_EQ(f.mnuPrint->title(), "&Print");
    EXPECT_EQ(Texts(f.mnuPrint->actions()),
              QStringList({"&Print All Drawings", "Print &Selected Drawings"}));
    EXPECT_FALSE(f.menuBar()->actions().contains(f.mnuPrint->menuAction()));

    // Select All Drawings Listed selects every row.
    f.ListView1->Model().Clear();
    for (const char* name : {"a.dwg", "b.dwg", "c.dwg"}) {
        f.ListView1->Model().AddRow({name, "/jobs/", "", "0 KB", ""});
    }
    f.MnuSelectAll->trigger();
    EXPECT_EQ(f.ListView1->selectionModel()->selectedRows().size(), 3);
}

TEST_F(FormTest, ARightClickOnTheBackgroundOpensThePrintPopupAndOnAControlItDoesNot) {
    Form1& f = Start();
    QWidget* client = f.centralWidget();
    const QPoint background(221, 100);  // between the directory list and the drawing list
    ASSERT_EQ(client->childAt(background), nullptr);
    const std::vector<std::pair<QWidget*, QPoint>> rightClicks = {
        {f.Command3, QPoint()}, {f.Label1, QPoint()}, {f.Frame2, QPoint(200, 140)}};
    QTest::mouseClick(client, Qt::LeftButton, {}, background);
    EXPECT_FALSE(f.mnuPrint->isVisible());
    for (const auto& [w, at] : rightClicks) {
        QTest::mouseClick(w, Qt::RightButton, {}, at);
        EXPECT_FALSE(f.mnuPrint->isVisible()) << w->objectName().toStdString();
    }
    EXPECT_TRUE(f.isVisible());  // the right click on Exit did not exit
    QTest::mouseClick(client, Qt::RightButton, {}, background);
    EXPECT_TRUE(f.mnuPrint->isVisible());
    f.mnuPrint->close();
}

TEST_F(FormTest, TheAboutBoxIsModelessAndClosedWithTheWindow) {
    Form1& f = Start();
    f.mnuHelpAbout->trigger();
    f.mnuHelpAbout->trigger();
    ASSERT_EQ(f.OpenWindows().size(), 2);
    ASSERT_NE(qobject_cast<frmAbout*>(f.OpenWindows().front()), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QPointer<QWidget> first = f.OpenWindows().front();
    QPointer<QWidget> second = f.OpenWindows().back();
    f.close();
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    EXPECT_TRUE(second.isNull() || !second->isVisible());
}

TEST_F(FormTest, AChosenDeviceRefillsThePaperListOnceAndEachKeyTwiceButNotThePlaceholder) {
    Form1& f = Start();
    h.cad.ClearCalls();
    f.cmbPrinter->setCurrentIndex(2);
    EXPECT_EQ(f.Choices().StrPrinter, "Office Printer");
    EXPECT_EQ(f.CmbPaper->itemText(2), "A4");  // the refill's own order of the fixed names
    EXPECT_EQ(MediaCalls(), 1);

    f.cmbPrinter->setEditText("");
    h.cad.ClearCalls();
    QTest::keyClicks(f.cmbPrinter->lineEdit(), "P");
    EXPECT_EQ(f.Choices().StrPrinter, "P");
    EXPECT_EQ(MediaCalls(), 2);  // key-down saw "", the change saw "P"

    // Typing the placeholder back leaves the paper list alone.
    h.cad.ClearCalls();
    f.CmbPaper->addItem("marker");
    f.cmbPrinter->setEditText("Select a Printer");
    EXPECT_EQ(f.Choices().StrPrinter, "Select a Printer");
    EXPECT_EQ(MediaCalls(), 0);
    EXPECT_EQ(f.CmbPaper->itemText(f.CmbPaper->count() - 1), "marker");

    // Arrow keys in a list act as clicks.
    f.CmbCTB->setCurrentIndex(0);
    QTest::keyClick(f.CmbCTB->lineEdit(), Qt::Key_Down);
    EXPECT_EQ(f.Choices().StrCTB, "monochrome.ctb");
}

TEST_F(FormTest, ACadFailureInAListEventIsShownAndTheWindowGoesOn) {
    Form1& f = Start();
    h.cad.FailOn("Layout.RefreshPlotDeviceInfo", "Plot device not available");
    f.cmbPrinter->setCurrentIndex(1);
    EXPECT_EQ(vx::testing::Shown(h.messages),
              QStringList({"Vormex|Critical|Plot device not available"}));
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.Choices().StrPrinter, "DWG To PDF.pc3");
}

}  // namespace
