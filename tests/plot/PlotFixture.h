// The window's side of a plot run, recorded; and a fixture with the test double.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "../cad/Recorders.h"
#include "FakeCad.h"
#include "app/RunDisplay.h"

namespace vx::testing {

struct ListRow {
    std::string name;
    std::string path;
    bool selected = false;
};

// Records what the run shows, in order, also into the double's call log (as "# ..."),
// so that the window's texts and CAD calls can be read as one sequence.
class RecordingWindow : public app::RunDisplay, public PointerService, public MessageService {
public:
    explicit RecordingWindow(fake::FakeCad& cad) : RunDisplay(*this, *this), cad_(cad) {}

    int RowCount() override { return static_cast<int>(rows.size()); }
    void SetStatus(const std::string& text) override { Note("Status: " + text); }
    void RepaintStatus() override { Note("Repaint"); }
    std::string PanelText() override { return panel; }
    void SetPanelText(const std::string& text) override {
        panel = text;
        Note("Panel: " + text);
    }
    void SetProgress(float value) override {
        char text[32];
        std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
        Note(std::string("Progress: ") + text);
    }
    std::string FolderPath() override { return folder; }
    bool StopFlag() override { return stop; }
    void SetStopRequested(bool value) override {
        stop = value;
        Note(value ? "Stop: True" : "Stop: False");
    }
    void KeepAlive() override {
        if (onKeepAlive) {
            onKeepAlive();
        }
    }

    void SetPointer(Pointer p) override {
        Note(p == Pointer::Hourglass ? "Pointer: 11" : "Pointer: 0");
    }
    MsgResult Show(const Message& m) override {
        shown.push_back(m);
        Note("Message: " + m.title);
        return MsgResult::Ok;
    }

    void Note(const std::string& text) {
        events.push_back(text);
        cad_.Mark("# " + text);
    }

    std::vector<ListRow> rows;
    std::string panel = "Ready";
    int layouts = 0;
    std::string folder;
    bool stop = false;
    std::function<void()> onKeepAlive;
    std::vector<std::string> events;
    std::vector<Message> shown;

private:
    fake::FakeCad& cad_;
};

// A running CAD application attached to, with plot choices that pass the check.
struct PlotFixture : ::testing::Test {
    cad::ClassRegistry registry;
    fake::FakeCad cad;
    RecordingConnectionHost connectionHost;
    RecordingWindow window{cad};
    cad::CadConnection connection{connectionHost, window, registry};
    plot::PlotService runs{connection, window};
    plot::PlotChoices& choices = runs.choices;

    void SetUp() override {
        cad.RegisterIn(registry);
        choices = {"Office Printer", "ISO_A4_(210.00_x_297.00_MM)", "acad.ctb", 0};
        runs.SetEvents(&window);
    }

    // The window's three runs over window.rows, as WindowRunHost asks for them.
    void Run(const plot::RunShape& shape) {
        plot::PlotRequest r{{}, choices, window.layouts != 0, shape, {}};
        for (auto row = window.rows.rbegin(); row != window.rows.rend(); ++row) {
            r.rows.push_back({row->path + row->name, !shape.selectedOnly || row->selected});
        }
        runs.Run(r, window);
    }
    void Command2_Click() { Run(plot::kAllListedRun); }
    void mnuPrintMultiple_Click() { Run(plot::kSelectedRun); }
    void mnuAllPrint_Click() { Run(plot::kAllDrawingsRun); }

    // The papers of the two devices the plot tests choose from.
    static constexpr char kA4[] = "ISO_A4_(210.00_x_297.00_MM)";
    void Papers(const fake::Strings& office) {
        cad.Media("Office Printer", office);
        cad.Media("DWG To PDF.pc3", {kA4});
    }

    // Connects (the application then has its own empty drawing) and forgets the calls.
    void Connect() {
        connection.ConnectCad();
        cad.ClearCalls();
    }

    // Opens a scripted drawing in the CAD application, making it the active one.
    void OpenScripted(const std::string& path) {
        connection.CadApp->Documents()->Open(path, true);
        cad.ClearCalls();
        window.events.clear();
    }
};

// A transcript of calls written one per line; blank lines and leading blanks are ignored.
inline std::vector<std::string> Transcript(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::size_t first = text.find_first_not_of(' ', start);
        if (first < end) {
            lines.push_back(text.substr(first, end - first));
        }
        start = end + 1;
    }
    return lines;
}

// A folder tree on disk for tests that need real files.
struct TempTree {
    QTemporaryDir dir;

    std::string Root() const { return dir.path().toStdString(); }
    std::string Path(const std::string& relative) const { return Root() + "/" + relative; }
    // Creates an empty file (and its folders).
    std::string File(const std::string& relative) const {
        const std::string path = Path(relative);
        QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
        QFile f(QString::fromStdString(path));
        if (!f.open(QIODevice::WriteOnly)) {
            ADD_FAILURE() << "cannot create " << path;
        }
        return path;
    }
    std::string Folder(const std::string& relative) const {
        const std::string path = Path(relative);
        QDir().mkpath(QString::fromStdString(path));
        return path;
    }
};

}  // namespace vx::testing
