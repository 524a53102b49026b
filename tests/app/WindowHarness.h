// The main window started with the CAD test double over a temporary folder of drawings,
// and input as it arrives while the window is busy: posted to the event queue, so that
// it is delivered only when the busy window lets events through.
#pragma once

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../search/TempTree.h"
#include "../search/UserInput.h"
#include "ShellHarness.h"
#include "app/Form1.h"
#include "app/Main.h"
#include "search/FileSystemPath.h"
#include "search/widgets/DrawingListView.h"
#include "search/widgets/FolderTree.h"
#include "search/widgets/WindowSearch.h"

namespace vx::testing {

// The texts a label showed on the screen, in order (each one once while it stood).
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && (texts.isEmpty() || texts.back() != label_->text())) {
            texts << label_->text();
        }
        return false;
    }

private:
    QLabel* label_;
};

// Calls `action` once, the first time the progress bar shows `value`.
inline void OnProgress(QProgressBar* bar, int value, std::function<void()> action) {
    auto fired = std::make_shared<bool>(false);
    QObject::connect(bar, &QProgressBar::valueChanged, bar,
                     [value, fired, action = std::move(action)](int now) {
                         if (now == value && !*fired) {
                             *fired = true;
                             action();
                         }
                     });
}

struct WindowHarness : ShellHarness {
    TempTree tree;

    // Plot devices, papers and tables that pass the plot-choice check once Start() picks them.
    WindowHarness() {
        cad.Devices({"None", "DWG To PDF.pc3", "Office Printer"})
            .Media({"ISO_A4_(210.00_x_297.00_MM)", "A3"})
            .Styles({"acad.ctb", "monochrome.ctb"});
    }

    // A drawing on disk under the temporary tree that the CAD double can open.
    fake::DrawingSpec& Drawing(const QString& relative) {
        tree.File(relative);
        return cad.Drawing(search::ToFileSystemPath(tree.Path(relative)));
    }

    // Starts the window as the program does, then picks a device, paper and table.
    app::Form1& Start() {
        app::Form1& f = MakeForm();
        EXPECT_TRUE(app::Main(f));
        f.cmbPrinter->setCurrentIndex(f.cmbPrinter->findText("Office Printer"));
        f.CmbPaper->setCurrentIndex(f.CmbPaper->findText("A3"));
        f.CmbCTB->setCurrentIndex(f.CmbCTB->findText("acad.ctb"));
        return f;
    }

    // Selects a folder in the folder tree, as a click on it does.
    void Select(app::Form1& f, const QString& folder) {
        EXPECT_TRUE(f.PicBrowseTree->SelectFolder(folder)) << folder.toStdString();
    }

    static QStringList Names(const app::Form1& f) {
        QStringList names;
        const auto& model = f.ListView1->Model();
        for (int i = 0; i < model.Count(); ++i) {
            names << model.Row(i).FileName;
        }
        return names;
    }
};

}  // namespace vx::testing
