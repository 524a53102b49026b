// Benchmarks of the drawing search.
//
//   search_bench                      everything
//   search_bench --benchmark_filter=Search   the tree search beside find(1)
//
// The search runs over a generated tree of 50,000 files in 2,000 folders, 2,500 of them
// drawings, into the drawing list's model; find DIR -iname '*.dwg' runs over the same tree
// in the same run. Sorting takes 50,000 rows; the preview reader takes every drawing of
// the test data and reports the bytes it read.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "search/DrawingListModel.h"
#include "search/DrawingPreview.h"
#include "search/FileSearch.h"
#include "search/widgets/DirListBox.h"
#include "search/widgets/DrawingListView.h"
#include "search/widgets/WindowSearch.h"

extern char** environ;

namespace {

using namespace vx::search;

constexpr int kTopFolders = 40;
constexpr int kSubfolders = 49;  // 40 + 40 * 49 = 2,000 folders
constexpr int kFilesPerFolder = 25;
constexpr int kExtraDrawingEvery = 4;  // one folder in four holds a second drawing

// The generated tree, made once per run.
class Tree {
public:
    static Tree& Get() {
        static Tree tree;
        return tree;
    }
    QString Root() const { return dir_.path(); }
    int Files() const { return files_; }
    int Folders() const { return folders_; }
    int Drawings() const { return drawings_; }

private:
    Tree() {
        const char* other[] = {".txt", ".pdf", ".bak", ".dwg.bak", ".xlsx", ".plt", ".dxf"};
        int folderIndex = 0;
        auto fill = [&](const QString& folder) {
            QDir().mkpath(folder);
            ++folders_;
            const int drawings = 1 + (folderIndex % kExtraDrawingEvery == 0 ? 1 : 0);
            for (int f = 0; f < kFilesPerFolder; ++f) {
                QString name;
                if (f < drawings) {
                    name = QStringLiteral("Plan %1-%2%3")
                               .arg(folderIndex)
                               .arg(f)
                               .arg(f % 2 ? QStringLiteral(".DWG") : QStringLiteral(".dwg"));
                    ++drawings_;
                } else {
                    name = QStringLiteral("note %1-%2%3")
                               .arg(folderIndex)
                               .arg(f)
                               .arg(QLatin1String(other[f % 7]));
                }
                QFile file(folder + QLatin1Char('/') + name);
                file.open(QIODevice::WriteOnly);
                file.write(QByteArray(f * 37, 'x'));
                ++files_;
            }
            ++folderIndex;
        };
        for (int t = 0; t < kTopFolders; ++t) {
            const QString top = dir_.path() + QStringLiteral("/Project %1").arg(t);
            fill(top);
            for (int s = 0; s < kSubfolders; ++s) {
                fill(top + QStringLiteral("/Sheet%1").arg(s));
            }
        }
    }

    QTemporaryDir dir_;
    int files_ = 0;
    int folders_ = 0;
    int drawings_ = 0;
};

class NoPointer : public vx::PointerService {
public:
    void SetPointer(vx::Pointer) override {}
};

// The window's host as far as the search goes: rows into the drawing list's model.
class ModelHost : public SearchHost {
public:
    void AddRow(const DrawingRow& row) override { model.AddRow(row); }
    void ClearRows() override { model.Clear(); }
    int RowCount() const override { return model.Count(); }
    QString FirstRowPath() const override { return model.Count() ? model.Row(0).Path : QString(); }
    void SortRows() override { model.SetSorted(true); }
    void SetStatus(const QString& text) override { status = text; }
    void SetFoundLabel(const QString& text) override { label = text; }
    QString DirPath() const override { return folder; }
    QString Pattern() const override { return QStringLiteral("*.DWG"); }
    bool IncludeSubfolders() const override { return true; }
    void UntickIncludeSubfolders() override {}
    bool StopRequested() const override { return false; }
    void SetStopRequested(bool) override {}
    vx::PointerService& MousePointer() override { return pointer; }
    int PrinterCount() const override { return 2; }
    void FillPlotLists() override {}
    void EnablePrintAll() override {}
    int TextWidth(const QString& text) const override { return static_cast<int>(text.size()) * 7; }
    void SetDirHorizontalExtent(int) override {}
    void KeepAlive() override {}

    DrawingListModel model;
    QString folder;
    QString status;
    QString label;
    NoPointer pointer;
};

double SearchSeconds(ModelHost& host) {
    FileSearch search(host);
    QElapsedTimer timer;
    timer.start();
    search.cmdAction_Click(QString::fromLatin1(kFindFilesCaption));
    return timer.nsecsElapsed() / 1e9;
}

// find DIR -iname '*.dwg' with its output to /dev/null.
double FindSeconds(const QString& root) {
    const QByteArray dir = root.toLocal8Bit();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char find[] = "find";
    char iname[] = "-iname";
    char pattern[] = "*.dwg";
    char* argv[] = {find, const_cast<char*>(dir.constData()), iname, pattern, nullptr};
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = timer.nsecsElapsed() / 1e9;
    posix_spawn_file_actions_destroy(&actions);
    return seconds;
}

// Both over the same tree, alternating, in one run; the counters give the ratio.
void BM_SearchTreeBesideFind(benchmark::State& state) {
    Tree& tree = Tree::Get();
    ModelHost host;
    host.folder = tree.Root();
    FindSeconds(tree.Root());  // warm the caches for both
    double search = 0;
    double find = 0;
    for (auto _ : state) {
        const double f = FindSeconds(tree.Root());
        const double s = SearchSeconds(host);
        state.SetIterationTime(s);
        search += s;
        find += f;
    }
    if (host.model.Count() != tree.Drawings()) {
        state.SkipWithError("the search did not list every drawing");
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["search_ms"] = 1000 * search / n;
    state.counters["find_ms"] = 1000 * find / n;
    state.counters["search_per_find"] = search / find;
    state.counters["rows"] = host.model.Count();
    state.counters["files"] = tree.Files();
    state.counters["folders"] = tree.Folders();
}
BENCHMARK(BM_SearchTreeBesideFind)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The same search through the window's own controls (shown offscreen): the status line
// repainted per folder, the window kept alive, rows into the shown list.
void BM_SearchTreeIntoWindow(benchmark::State& state) {
    Tree& tree = Tree::Get();
    QWidget form;
    auto* dir1 = new DirListBox(&form);
    auto* text1 = new QLineEdit(QStringLiteral("*.DWG"), &form);
    auto* check1 = new QCheckBox(QStringLiteral("Include Sub Directories"), &form);
    auto* action = new QPushButton(QStringLiteral("S&top Search"), &form);
    auto* command2 = new QPushButton(QStringLiteral("Print All &Drawing"), &form);
    auto* list = new DrawingListView(&form);
    auto* status = new QLabel(&form);
    auto* label1 = new QLabel(&form);
    list->setGeometry(0, 100, 700, 300);
    status->setGeometry(0, 60, 700, 40);
    form.resize(720, 420);
    form.show();
    NoPointer pointer;
    bool stop = false;
    WindowSearch window(
        {&form, nullptr, dir1, text1, check1, action, command2, list, nullptr, status, label1},
        pointer, stop, [] { return 2; }, [] {});
    dir1->SetPath(tree.Root());
    check1->blockSignals(true);
    check1->setChecked(true);
    check1->blockSignals(false);
    for (auto _ : state) {
        window.Search().cmdAction_Click(QString::fromLatin1(kFindFilesCaption));
    }
    if (list->Model().Count() != tree.Drawings()) {
        state.SkipWithError("the search did not list every drawing");
    }
}
BENCHMARK(BM_SearchTreeIntoWindow)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_FindIname(benchmark::State& state) {
    Tree& tree = Tree::Get();
    for (auto _ : state) {
        state.SetIterationTime(FindSeconds(tree.Root()));
    }
}
BENCHMARK(BM_FindIname)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// ---- Sorting ---------------------------------------------------------------------------

std::vector<DrawingRow> Rows(int n) {
    std::vector<DrawingRow> rows;
    rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int k = (i * 7919) % n;  // a scrambled order
        rows.push_back(DrawingRow{
            QStringLiteral("Plan %1.dwg").arg(k),
            QStringLiteral("/srv/jobs/Project %1/Sheet%2/").arg(k % 40).arg(k % 49),
            QStringLiteral("AutoCAD image"), QStringLiteral("%1.%2 KB").arg(k % 997).arg(k % 10),
            QStringLiteral("%1/%2/21 %3:04:05 PM")
                .arg(1 + k % 12)
                .arg(1 + k % 28)
                .arg(1 + k % 12)});
    }
    return rows;
}

// state.range(0): the column; state.range(1): 0 model alone, 1 shown in the list view,
// 2 in the list view with every row selected.
void BM_SortRows(benchmark::State& state) {
    const int column = static_cast<int>(state.range(0));
    const int mode = static_cast<int>(state.range(1));
    const std::vector<DrawingRow> rows = Rows(50000);
    for (auto _ : state) {
        state.PauseTiming();
        auto view = std::make_unique<DrawingListView>();
        DrawingListModel& model = view->Model();
        for (const auto& r : rows) {
            model.AddRow(r);
        }
        if (mode >= 1) {
            view->resize(700, 400);
            view->show();
            QApplication::processEvents();
        }
        if (mode == 2) {
            view->SelectAllRows();
        }
        state.ResumeTiming();
        model.ColumnClick(column);  // sorts all rows
        if (mode >= 1) {
            view->repaint();
        }
        benchmark::DoNotOptimize(model.Row(0));
        state.PauseTiming();
        view.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = 50000;
}
BENCHMARK(BM_SortRows)
    ->ArgsProduct({{0, 1, 3, 4}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// ---- The preview reader ------------------------------------------------------------------

std::vector<QString> Drawings() {
    std::vector<QString> files;
    const QString root = QStringLiteral(VORMEX_TESTDATA_DIR);
    for (const char* sub : {"/dwg/libredwg", "/dwg/acadsharp", "/dwg/ezdxf", "/dwg/pre_r13",
                            "/dxf/acadsharp", "/dxf/libredwg", "/dxf/ezdxf"}) {
        const QDir dir(root + QLatin1String(sub));
        for (const QString& name :
             dir.entryList({"*.dwg", "*.dxf", "*.dxfb"}, QDir::Files, QDir::Name)) {
            files.push_back(dir.filePath(name));
        }
    }
    return files;
}

void BM_Thumbnail(benchmark::State& state) {
    static const std::vector<QString> files = Drawings();
    const auto index = static_cast<std::size_t>(state.range(0));
    if (index >= files.size()) {
        state.SkipWithError("no such test drawing");
        return;
    }
    state.SetLabel(
        QDir(QStringLiteral(VORMEX_TESTDATA_DIR)).relativeFilePath(files[index]).toStdString());
    DrawingPreview p;
    for (auto _ : state) {
        p = ReadDrawingPreview(files[index]);
        benchmark::DoNotOptimize(p.image);
    }
    state.counters["bytes_read"] = static_cast<double>(p.bytesRead);
    state.counters["file_bytes"] = static_cast<double>(QFileInfo(files[index]).size());
    state.counters["image"] = p.outcome == PreviewOutcome::Image ? 1 : 0;
}
BENCHMARK(BM_Thumbnail)
    ->DenseRange(0, std::max(0, static_cast<int>(Drawings().size()) - 1))
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
