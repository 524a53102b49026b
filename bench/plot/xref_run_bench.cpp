// A run over drawings whose two external references are missing, deep in a folder tree of
// 100,000 files (built once in a temporary folder): every drawing's reference reload climbs
// its whole budget of folder names and searches the trees above it, twice per drawing.
// The built-in engine plots each drawing to PDF.
//   BM_MissingReferencesRun/<N>  a run of N such drawings; the time shown is that of one
//                                drawing after the run's first; "first" is the first's
//
//   xref_run_bench [--benchmark_filter=...]     (QT_QPA_PLATFORM=offscreen is set)
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../GuiBenchMain.h"
#include "cad/ClassRegistry.h"
#include "engine/automation/Engine.h"
#include "plot/PlotService.h"

namespace {

namespace fs = std::filesystem;
using namespace vx;
using Clock = std::chrono::steady_clock;

constexpr int kLevels = 10;          // T/Lv1/.../Lv8/Dwg
constexpr int kGroupsPerLevel = 10;  // folders of files beside each level's next folder
constexpr int kFilesPerGroup = 1000;

// The tree, made on first use and kept for the whole program.
struct Tree {
    QTemporaryDir dir;
    std::string drawingFolder;  // ending in "/"

    Tree() {
        std::string level = dir.path().toStdString() + "/T";
        for (int l = 0; l < kLevels; ++l) {
            for (int g = 0; g < kGroupsPerLevel; ++g) {
                const std::string group = level + "/g" + std::to_string(g);
                fs::create_directories(group);
                for (int f = 0; f < kFilesPerGroup; ++f) {
                    std::ofstream(group + "/sheet" + std::to_string(f) + ".dwg");
                }
            }
            level += l + 1 < kLevels - 1 ? "/Lv" + std::to_string(l + 1) : "/Dwg";
        }
        drawingFolder = level.substr(0, level.rfind('/')) + "/";
    }
};

Tree& TheTree() {
    static Tree tree;
    return tree;
}

// A small R12 drawing with a line and two references stored where they are not.
std::string Drawing() {
    std::string blocks;
    std::string entities = "0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n100\n21\n50\n31\n0\n";
    for (const char* name : {"GridA", "GridB"}) {
        blocks += std::string("0\nBLOCK\n8\n0\n2\n") + name + "\n70\n4\n10\n0\n20\n0\n30\n0\n3\n" +
                  name + "\n1\nC:\\Gone\\" + name + ".dxf\n0\nENDBLK\n8\n0\n";
        entities += std::string("0\nINSERT\n8\n0\n2\n") + name + "\n10\n0\n20\n0\n30\n0\n";
    }
    return "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities +
           "0\nENDSEC\n0\nEOF\n";
}

class NoHost : public cad::ConnectionHost, public MessageService {
public:
    void SetStatus(const std::string&) override {}
    void HideMainWindow() override {}
    void ShowMainWindow() override {}
    void EndProgram() override {}
    MsgResult Show(const Message&) override { return MsgResult::Ok; }
};

// The run's events, noting when each drawing's processing starts and ends.
class TimedWindow : public plot::PlotEvents {
public:
    bool StopRequested() override { return false; }
    void DrawingStarted(const std::string&) override { marks.push_back(Clock::now()); }
    void DrawingClosed(const std::string&) override { marks.push_back(Clock::now()); }
    void RunEnded(const plot::RunSummary& summary) override { failures = summary.failures; }

    // A mark as each drawing starts, and one after each.
    std::vector<Clock::time_point> marks;
    std::vector<plot::FailedDrawing> failures;
};

void BM_MissingReferencesRun(benchmark::State& state) {
    Tree& tree = TheTree();
    const auto drawings = static_cast<int>(state.range(0));
    TimedWindow window;
    const std::string folder = tree.drawingFolder;
    plot::PlotRequest request;
    request.choices = {"PDF.pc3", "A4", "monochrome.ctb", 0};
    for (int i = drawings - 1; i >= 0; --i) {
        const std::string name = "d" + std::to_string(i) + ".dxf";
        if (!fs::exists(folder + name)) {
            std::ofstream(folder + name) << Drawing();
        }
        request.rows.push_back({folder + name, true});
    }
    const fs::path user = fs::path(tree.dir.path().toStdString()) / "user";
    cad::ClassRegistry registry;
    engine::automation::EngineOptions o;
    o.folders = engine::device::EngineFolders{VORMEX_PROGRAM_DIR, user};
    o.noPrinters = true;
    engine::automation::RegisterEngine(registry, o);
    NoHost host;
    cad::CadConnection connection(host, host, registry);
    plot::PlotService service(connection, host);
    double firstSeconds = 0;
    for (auto _ : state) {
        window.marks.clear();
        service.Run(request, window);
        // Marks: start, end of each row (the first two marks bound the first drawing).
        if (window.marks.size() < static_cast<std::size_t>(2 * drawings)) {
            state.SkipWithError("the run did not process every drawing");
            break;
        }
        using Seconds = std::chrono::duration<double>;
        firstSeconds += Seconds(window.marks[1] - window.marks[0]).count();
        const double later = Seconds(window.marks.back() - window.marks[2]).count();
        state.SetIterationTime(drawings > 1 ? later / (drawings - 1)
                                            : Seconds(window.marks[1] - window.marks[0]).count());
        if (!window.failures.empty()) {
            state.SkipWithError(window.failures.front().description.c_str());
            break;
        }
    }
    state.counters["first"] = benchmark::Counter(firstSeconds, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MissingReferencesRun)
    ->Arg(4)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return vx::bench::RunWithGui(argc, argv);
}
