// How long the folder search of the reference reload takes on a tree of many files,
// and what a plot run itself costs per drawing (the CAD work is the test double's).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "plot/PlotRuns.h"
#include "plot/XrefReload.h"

#ifdef VORMEX_HAVE_FAKECAD
#include "FakeCad.h"
#endif

namespace {

using namespace vx;

class NoHost : public cad::ConnectionHost, public MessageService {
public:
    void SetStatus(const std::string&) override {}
    void HideMainWindow() override {}
    void ShowMainWindow() override {}
    void EndProgram() override {}
    MsgResult Show(const Message&) override { return MsgResult::Ok; }
};

// A tree of `folders` folders in two levels, each with `files` files.
void MakeTree(const QString& root, int folders, int files) {
    for (int f = 0; f < folders; ++f) {
        const QString dir = root + QString("/g%1/f%2").arg(f % 10).arg(f);
        QDir().mkpath(dir);
        for (int i = 0; i < files; ++i) {
            QFile(dir + QString("/sheet%1.dwg").arg(i)).open(QIODevice::WriteOnly);
        }
    }
}

// A search that finds nothing lists the whole tree.
void BM_FindXrefFileWholeTree(benchmark::State& state) {
    QTemporaryDir dir;
    const int folders = static_cast<int>(state.range(0));
    const int files = 50;
    MakeTree(dir.path(), folders, files);
    NoHost host;
    cad::ClassRegistry registry;
    cad::CadConnection connection(host, host, registry);
    plot::XrefReload xrefs(connection);
    const std::string root = dir.path().toStdString();
    for (auto _ : state) {
        xrefs.XrefGet = false;
        xrefs.FoundFile.clear();
        xrefs.FindXrefFile(root, "Missing.dwg");
        benchmark::DoNotOptimize(xrefs.XrefGet);
    }
    state.SetItemsProcessed(state.iterations() * folders * files);
}
BENCHMARK(BM_FindXrefFileWholeTree)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

#ifdef VORMEX_HAVE_FAKECAD

class QuietWindow : public plot::RunHost, public PointerService, public BeepService {
public:
    int RowCount() override { return static_cast<int>(names.size()); }
    std::string RowFileName(int row) override { return names[static_cast<std::size_t>(row)]; }
    std::string RowPath(int) override { return folder; }
    bool RowSelected(int) override { return true; }
    void SetStatus(const std::string&) override {}
    void RepaintStatus() override {}
    std::string PanelText() override { return "Ready"; }
    void SetPanelText(const std::string&) override {}
    void SetProgress(float) override {}
    std::string CopiesText() override { return "1"; }
    int LayoutsValue() override { return 1; }
    std::string FolderPath() override { return folder; }
    bool StopRequested() override { return false; }
    void SetStopRequested(bool) override {}
    void KeepAlive() override {}
    void SetPointer(Pointer) override {}
    void Beep() override {}

    std::vector<std::string> names;
    std::string folder;
};

// A run over drawings with two layouts each: the rules' share of a real run.
void BM_AllListedRun(benchmark::State& state) {
    QTemporaryDir dir;
    const int rows = static_cast<int>(state.range(0));
    cad::ClassRegistry registry;  // outlives the double, which unregisters itself
    fake::FakeCad cad;
    QuietWindow window;
    window.folder = dir.path().toStdString() + "/";
    for (int i = 0; i < rows; ++i) {
        const std::string name = "d" + std::to_string(i) + ".dwg";
        QFile(QString::fromStdString(window.folder + name)).open(QIODevice::WriteOnly);
        cad.Drawing(window.folder + name).Layouts({"Layout1", "Layout2"});
        window.names.push_back(name);
    }
    NoHost host;
    cad.RegisterIn(registry);
    cad::CadConnection connection(host, host, registry);
    cad::PlotChoices choices{"Office Printer", "A4", "acad.ctb", 0};
    plot::PlotRuns runs(connection, choices, window, window, host, window);
    for (auto _ : state) {
        runs.Command2_Click();
        state.PauseTiming();
        cad.ClearCalls();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_AllListedRun)->Arg(100)->Unit(benchmark::kMillisecond);

#endif

}  // namespace

BENCHMARK_MAIN();
