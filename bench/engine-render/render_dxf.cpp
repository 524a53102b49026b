// vormex-render: plots drawing files with the engine's renderer, for comparisons with other
// renderers and for timing batches.
//
//   vormex-render [options] DRAWING OUTPUT           one drawing (.pdf .png .svg .plt)
//   vormex-render [options] -d FOLDER DRAWING...     a batch: FOLDER/<name>.pdf each
//
// Options: --layout NAME (default: model space), --paper NAME (default A3), --dpi N (PNG),
// --ctb FILE (a plot style table), --threads N (a batch on N threads, each with its own
// fonts), --format pdf|png|svg|plt (batch output), --report (what was drawn, per drawing),
// --table-cells (every table drawn from its cells, its picture block set aside).
// Exit status: 0 when every drawing was plotted, 1 otherwise, 2 on a usage error.
#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "PlotJob.h"
#include "engine/plotstyle/PlotStyleFile.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: vormex-render [--layout NAME] [--paper NAME] [--dpi N] [--ctb FILE] "
                 "[--report] DRAWING OUTPUT\n"
                 "       vormex-render [options] [--threads N] [--format EXT] -d FOLDER "
                 "DRAWING...\n");
    return 2;
}

void PrintReport(const std::string& name, const vx::bench::PlotResult& r) {
    std::printf(
        "%s: entities=%lld drawn=%lld visible=%lld primitives=%lld ink=[%.1f %.1f %.1f %.1f]\n",
        name.c_str(), static_cast<long long>(r.report.entities),
        static_cast<long long>(r.report.drawn), static_cast<long long>(r.report.visible),
        static_cast<long long>(r.stats.primitives), r.stats.inkBounds.xmin, r.stats.inkBounds.ymin,
        r.stats.inkBounds.xmax, r.stats.inkBounds.ymax);
    for (const auto& [type, count] : r.report.notDrawn) {
        std::printf("  not drawn: %s x%lld\n", type.c_str(), static_cast<long long>(count));
    }
    for (const auto& w : r.report.warnings) {
        std::printf("  warning: %s\n", w.c_str());
    }
    for (const auto& s : r.report.substitutions) {
        std::printf("  font: %s\n", s.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    vx::bench::PlotJob base;
    std::string folder, format = "pdf", ctb;
    int threads = 1;
    bool report = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (a == "--layout" || a == "--paper" || a == "--dpi" || a == "--ctb" || a == "-d" ||
            a == "--threads" || a == "--format") {
            const auto v = value();
            if (!v) {
                return Usage();
            }
            if (a == "--layout") {
                base.layout = *v;
            } else if (a == "--paper") {
                base.paper = *v;
            } else if (a == "--dpi") {
                base.dotsPerInch = std::max(10, std::atoi(v->c_str()));
            } else if (a == "--ctb") {
                ctb = *v;
            } else if (a == "-d") {
                folder = *v;
            } else if (a == "--threads") {
                threads = std::clamp(std::atoi(v->c_str()), 1, 64);
            } else {
                format = *v;
            }
        } else if (a == "--report") {
            report = true;
        } else if (a == "--table-cells") {
            base.tablesFromCells = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else {
            args.push_back(a);
        }
    }
    std::optional<vx::engine::plotstyle::PlotStyleTable> table;
    if (!ctb.empty()) {
        try {
            table = vx::engine::plotstyle::ReadPlotStyleFile(ctb);
            base.table = &*table;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vormex-render: %s\n", e.what());
            return 2;
        }
    }
    std::vector<vx::bench::PlotJob> jobs;
    if (folder.empty()) {
        if (args.size() != 2) {
            return Usage();
        }
        vx::bench::PlotJob j = base;
        j.drawing = args[0];
        j.output = QString::fromStdString(args[1]);
        j.kind = vx::bench::KindOf(j.output);
        jobs.push_back(j);
    } else {
        if (args.empty()) {
            return Usage();
        }
        for (const std::string& path : args) {
            vx::bench::PlotJob j = base;
            j.drawing = path;
            j.output = QString::fromStdString(
                (std::filesystem::path(folder) / std::filesystem::path(path).stem()).string() +
                "." + format);
            j.kind = vx::bench::KindOf(j.output);
            jobs.push_back(j);
        }
    }
    std::atomic<std::size_t> next{0};
    std::atomic<int> failures{0};
    std::mutex print;
    const auto worker = [&] {
        vx::engine::fonts::FontResolver fonts;  // one per thread: resolvers are not shared
        for (std::size_t i; (i = next++) < jobs.size();) {
            const vx::bench::PlotResult r = vx::bench::Plot(jobs[i], fonts);
            std::lock_guard<std::mutex> lock(print);
            if (!r.ok) {
                ++failures;
                std::fprintf(stderr, "vormex-render: %s: %s\n", jobs[i].drawing.string().c_str(),
                             r.error.c_str());
            } else if (report) {
                PrintReport(jobs[i].drawing.string(), r);
            }
        }
    };
    const int n = std::min<int>(threads, static_cast<int>(jobs.size()));
    std::vector<std::thread> pool;
    for (int t = 1; t < n; ++t) {
        pool.emplace_back(worker);
    }
    worker();
    for (auto& t : pool) {
        t.join();
    }
    return failures > 0 ? 1 : 0;
}
