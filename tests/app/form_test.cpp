// The main window on the offscreen platform: load order, settings at unload, the exit
// rule, the status bar and progress bar, menus and popup, and the plot-choice lists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
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
#include "cad/PlotLists.h"
#include "search/DirListBox.h"
#include "search/DrawingListView.h"
#include "search/DwgThumbnail.h"

using namespace vx;
using namespace vx::app;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

QStringList Texts(const QList<QAction*>& actions) {
    QStringList t;
    for (const QAction* a : actions) {
        t << a->text();
    }
    return t;
}

QStringList Items(const QComboBox* c) {
    QStringList t;
    for (int i = 0; i < c->count(); ++i) {
        t << c->itemText(i);
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
};

// ---------------------------------------------------------------------------------------
// Start-up

TEST_F(FormTest, LoadFillsTheListsThroughTheFolderChangeThenConnectsAndSetsUpTheWindow) {
    Form1& f = h.MakeForm();
    f.Form_Load();
    // Step 4: the program's folder raises the change event, which fills the lists and
    // connects on the way; step 5 connects once more.
    EXPECT_EQ(f.Dir1->Path(), QDir::toNativeSeparators(h.programFolder));
    const auto& calls = h.cad.Calls();
    auto styles = std::find(calls.begin(), calls.end(), "Layout[Model].GetPlotStyleTableNames()");
    ASSERT_NE(styles, calls.end());
    EXPECT_EQ(calls.front(), "GetObject(AutoCAD.Application)");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetObject(AutoCAD.Application)"), 2);
    EXPECT_EQ(*(styles + 1), "GetObject(AutoCAD.Application)");

    // The lists filled (their order: the lists' own tests), with the placeholders shown.
    EXPECT_EQ(Items(f.cmbPrinter), QStringList({"None", "DWG To PDF.pc3", "Office Printer"}));
    EXPECT_EQ(f.CmbPaper->count(), 6);
    EXPECT_EQ(f.cmbPrinter->currentText(), "Select a Printer");
    EXPECT_EQ(f.CmbPaper->currentText(), "Select a Paper");
    EXPECT_EQ(f.CmbCTB->currentText(), "Select Plot Style Table");

    // Step 6, the list's columns: the list view's own tests.
    // Steps 8 to 10.
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
    // The program lies in the current folder: the directory list does not change, so
    // nothing fills the lists at load.
    h.programFolder = QDir::currentPath();
    Form1& f = h.MakeForm();
    f.Form_Load();
    EXPECT_EQ(f.Choices().StrPrinter, "Old Plotter");
    EXPECT_EQ(f.Choices().StrPaper, "Old Paper");
    EXPECT_EQ(f.Choices().StrCTB, "0");
    EXPECT_EQ(f.cmbPrinter->currentText(), "Select A Printer");
    EXPECT_EQ(f.CmbPaper->currentText(), "Select Paper Size");
    EXPECT_EQ(f.CmbCTB->currentText(), "Select Ctb File");
    EXPECT_THAT(h.cad.CallsWith("GetPlotDeviceNames"), IsEmpty());
    EXPECT_THAT(h.cad.CallsWith("GetObject"), ElementsAre("GetObject(AutoCAD.Application)"));

    // A click in the directory list fills them, and the placeholders replace the choices.
    f.Dir1_Click();
    EXPECT_EQ(f.Choices().StrPrinter, "Select a Printer");
    EXPECT_EQ(f.cmbPrinter->count(), 3);
}

TEST_F(FormTest, AProgramInARootFolderGetsNoSecondSeparator) {
    h.programFolder = QDir::rootPath();
    Form1& f = h.MakeForm();
    f.Form_Load();
    EXPECT_EQ(f.Dir1->Path(), QDir::toNativeSeparators(QDir::rootPath()));
}

TEST_F(FormTest, StartingTheCadApplicationHidesTheWindowUntilItRuns) {
    h.cad.Running(false);
    Form1& f = h.MakeForm();
    vx::testing::EventCount events(f);
    f.Form_Load();
    EXPECT_TRUE(f.Connection().CadStartedHere);
    EXPECT_EQ(h.cad.StartCount(), 1);
    // Shown again once the CAD application was started; it was not visible yet when the
    // start hid it.
    EXPECT_EQ(events.Of(QEvent::Show), 1);
    EXPECT_EQ(events.Of(QEvent::Hide), 0);
    EXPECT_TRUE(f.isVisible());
    EXPECT_THAT(h.messages.shown, IsEmpty());
}

// ---------------------------------------------------------------------------------------
// Settings at unload

TEST_F(FormTest, ChosenEntriesAndAMovedWindowAreWrittenButAnEmptiedChoiceIsNot) {
    h.settings.Put("CadCTB", "stored.ctb");
    Form1& f = Start();
    f.cmbPrinter->setCurrentIndex(1);
    f.CmbPaper->setCurrentIndex(2);
    f.CmbCTB->setEditText("");
    EXPECT_EQ(f.Choices().StrCTB, "");
    f.move(100, 50);
    f.close();
    EXPECT_EQ(h.settings.Stored("MainLeft"), "1500");
    EXPECT_EQ(h.settings.Stored("MainTop"), "750");
    EXPECT_EQ(h.settings.Stored("CadPrinter"), "DWG To PDF.pc3");
    EXPECT_EQ(h.settings.Stored("CadPaper"), "A4");  // the refill put A4 third
    EXPECT_EQ(h.settings.Stored("CadCTB"), "stored.ctb");
}

TEST_F(FormTest, ClosingWhileMinimizedWritesNothing) {
    h.settings.Put("MainLeft", "3000");
    h.settings.Put("CadCTB", "stored.ctb");
    Form1& f = Start();
    f.CmbCTB->setCurrentIndex(0);
    f.showMinimized();
    ASSERT_TRUE(f.isMinimized());
    f.close();
    EXPECT_EQ(h.settings.Stored("MainLeft"), "3000");
    EXPECT_EQ(h.settings.Stored("MainTop"), "<missing>");
    EXPECT_EQ(h.settings.Stored("CadCTB"), "stored.ctb");
    EXPECT_EQ(h.settings.Stored("CadPrinter"), "<missing>");
}

TEST_F(FormTest, AWindowOffEveryScreenIsPulledBackAndSavedWhereItNowIs) {
    h.settings.Put("MainLeft", "-3000000");
    h.settings.Put("MainTop", "90000");
    Form1& f = Start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(f.pos())) << f.pos().x() << "," << f.pos().y();
    const QPoint at = f.pos();
    f.close();
    EXPECT_EQ(h.settings.Stored("MainLeft"), QString::number(at.x() * 15));
    EXPECT_EQ(h.settings.Stored("MainTop"), QString::number(at.y() * 15));
}

// ---------------------------------------------------------------------------------------
// The exit rule

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
    f.close();  // the close box
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

// ---------------------------------------------------------------------------------------
// Status bar and progress bar

TEST_F(FormTest, TheProgressBarLiesOverPanelTwoWithAThreePixelMargin) {
    Form1& f = Start();
    PanelStatusBar* sb = f.sbStatusBar;
    QProgressBar* bar = f.ProgressBar1;
    ASSERT_EQ(bar->parentWidget(), sb);
    EXPECT_TRUE(f.ProgressPlacement().Placed());
    EXPECT_EQ(f.ProgressPlacement().ProgressBarHost, f.centralWidget());
    const QRect panel = sb->PanelRect(2);
    EXPECT_EQ(panel.width(), sb->logicalDpiX());
    EXPECT_EQ(sb->PanelRect(3).width(), sb->logicalDpiX());
    EXPECT_GT(sb->PanelRect(1).width(), panel.width());
    EXPECT_EQ(bar->geometry(), QRect(panel.left() + 3, 3, panel.width() - 6, sb->height() - 6));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(sb->PanelText(1), "Status");
    EXPECT_EQ(bar->toolTip(), "Total Progress of Drawings being printed");

    // A second placement changes nothing; the bar follows its panel when the window grows.
    ProgressBarPlacement& placement = const_cast<ProgressBarPlacement&>(f.ProgressPlacement());
    PlaceProgressBar(placement, *bar, *sb, 1, 10);
    EXPECT_EQ(placement.panel, 2);
    f.resize(f.width() + 200, f.height());
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->geometry(), QRect(sb->PanelRect(2).left() + 3, 3, sb->PanelRect(2).width() - 6,
                                     sb->height() - 6));
    EXPECT_EQ(sb->PanelRect(2).width(), sb->logicalDpiX());

    // At unload the bar goes back where it came from.
    f.close();
    EXPECT_EQ(bar->parentWidget(), f.centralWidget());
    EXPECT_FALSE(f.ProgressPlacement().Placed());
}

TEST_F(FormTest, TheStatusBarItemHidesAndShowsTheBarWithItsProgressBar) {
    Form1& f = Start();
    const QRect placed = f.ProgressBar1->geometry();
    ASSERT_TRUE(f.mnuViewStatusBar->isChecked());
    f.mnuViewStatusBar->trigger();
    EXPECT_FALSE(f.mnuViewStatusBar->isChecked());
    EXPECT_FALSE(f.sbStatusBar->isVisible());
    EXPECT_FALSE(f.ProgressBar1->isVisible());
    f.mnuViewStatusBar->trigger();
    EXPECT_TRUE(f.mnuViewStatusBar->isChecked());
    EXPECT_TRUE(f.sbStatusBar->isVisible());
    EXPECT_TRUE(f.ProgressBar1->isVisible());
    EXPECT_EQ(f.ProgressBar1->geometry(), placed);
}

// ---------------------------------------------------------------------------------------
// The window, its menus and popup

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
    EXPECT_EQ(f.PicBrowse->pos(), QPoint(8, 8));
    EXPECT_EQ(f.PicBrowse->size(), tree);
    EXPECT_EQ(f.ListView1->geometry(), list);
}

TEST_F(FormTest, EveryControlCarriesItsCaptionAndToolTip) {
    // As designed: before the load and the first search write their texts.
    Form1& f = h.MakeForm();
    struct Expect {
        QWidget* w;
        QString text;
        QString tip;
    };
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
    for (const Expect& e : table) {
        EXPECT_EQ(text(e.w), e.text) << e.w->objectName().toStdString();
        EXPECT_EQ(e.w->toolTip(), e.tip) << e.w->objectName().toStdString();
    }
    EXPECT_EQ(f.DwgThumbnail1->parentWidget(), f.Frame3);
    EXPECT_EQ(f.DwgThumbnail1->geometry(), QRect(8, 16, 193, 105));
    for (QWidget* w : {static_cast<QWidget*>(f.cmbPrinter), static_cast<QWidget*>(f.Text2),
                       static_cast<QWidget*>(f.chkLayouts)}) {
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
    EXPECT_TRUE(label->Elided());
    EXPECT_TRUE(label->ShownText().startsWith("Found following files in /deeper/"));
    EXPECT_TRUE(label->ShownText().endsWith(QChar(0x2026)));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->ShownText()), label->width());
    const QPoint at(5, 5);
    QHelpEvent help(QEvent::ToolTip, at, label->mapToGlobal(at));
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
    EXPECT_THAT(f.menuBar()->actions(), Not(Contains(f.mnuPrint->menuAction())));
}

TEST_F(FormTest, ARightClickOnTheBackgroundOpensThePrintPopupAndOnAControlItDoesNot) {
    Form1& f = Start();
    QWidget* client = f.centralWidget();
    const QPoint background(221, 100);  // between the directory list and the drawing list
    ASSERT_EQ(client->childAt(background), nullptr);

    QTest::mouseClick(client, Qt::LeftButton, {}, background);
    EXPECT_FALSE(f.mnuPrint->isVisible());

    QTest::mouseClick(f.Command3, Qt::RightButton);
    EXPECT_FALSE(f.mnuPrint->isVisible());
    QTest::mouseClick(f.Label1, Qt::RightButton);
    EXPECT_FALSE(f.mnuPrint->isVisible());
    QTest::mouseClick(f.Frame2, Qt::RightButton, {}, QPoint(200, 140));
    EXPECT_FALSE(f.mnuPrint->isVisible());
    EXPECT_TRUE(f.isVisible());  // the right click on Exit did not exit

    QTest::mouseClick(client, Qt::RightButton, {}, background);
    EXPECT_TRUE(f.mnuPrint->isVisible());
    f.mnuPrint->close();
}

TEST_F(FormTest, SelectAllDrawingsListedSelectsEveryRow) {
    Form1& f = Start();
    f.ListView1->Model().Clear();
    for (const char* name : {"a.dwg", "b.dwg", "c.dwg"}) {
        f.ListView1->Model().AddRow({name, "/jobs/", "", "0 KB", ""});
    }
    f.MnuSelectAll->trigger();
    EXPECT_EQ(f.ListView1->selectionModel()->selectedRows().size(), 3);
}

TEST_F(FormTest, TheAboutBoxIsModelessAndClosedWithTheWindow) {
    Form1& f = Start();
    f.mnuHelpAbout->trigger();
    f.mnuHelpAbout->trigger();
    ASSERT_EQ(f.OpenWindows().size(), 2);
    auto* about = qobject_cast<frmAbout*>(f.OpenWindows().front());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QPointer<QWidget> first = f.OpenWindows().front();
    QPointer<QWidget> second = f.OpenWindows().back();
    f.close();
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    EXPECT_TRUE(second.isNull() || !second->isVisible());
}

// ---------------------------------------------------------------------------------------
// The plot-choice lists

TEST_F(FormTest, ChoosingADeviceRefillsThePaperListOnce) {
    Form1& f = Start();
    h.cad.ClearCalls();
    f.cmbPrinter->setCurrentIndex(2);
    EXPECT_EQ(f.Choices().StrPrinter, "Office Printer");
    EXPECT_EQ(f.CmbPaper->itemText(2), "A4");  // the refill's own order of the fixed names
    EXPECT_EQ(h.cad.CallsWith("GetCanonicalMediaNames").size(), 1u);
}

TEST_F(FormTest, EachKeyInTheDeviceListReadsTheTextBeforeTheKeyAndAfterIt) {
    Form1& f = Start();
    f.cmbPrinter->setEditText("");
    h.cad.ClearCalls();
    std::vector<std::string> seen;
    QObject::connect(f.cmbPrinter, &QComboBox::editTextChanged,
                     [&] { seen.push_back(f.Choices().StrPrinter); });
    QTest::keyClicks(f.cmbPrinter->lineEdit(), "P");
    EXPECT_EQ(f.Choices().StrPrinter, "P");
    // Key-down saw "" (a refill), the change saw "P" (another one).
    EXPECT_EQ(h.cad.CallsWith("GetCanonicalMediaNames").size(), 2u);

    // Typing the placeholder back leaves the paper list alone.
    h.cad.ClearCalls();
    f.CmbPaper->addItem("marker");
    f.cmbPrinter->setEditText("Select a Printer");
    EXPECT_EQ(f.Choices().StrPrinter, "Select a Printer");
    EXPECT_THAT(h.cad.CallsWith("GetCanonicalMediaNames"), IsEmpty());
    EXPECT_EQ(f.CmbPaper->itemText(f.CmbPaper->count() - 1), "marker");
}

TEST_F(FormTest, ArrowKeysInAListActAsClicks) {
    Form1& f = Start();
    f.CmbCTB->setCurrentIndex(0);
    QTest::keyClick(f.CmbCTB->lineEdit(), Qt::Key_Down);
    EXPECT_EQ(f.CmbCTB->currentText(), "monochrome.ctb");
    EXPECT_EQ(f.Choices().StrCTB, "monochrome.ctb");
}

TEST_F(FormTest, ACadFailureInAListEventIsShownAndTheWindowGoesOn) {
    Form1& f = Start();
    h.cad.FailOn("Layout.RefreshPlotDeviceInfo", "Plot device not available");
    f.cmbPrinter->setCurrentIndex(1);
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.messages.shown[0].text, "Plot device not available");
    EXPECT_EQ(h.messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(h.messages.shown[0].title, "Vormex");
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.Choices().StrPrinter, "DWG To PDF.pc3");
}

}  // namespace
