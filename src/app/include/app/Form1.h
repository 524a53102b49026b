// The main window: its controls, menus and status bar, its load and unload, and the
// handlers of its events. The handlers are thin: the rules they follow are in src/cad,
// in ShellRules, Settings, StatusBar and About, in the drawing search (src/search, over
// the window's controls through WindowSearch) and in the plot runs (src/plot, over the
// window's controls through WindowRunHost).
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/PlatformServices.h"
#include "app/Settings.h"
#include "app/StatusBar.h"
#include "cad/CadConnection.h"
#include "plot/PlotLists.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

namespace vx::plot {
class PlotService;
struct RunShape;
}  // namespace vx::plot

namespace vx::search {
class DirListBox;
class DrawingListView;
class DwgThumbnail;
class FolderTree;
class WindowSearch;
}  // namespace vx::search

namespace vx::app {

class ComboChoiceList;
class WindowRunHost;

// What the main window uses of the system. All of it outlives the window.
struct ShellServices {
    MessageService& messages;
    PointerService& pointer;
    BeepService& beep;
    HelpService& help;
    RegistryReader& registry;
    ProgramLauncher& launcher;
    SettingsStore& settings;
    const cad::ClassRegistry& classes;
    // The folder the program lies in; the help file lies with its data (ProgramDataFolder).
    QString programFolder;
};

class Form1 : public QMainWindow, public cad::ConnectionHost {
    Q_OBJECT
public:
    explicit Form1(ShellServices& services);
    ~Form1() override;

    // --- controls ---
    search::DirListBox* Dir1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* cmdAction = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QComboBox* cmbPrinter = nullptr;
    QComboBox* CmbPaper = nullptr;
    QComboBox* CmbCTB = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label2 = nullptr;
    QGroupBox* Options = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* chkLayouts = nullptr;
    QGroupBox* Frame3 = nullptr;
    search::DwgThumbnail* DwgThumbnail1 = nullptr;
    // The folder tree's box, and the tree it hosts.
    QWidget* PicBrowse = nullptr;
    search::FolderTree* PicBrowseTree = nullptr;
    search::DrawingListView* ListView1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    PanelStatusBar* sbStatusBar = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Status = nullptr;

    // --- menus ---
    QMenu* MnuFile = nullptr;
    QAction* MnuSelectAll = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuViewStatusBar = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* HelpMain = nullptr;
    QAction* mnuHelpAbout = nullptr;
    // The print popup menu; not in the menu bar.
    QMenu* mnuPrint = nullptr;
    QAction* mnuAllPrint = nullptr;
    QAction* mnuPrintMultiple = nullptr;

    // --- state ---
    // The services, for the search and run hosts that the window implements.
    ShellServices& Services() const { return services_; }
    plot::PlotChoices& Choices() { return choices_; }
    cad::CadConnection& Connection() { return connection_; }
    plot::PlotLists& Lists() { return lists_; }
    // The drawing search over this window's controls, and the plot runs.
    search::WindowSearch& Search() { return *search_; }
    plot::PlotService& Runs() { return *runs_; }
    // The help file: the program's folder and "help.chm" (set at load).
    QString HelpFile;
    // A request to stop the search or run in progress; one flag for both.
    bool StopRequested = false;
    // True once the program has ended (the window closed for good).
    bool Ended() const { return ended_; }
    const ProgressBarPlacement& ProgressPlacement() const { return placement_; }
    // The windows the program opened besides this one (About boxes), oldest first.
    QList<QWidget*> OpenWindows() const;

    // --- ConnectionHost ---
    void SetStatus(const std::string& text) override;
    void HideMainWindow() override;
    void ShowMainWindow() override;
    void EndProgram() override;

public slots:
    // Load: runs once, before the window is first shown.
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();
    void Form_Resize();
    void Form_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);

    // The exit sequence.
    void Command3_Click();
    void mnuFileExit_Click();

    // The search starters, as the controls raise them (WindowSearch connects the
    // controls' own events to the same starters). `keyCode` is a virtual-key code.
    void Dir1_Change();
    void Dir1_Click();
    void Check1_Click();
    void Check1_KeyDown(int keyCode);
    // The action button during a run: the run stops before its next drawing. (During a
    // search the button is the search's: WindowSearch connects that rule.)
    void cmdAction_Click(int index);

    // The runs.
    void Command2_Click();
    void mnuAllPrint_Click();
    void mnuPrintMultiple_Click();
    void Text2_Change();
    void chkLayouts_Click();

    // The plot-choice lists.
    void cmbPrinter_Change();
    void cmbPrinter_Click();
    void cmbPrinter_KeyDown();
    void CmbPaper_Change();
    void CmbPaper_Click();
    void CmbPaper_KeyDown();
    void CmbCTB_Change();
    void CmbCTB_Click();
    void CmbCTB_KeyDown();

    // The menus.
    void MnuSelectAll_Click();
    void mnuViewStatusBar_Click();
    void HelpMain_Click();
    void mnuHelpAbout_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateSearchControls(QWidget* client);
    void ConnectSearchAndRuns();
    void CreateMenus();
    void LoadSteps();
    // Filters the copies box's keys; true when the key is to be dropped.
    bool Text2_KeyPress(int keyAscii);
    // Runs an event handler so that nothing escapes into the toolkit: the end of the
    // program unwinds to here, and a CAD failure is shown; a handler that fails leaves
    // the default mouse pointer. Nothing runs once ended. False when the handler failed.
    bool Guard(const std::function<void()>& handler);
    bool Protect(const std::function<void()>& handler);
    // A run inside the boundary; a run that fails leaves the status bar at rest.
    void StartRun(const plot::RunShape& shape);
    void ShowFailure(const std::string& description);

    ShellServices& services_;
    plot::PlotChoices choices_;
    cad::CadConnection connection_;
    plot::PlotLists lists_;
    std::unique_ptr<ComboChoiceList> printerList_;
    std::unique_ptr<ComboChoiceList> paperList_;
    std::unique_ptr<ComboChoiceList> styleList_;
    std::unique_ptr<search::WindowSearch> search_;
    std::unique_ptr<WindowRunHost> runHost_;
    std::unique_ptr<plot::PlotService> runs_;
    ProgressBarPlacement placement_;
    LoadedSettings loaded_;
    QPoint loadedPixels_;
    QList<QPointer<QWidget>> openWindows_;
    bool loaded_once_ = false;
    bool unloaded_ = false;
    bool ended_ = false;
};

}  // namespace vx::app
