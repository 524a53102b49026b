#include "app/Form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "app/About.h"
#include "app/ChoiceCombo.h"
#include "app/ElidedLabel.h"
#include "app/QtServices.h"
#include "app/ShellRules.h"
#include "app/WindowRunHost.h"
#include "common/ProgramData.h"
#include "plot/PlotService.h"
#include "search/FileSystemPath.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"
#include "search/widgets/DwgThumbnail.h"
#include "search/widgets/FolderTree.h"
#include "search/widgets/WindowSearch.h"

namespace vx::app {

Form1::Form1(ShellServices& services)
    : services_(services),
      connection_(*this, services.messages, services.classes),
      lists_(connection_, choices_) {
    setObjectName("Form1");
    setWindowTitle(kMainCaption);
    CreateControls();
    CreateMenus();
    ConnectSearchAndRuns();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

Form1::~Form1() = default;

// ---------------------------------------------------------------------------------------
// Controls

namespace {
template <class W>
W* Place(W* w, const char* name, int x, int y, int width, int height, const char* tip = nullptr) {
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    if (tip) {
        w->setToolTip(tip);
    }
    return w;
}

// The character code a key press types into a text box, as its key-press event hands it
// on: 0 for keys that type nothing there (arrows, Delete, Tab and the like).
int KeyAscii(const QKeyEvent& event) {
    const QString text = event.text();
    if (text.isEmpty() || event.key() == Qt::Key_Delete || event.key() == Qt::Key_Tab ||
        event.key() == Qt::Key_Backtab) {
        return 0;
    }
    return text.at(0).unicode();
}
}  // namespace

void Form1::CreateControls() {
    auto* client = new QWidget(this);
    client->setObjectName("Form1Client");
    client->installEventFilter(this);
    setCentralWidget(client);

    CreateSearchControls(client);

    Options = Place(new QGroupBox("Search Options", client), "Options", 224, 174, 172, 60);
    Text1 = Place(new QLineEdit("*.DWG", Options), "Text1", 8, 18, 156, 20);
    Check1 = Place(new QCheckBox("Include Sub Directories", Options), "Check1", 8, 40, 160, 18,
                   "Slect this Option to Search in Subfolders");

    cmdAction = Place(new QPushButton("S&top Search", client), "cmdAction", 224, 240, 172, 26,
                      "To Stop the search, Press this button");
    Command2 = Place(new QPushButton("Print All &Drawing", client), "Command2", 224, 270, 172, 26,
                     "Click This button to Print All the Listed drawings");
    Command3 = Place(new QPushButton("&Exit", client), "Command3", 224, 300, 172, 26,
                     "Press exit to Quit the Program");

    Frame2 = Place(new QGroupBox("Print Options", client), "Frame2", 402, 174, 214, 152);
    auto combo = [this](const char* name, const char* text, int y, const char* tip) {
        auto* c = Place(new QComboBox(Frame2), name, 8, y, 198, 24, tip);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setEditText(text);
        return c;
    };
    cmbPrinter = combo("cmbPrinter", "Select A Printer", 20, "Choose a printer from the list");
    CmbPaper = combo("CmbPaper", "Select Paper Size", 48, "Choose a Paper size from the List");
    CmbCTB = combo("CmbCTB", "Select Ctb File", 76, "Choose the Pen style table file");
    Label2 = Place(new QLabel("Number of Copies", Frame2), "Label2", 8, 106, 110, 20);
    Text2 = Place(new QLineEdit("1", Frame2), "Text2", 120, 104, 48, 22);
    chkLayouts = Place(new QCheckBox("Print Layouts", Frame2), "chkLayouts", 8, 128, 180, 20,
                       "Select this option to Print Layouts only");

    // Names a folder, so it may be longer than the window is wide.
    Label1 = Place(new ElidedLabel("Found Files:", client), "Label1", 8, 328, 608, 14);
    Status = Place(new QLabel(client), "Status", 8, 342, 608, 32,
                   "This Area will show the actual Function being carried on");
    Status->setTextFormat(Qt::PlainText);
    Status->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    sbStatusBar = new PanelStatusBar(this);
    sbStatusBar->setFixedHeight(kStatusBarHeight);
    setStatusBar(sbStatusBar);
    ProgressBar1 = Place(new QProgressBar(client), "ProgressBar1", 8, 376, 200, 16,
                         "Total Progress of Drawings being printed");

    // The plot-choice lists raise their change, click and key-down events.
    printerList_ = std::make_unique<ComboChoiceList>(
        *cmbPrinter,
        ComboChoiceList::Handlers{[this] { cmbPrinter_Change(); }, [this] { cmbPrinter_Click(); },
                                  [this] { cmbPrinter_KeyDown(); }});
    paperList_ = std::make_unique<ComboChoiceList>(
        *CmbPaper,
        ComboChoiceList::Handlers{[this] { CmbPaper_Change(); }, [this] { CmbPaper_Click(); },
                                  [this] { CmbPaper_KeyDown(); }});
    styleList_ = std::make_unique<ComboChoiceList>(
        *CmbCTB, ComboChoiceList::Handlers{[this] { CmbCTB_Change(); }, [this] { CmbCTB_Click(); },
                                           [this] { CmbCTB_KeyDown(); }});

    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(cmdAction, &QPushButton::clicked, this, [this] { cmdAction_Click(1); });
    connect(chkLayouts, &QCheckBox::clicked, this, &Form1::chkLayouts_Click);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    Text2->installEventFilter(this);
}

void Form1::CreateSearchControls(QWidget* client) {
    // The folder tree lives in its box; it is shown, with its first folder selected,
    // once the window is up (Main).
    PicBrowse = Place(new QWidget(client), "PicBrowse", kPicBrowseLeft, kPicBrowseTop, 210, 110);
    PicBrowseTree = new search::FolderTree(PicBrowse);
    PicBrowseTree->setObjectName("PicBrowseTree");
    PicBrowseTree->hide();

    // The directory list starts at the process's current folder; nothing listens yet.
    Dir1 = Place(new search::DirListBox(client), "Dir1", 8, 122, 210, 70);
    Dir1->setIconSize(QSize(16, 16));
    Dir1->SetPath(QDir::currentPath());

    ListView1 = Place(new search::DrawingListView(client), "ListView1", 224, 8, 392, 160);

    Frame3 = Place(new QGroupBox("Preview", client), "Frame3", 8, 196, 210, 128,
                   "If your drawing has a preview it will be shown here");
    DwgThumbnail1 = Place(new search::DwgThumbnail(Frame3), "DwgThumbnail1", 8, 16, 193, 105);
}

void Form1::ConnectSearchAndRuns() {
    search_ = std::make_unique<search::WindowSearch>(
        search::WindowSearch::Controls{this, PicBrowseTree, Dir1, Text1, Check1, cmdAction,
                                       Command2, ListView1, DwgThumbnail1, Status, Label1},
        services_.pointer, StopRequested, [this] { return cmbPrinter->count(); },
        [this] { lists_.FillPlotLists(*printerList_, *paperList_, *styleList_); });
    search_->SetBoundary([this](const std::function<void()>& handler) { Guard(handler); });
    connect(ListView1, &search::DrawingListView::PrintPopupRequested, this,
            [this](const QPoint& at) { mnuPrint->popup(at); });

    runHost_ = std::make_unique<WindowRunHost>(
        WindowRunHost::Controls{ListView1, Status, sbStatusBar, ProgressBar1, chkLayouts, Dir1},
        StopRequested, search_->Pump(), services_.pointer, services_.messages);
    runs_ = std::make_unique<plot::PlotService>(connection_, services_.messages);
}

void Form1::CreateMenus() {
    MnuFile = menuBar()->addMenu("&File");
    MnuFile->setObjectName("MnuFile");
    MnuSelectAll = MnuFile->addAction("Select All Drawings Listed");
    MnuSelectAll->setObjectName("MnuSelectAll");
    mnuFileExit = MnuFile->addAction("E&xit");
    mnuFileExit->setObjectName("mnuFileExit");

    mnuView = menuBar()->addMenu("&View");
    mnuView->setObjectName("mnuView");
    mnuViewStatusBar = mnuView->addAction("Status &Bar");
    mnuViewStatusBar->setObjectName("mnuViewStatusBar");
    mnuViewStatusBar->setCheckable(true);
    mnuViewStatusBar->setChecked(true);

    mnuHelp = menuBar()->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    HelpMain = mnuHelp->addAction("Vormex &Help");
    HelpMain->setObjectName("HelpMain");
    mnuHelpAbout = mnuHelp->addAction("&About ");
    mnuHelpAbout->setObjectName("mnuHelpAbout");

    // Only ever shown as a popup menu.
    mnuPrint = new QMenu("&Print", this);
    mnuPrint->setObjectName("mnuPrint");
    mnuAllPrint = mnuPrint->addAction("&Print All Drawings");
    mnuAllPrint->setObjectName("mnuAllPrint");
    mnuPrintMultiple = mnuPrint->addAction("Print &Selected Drawings");
    mnuPrintMultiple->setObjectName("mnuPrintMultiple");

    connect(MnuSelectAll, &QAction::triggered, this, &Form1::MnuSelectAll_Click);
    connect(mnuFileExit, &QAction::triggered, this, &Form1::mnuFileExit_Click);
    connect(mnuViewStatusBar, &QAction::triggered, this, &Form1::mnuViewStatusBar_Click);
    connect(HelpMain, &QAction::triggered, this, &Form1::HelpMain_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &Form1::mnuHelpAbout_Click);
    connect(mnuAllPrint, &QAction::triggered, this, &Form1::mnuAllPrint_Click);
    connect(mnuPrintMultiple, &QAction::triggered, this, &Form1::mnuPrintMultiple_Click);
}

// ---------------------------------------------------------------------------------------
// The event boundary

bool Form1::Guard(const std::function<void()>& handler) {
    if (ended_) {
        return true;
    }
    return Protect(handler);
}

bool Form1::Protect(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const cad::ProgramEnded&) {
        // The program has ended: nothing further runs.
    } catch (const cad::CadError& e) {
        ShowFailure(e.Description());
    } catch (const std::exception& e) {
        ShowFailure(e.what());
    }
    // The handler did not get to put the pointer back.
    services_.pointer.SetPointer(Pointer::Default);
    return false;
}

void Form1::ShowFailure(const std::string& description) {
    Message m;
    m.icon = MsgIcon::Critical;
    m.buttons = MsgButtons::Ok;
    m.title = kProgramTitle;
    m.text = description;
    services_.messages.Show(m);
}

// ---------------------------------------------------------------------------------------
// Load and unload

void Form1::Form_Load() {
    if (loaded_once_) {
        return;
    }
    loaded_once_ = true;
    Guard([this] { LoadSteps(); });
}

void Form1::LoadSteps() {
    // 1. Position, in twips; a window that would stand on no screen is pulled back.
    loaded_ = ReadSettings(services_.settings);
    loadedPixels_ = QPoint(TwipsToPixels(loaded_.leftTwips), TwipsToPixels(loaded_.topTwips));
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->availableGeometry());
    }
    move(PullOntoScreen(QRect(loadedPixels_, size()), screens));

    // 2. The previous run's plot choices.
    choices_.StrPaper = loaded_.paper.toStdString();
    choices_.StrPrinter = loaded_.printer.toStdString();
    choices_.StrCTB = loaded_.ctb.toStdString();

    // 3. The file system is reached through Qt's file classes; nothing to create.

    // 4. The directory list moves to the program's folder; its change event runs now.
    Dir1->SetPath(search::AddBackslash(QDir::toNativeSeparators(services_.programFolder)));
    if (ended_) {
        return;
    }

    // 5. The CAD application, always at this point.
    connection_.ConnectCad();

    // 6. The drawing list is a report view with its five columns from the start.

    // 7. The progress bar over status bar panel 2.
    ProgressBar1->setMinimum(0);
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(ProgressBar1->maximum());
    PlaceProgressBar(placement_, *ProgressBar1, *sbStatusBar, kProgressPanel, kProgressMargin);
    ProgressBar1->setValue(0);

    // 8. - 10.
    SetStatus(StartupStatusText());
    Command2->setEnabled(false);
    // The help file lies with the program's data: beside the program, or in the installed
    // share folder.
    const QDir data(ProgramDataFolder(QDir(services_.programFolder).filesystemPath()));
    HelpFile = QDir::toNativeSeparators(data.filePath("help.chm"));
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        Form_QueryUnload();
        Form_Unload();
    }
    event->accept();
}

void Form1::Form_QueryUnload() {
    Protect([this] { PicBrowseTree->ReleaseFolderTree(); });
    Protect([this] { services_.help.CloseAll(); });
}

void Form1::Form_Unload() {
    Protect([this] { GiveBackProgressBar(placement_); });
    Protect([this] {
        for (qsizetype i = openWindows_.size() - 1; i >= 0; --i) {
            if (openWindows_[i]) {
                openWindows_[i]->close();
            }
        }
        openWindows_.clear();
    });
    Protect([this] {
        WriteSettings(services_.settings, isMinimized(),
                      PositionToSave(pos(), loadedPixels_, loaded_), choices_);
    });
    Protect([this] { CloseCadAtExit(connection_); });
}

QList<QWidget*> Form1::OpenWindows() const {
    QList<QWidget*> open;
    for (const auto& w : openWindows_) {
        if (w && w->isVisible()) {
            open.append(w.data());
        }
    }
    return open;
}

// ---------------------------------------------------------------------------------------
// ConnectionHost

void Form1::SetStatus(const std::string& text) {
    Status->setText(StatusLineText(text));
}

void Form1::HideMainWindow() {
    hide();
}

void Form1::ShowMainWindow() {
    show();
}

void Form1::EndProgram() {
    ended_ = true;
    close();
    // The window may have been hidden, so its closing need not end the event loop.
    QCoreApplication::quit();
}

// ---------------------------------------------------------------------------------------
// Window events

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void Form1::Form_Resize() {
    if (PicBrowse) {
        PicBrowse->move(kPicBrowseLeft, kPicBrowseTop);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::MouseButtonPress) {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint pos = e->position().toPoint();
        // Only the window's own background: a press that a control passed on is not one.
        if (!centralWidget()->childAt(pos)) {
            Form_MouseDown(e->button(), e->modifiers(), pos);
        }
    } else if (watched == Text2 && event->type() == QEvent::KeyPress) {
        const int keyAscii = KeyAscii(*static_cast<QKeyEvent*>(event));
        if (keyAscii != 0 && Text2_KeyPress(keyAscii)) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::Form_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
    if (button == Qt::RightButton) {
        mnuPrint->popup(centralWidget()->mapToGlobal(pos));
    }
}

// ---------------------------------------------------------------------------------------
// Exit

void Form1::Command3_Click() {
    Guard([this] {
        CloseCadAtExit(connection_);
        close();
    });
}

void Form1::mnuFileExit_Click() {
    Command3_Click();
}

// ---------------------------------------------------------------------------------------
// Search starters: the drawing search's rules, inside the window's boundary.

void Form1::Dir1_Change() {
    Guard([this] { search_->Search().Dir1_Change(); });
}

void Form1::Dir1_Click() {
    Guard([this] { search_->Search().Dir1_Click(); });
}

void Form1::Check1_Click() {
    Guard([this] { search_->Search().Check1_Click(); });
}

void Form1::Check1_KeyDown(int keyCode) {
    Guard([this, keyCode] { search_->Search().Check1_KeyDown(keyCode); });
}

void Form1::cmdAction_Click(int /*index*/) {
    // During a search the button is the search's (WindowSearch connects its rule); during
    // a run it asks the run to stop before its next drawing.
    Guard([this] {
        if (runs_->Running()) {
            StopRequested = true;
        }
    });
}

// ---------------------------------------------------------------------------------------
// Runs

void Form1::StartRun(const plot::RunShape& shape) {
    const QString panel = sbStatusBar->PanelText(kStatePanel);
    if (!Guard([this, &shape] {
            // A command that arrives during a run is ignored.
            if (!runs_->Running()) {
                runs_->Run(runHost_->Request(shape, choices_), *runHost_);
            }
        })) {
        // A run that ended in an error did not get to put the status bar back.
        sbStatusBar->SetPanelText(kStatePanel, panel);
        ProgressBar1->setValue(0);
    }
}

void Form1::Command2_Click() {
    StartRun(plot::kAllListedRun);
}

void Form1::mnuAllPrint_Click() {
    StartRun(plot::kAllDrawingsRun);
}

void Form1::mnuPrintMultiple_Click() {
    StartRun(plot::kSelectedRun);
}

bool Form1::Text2_KeyPress(int keyAscii) {
    bool drop = false;
    Guard([this, keyAscii, &drop] {
        drop = !plot::CopiesKeyPasses(keyAscii);
        if (drop) {
            services_.beep.Beep();
        }
    });
    return drop;
}

void Form1::Text2_Change() {
    Guard([this] {
        // A text that is no positive number keeps the last count.
        if (auto copies = plot::CopiesFromText(Text2->text().toStdString())) {
            choices_.NumOfCopies = *copies;
        }
    });
}

void Form1::chkLayouts_Click() {
    // Nothing: each run reads the box as it starts (a run takes no other input).
}

// ---------------------------------------------------------------------------------------
// Plot-choice lists

void Form1::cmbPrinter_Change() {
    Guard([this] { lists_.PrinterListEvent(*printerList_, *paperList_); });
}
void Form1::cmbPrinter_Click() {
    cmbPrinter_Change();
}
void Form1::cmbPrinter_KeyDown() {
    cmbPrinter_Change();
}
void Form1::CmbPaper_Change() {
    Guard([this] { lists_.PaperListEvent(*paperList_); });
}
void Form1::CmbPaper_Click() {
    CmbPaper_Change();
}
void Form1::CmbPaper_KeyDown() {
    CmbPaper_Change();
}
void Form1::CmbCTB_Change() {
    Guard([this] { lists_.StyleListEvent(*styleList_); });
}
void Form1::CmbCTB_Click() {
    CmbCTB_Change();
}
void Form1::CmbCTB_KeyDown() {
    CmbCTB_Change();
}

// ---------------------------------------------------------------------------------------
// Menus

void Form1::MnuSelectAll_Click() {
    Guard([this] { ListView1->SelectAllRows(); });
}

void Form1::mnuViewStatusBar_Click() {
    // The item's check mark has just been flipped.
    Guard([this] { sbStatusBar->setVisible(mnuViewStatusBar->isChecked()); });
}

void Form1::HelpMain_Click() {
    Guard([this] {
        services_.help.DisplayTopic(static_cast<std::uintptr_t>(winId()), HelpFile.toStdString());
    });
}

void Form1::mnuHelpAbout_Click() {
    Guard([this] {
        auto* about =
            new frmAbout(services_.registry, services_.launcher, services_.messages, this);
        openWindows_.append(about);
        about->show();
    });
}

}  // namespace vx::app
