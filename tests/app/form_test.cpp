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
#include <QTest>
#include <QToolTip>

#include "ShellHarness.h"
#include "app/ElidedLabel.h"
#include "app/Main.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"
#include "search/widgets/DwgThumbnail.h"

using namespace vx;
using namespace vx::app;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

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
    static QString ListTexts(const Form1& f) {
        return f.cmbPrinter->currentText() + "|" + f.CmbPaper->currentText() + "|" +
               f.CmbCTB->currentText();
    }
};

TEST_F(FormTest, LoadFillsTheListsThroughTheFolderChangeThenConnectsAndSetsUpTheWindow) {
    Form1& f = h.MakeForm();
    f.Form_Load();
    // The program's folder raises the change event, which fills the lists and connects on
    // the way; the load connects once more after it.
    const auto& calls = h.cad.Calls();
    auto styles = std::find(calls.begin(), calls.end(), "Layout[Model].GetPlotStyleTableNames()");
    ASSERT_NE(styles, calls.end());
    EXPECT_EQ(calls.front(), "GetObject(AutoCAD.Application)");
    EXPECT_EQ(*(styles + 1), "GetObject(AutoCAD.Application)");
    EXPECT_EQ(ListTexts(f), "Select a Printer|Select a Paper|Select Plot Style Table");
    EXPECT_EQ(f.Status->text(),
              "\nClick \"Select a Folder\" Button or use the Directroy list to Select your "
              "drawing's Folder.");
    EXPECT_EQ(f.pos(), QPoint(67, 67));
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(Main(f));
    EXPECT_TRUE(f.isVisible());
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

TEST_F(FormTest, StoredChoicesStayUntilTheListsAreFilledAndARootFolderGetsNoSecondSeparator) {
    h.settings.Put("CadPrinter", "Old Plotter");
    // In the current folder the directory list does not change: nothing fills the lists.
    h.programFolder = QDir::currentPath();
    Form1& f = h.MakeForm();
    f.Form_Load();
    EXPECT_EQ(f.Choices().StrPrinter, "Old Plotter");
    EXPECT_EQ(ListTexts(f), "Select A Printer|Select Paper Size|Select Ctb File");
    f.Dir1_Click();
    EXPECT_EQ(f.Choices().StrPrinter, "Select a Printer");

    vx::testing::ShellHarness root;
    root.programFolder = QDir::rootPath();
    root.MakeForm().Form_Load();
    EXPECT_EQ(root.form->Dir1->Path(), QDir::toNativeSeparators(QDir::rootPath()));
}

TEST_F(FormTest, SettingsAtUnload) {
    // An emptied choice is not written; a minimized window writes nothing.
    for (bool minimized : {false, true}) {
        vx::testing::ShellHarness s;
        s.cad.Devices({"None", "DWG To PDF.pc3"}).Media({"ISO_A4_(210.00_x_297.00_MM)", "A3"});
        s.settings.Put("MainLeft", "3000");
        s.settings.Put("CadCTB", "stored.ctb");
        Form1& f = s.MakeForm();
        ASSERT_TRUE(Main(f));
        f.cmbPrinter->setCurrentIndex(1);
        f.CmbPaper->setCurrentIndex(2);  // the refill put A4 third
        f.CmbCTB->setEditText("");
        f.move(100, 50);
        if (minimized) {
            f.showMinimized();
        }
        f.close();
        EXPECT_EQ(s.settings.Stored({"MainLeft", "MainTop", "CadPrinter", "CadPaper", "CadCTB"}),
                  minimized ? "MainLeft=3000|MainTop=<missing>|CadPrinter=<missing>|"
                              "CadPaper=<missing>|CadCTB=stored.ctb"
                            : "MainLeft=1500|MainTop=750|CadPrinter=DWG To PDF.pc3|CadPaper=A4|"
                              "CadCTB=stored.ctb");
    }
}

TEST_F(FormTest, ExitLeavesARunningCadApplicationAndItsChangedDrawingsButQuitsOneStartedHere) {
    h.cad.OpenNow("/jobs/user.dwg");
    h.cad.OpenNow("/jobs/changed.dwg").Modified();
    Form1& f = Start();
    f.mnuFileExit->trigger();
    EXPECT_THAT(h.cad.OpenDrawings(), ElementsAre("changed.dwg"));
    EXPECT_TRUE(h.cad.IsRunning());
    EXPECT_THAT(h.help.calls, ElementsAre("CloseAll()"));

    vx::testing::ShellHarness s;
    s.cad.Running(false).Drawing("/jobs/a.dwg");
    Form1& g = s.MakeForm();
    ASSERT_TRUE(Main(g));
    g.Connection().CadApp->Documents()->Open("/jobs/a.dwg", true);
    s.cad.ClearCalls();
    g.close();
    EXPECT_THAT(s.cad.CallsWith("Close("),
                ElementsAre("Document[Drawing1.dwg].Close(False)", "Document[a.dwg].Close(False)"));
    EXPECT_THAT(s.cad.CallsWith("Quit"), ElementsAre("Application.Quit()"));
    EXPECT_FALSE(s.cad.IsRunning());
}

TEST_F(FormTest, ACadApplicationThatNoLongerAnswersDoesNotStopTheExit) {
    h.cad.Running(false);
    Form1& f = Start();
    h.cad.FailOn("Application.Documents", "The RPC server is unavailable");
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    EXPECT_THAT(h.cad.CallsWith("Quit"), ElementsAre("Application.Quit()"));
    EXPECT_EQ(h.settings.Stored({"CadPrinter"}), "CadPrinter=Select a Printer");
}

TEST_F(FormTest, TheWindowsGeometryAndTheProgressBarOverPanelTwo) {
    Form1& f = Start();
    EXPECT_EQ(f.windowTitle(), "Vormex - AutoCAD Sheafrun Utility");
    EXPECT_EQ(f.centralWidget()->width(), 624);
    EXPECT_EQ(f.centralWidget()->height() + f.sbStatusBar->height(), 398);
    PanelStatusBar* sb = f.sbStatusBar;
    QProgressBar* bar = f.ProgressBar1;
    EXPECT_EQ(sb->PanelText(1), "Status");
    EXPECT_EQ(bar->toolTip(), "Total Progress of Drawings being printed");
    // The bar follows its panel, 3 pixels inside, when the window grows; only the folder
    // tree's box is put back in place.
    const QSize tree = f.PicBrowse->size();
    f.PicBrowse->move(40, 40);
    f.resize(f.width() + 200, f.height());
    QCoreApplication::processEvents();
    const QRect panel = sb->PanelRect(2);
    EXPECT_EQ(panel.width(), sb->logicalDpiX());
    EXPECT_EQ(bar->geometry(), QRect(panel.left() + 3, 3, panel.width() - 6, sb->height() - 6));
    EXPECT_EQ(f.PicBrowse->geometry(), QRect(QPoint(8, 8), tree));
    f.mnuViewStatusBar->trigger();
    EXPECT_FALSE(bar->isVisible());
    f.mnuViewStatusBar->trigger();
    EXPECT_TRUE(bar->isVisible());
    // At unload the bar goes back where it came from.
    f.close();
    EXPECT_EQ(bar->parentWidget(), f.centralWidget());
}

TEST_F(FormTest, EveryControlCarriesItsCaptionAndToolTip) {
    Form1& f = h.MakeForm();      // as designed: before the load and the first search
    auto text = [](QWidget* w) {  // buttons, labels and boxes: text; frames: title
        const QVariant t = w->property("text");
        return t.isValid() ? t.toString() : w->property("title").toString();
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
    EXPECT_EQ(f.DwgThumbnail1->geometry(), QRect(8, 16, 193, 105));
}

TEST_F(FormTest, AFoundFilesTextTooLongForTheWindowIsCutAtItsEndAndWholeInItsToolTip) {
    Form1& f = Start();
    auto* label = qobject_cast<ElidedLabel*>(f.Label1);
    ASSERT_NE(label, nullptr);
    const QString full = "Found following files in /" + QString("deeper/").repeated(30);
    label->setText(full);
    EXPECT_TRUE(label->ShownText().endsWith(QChar(0x2026)));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->ShownText()), label->width());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(label, &help);
    EXPECT_EQ(QToolTip::text(), full);
    QToolTip::hideText();
}

TEST_F(FormTest, TheMenusThePrintPopupOnTheBackgroundOnlyAndTheModelessAboutBox) {
    Form1& f = Start();
    QStringList menus;
    for (QMenu* m : {f.MnuFile, f.mnuView, f.mnuHelp, f.mnuPrint}) {
        menus << m->title();
        for (const QAction* a : m->actions()) {
            menus << a->text();
        }
    }
    EXPECT_EQ(menus.join('|'),
              "&File|Select All Drawings Listed|E&xit|&View|Status &Bar|&Help|"
              "Vormex &Help|&About |&Print|&Print All Drawings|"
              "Print &Selected Drawings");
    EXPECT_FALSE(f.menuBar()->actions().contains(f.mnuPrint->menuAction()));

    QWidget* client = f.centralWidget();
    const QPoint background(221, 100);  // between the directory list and the drawing list
    ASSERT_EQ(client->childAt(background), nullptr);
    QTest::mouseClick(f.Command3, Qt::RightButton);
    EXPECT_FALSE(f.mnuPrint->isVisible());
    EXPECT_TRUE(f.isVisible());  // the right click on Exit did not exit
    QTest::mouseClick(client, Qt::RightButton, {}, background);
    EXPECT_TRUE(f.mnuPrint->isVisible());
    f.mnuPrint->close();

    f.HelpMain->trigger();  // the help file beside the program
    EXPECT_EQ(h.help.calls.at(0),
              "DisplayTopic(" +
                  QDir::toNativeSeparators(h.programFolder + "/help.chm").toStdString() + ")");
    // The About box is modeless and closed with the window.
    f.mnuHelpAbout->trigger();
    ASSERT_EQ(f.OpenWindows().size(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QPointer<QWidget> about = f.OpenWindows().front();
    f.close();
    EXPECT_TRUE(about.isNull() || !about->isVisible());
}

TEST_F(FormTest, AChosenDeviceRefillsThePaperListOnceAndEachKeyTwiceButNotThePlaceholder) {
    Form1& f = Start();
    h.cad.ClearCalls();
    f.cmbPrinter->setCurrentIndex(2);
    EXPECT_EQ(f.CmbPaper->itemText(2), "A4");  // the refill's own order of the fixed names
    EXPECT_EQ(MediaCalls(), 1);

    f.cmbPrinter->setEditText("");
    h.cad.ClearCalls();
    QTest::keyClicks(f.cmbPrinter->lineEdit(), "P");
    EXPECT_EQ(MediaCalls(), 2);  // key-down saw "", the change saw "P"

    h.cad.ClearCalls();
    f.cmbPrinter->setEditText("Select a Printer");
    EXPECT_EQ(MediaCalls(), 0);
}

TEST_F(FormTest, ACadFailureInAListEventIsShownAndTheWindowGoesOn) {
    Form1& f = Start();
    h.cad.FailOn("Layout.RefreshPlotDeviceInfo", "Plot device not available");
    f.cmbPrinter->setCurrentIndex(1);
    EXPECT_EQ(vx::testing::Shown(h.messages),
              QStringList({"Vormex|Critical|Plot device not available"}));
    EXPECT_TRUE(f.isVisible());
}

}  // namespace
