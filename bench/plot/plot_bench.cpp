// How long the folder search of the reference reload takes on a tree of many files,
// and what a plot run itself costs per drawing (the CAD work is the test double's).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "plot/PlotService.h"
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

class QuietWindow : public plot::PlotEvents {
public:
    bool StopRequested() override { return false; }
};

// A run over drawings with two layouts each: the rules' share of a real run.
void BM_AllListedRun(benchmark::State& state) {
    QTemporaryDir dir;
    const int rows = static_cast<int>(state.range(0));
    cad::ClassRegistry registry;  // outlives the double, which unregisters itself
    fake::FakeCad cad;
    QuietWindow window;
    const std::string folder = dir.path().toStdString() + "/";
    plot::PlotRequest request;
    request.choices = {"Office Printer", "A4", "acad.ctb", 0};
    request.layouts = true;
    for (int i = rows - 1; i >= 0; --i) {
        const std::string name = "d" + std::to_string(i) + ".dwg";
        QFile(QString::fromStdString(folder + name)).open(QIODevice::WriteOnly);
        cad.Drawing(folder + name).Layouts({"Layout1", "Layout2"});
        request.rows.push_back({folder + name, true});
    }
    NoHost host;
    cad.RegisterIn(registry);
    cad::CadConnection connection(host, host, registry);
    plot::PlotService service(connection, host);
    for (auto _ : state) {
        service.Run(request, window);
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
