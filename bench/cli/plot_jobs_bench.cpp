// vormex-cli plot --jobs N as a script runs it: the program itself over a list file of D
// copies of the example drawings, to PDF, with a report.
//   BM_PlotJobs/<D>/<N>   wall time per run; as counters the CPU time (user + system) of
//                         the program and of its engines together ("cpu_s"), of the
//                         program alone ("cli_cpu_s") and of its busiest engine
//                         ("engine_max_s"). On a machine others share, wall time depends
//                         on them; the CPU times do not. The run plots D drawings on N
//                         cores in about (engine_max_s + cli_cpu_s / N) when nothing else
//                         runs.
//
//   cli_plot_jobs_bench [--benchmark_filter=BM_PlotJobs/1000/]   (QT_QPA_PLATFORM=offscreen)
//
// The engines run detached from the program; on Linux their CPU time is read from /proc
// while the run goes (their last moment of work, as they quit, is missed).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../GuiBenchMain.h"

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const char* const kExamples[] = {"bracket-r12.dxf", "flange.dxf", "floor-plan.dxf",
                                 "site-layouts.dxf", "text-styles.dxf"};

#ifdef __linux__
double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// User + system seconds the waited-for children of this process have used so far.
double ChildrenCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// The engines of the program `cliPid` (their socket names end in "-<pid>-<worker>" or
// "-<pid>"): user + system seconds each, as /proc shows them now.
void SampleEngines(qint64 cliPid, std::map<int, double>& seconds) {
    const QString mark = QStringLiteral("-%1").arg(cliPid);
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number) {
            continue;
        }
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QList<QByteArray> args = cmdline.readAll().split('\0');
        const auto socket = std::find(args.begin(), args.end(), QByteArray("--socket"));
        if (socket == args.end() || socket + 1 == args.end()) {
            continue;
        }
        const QString name = QString::fromUtf8(*(socket + 1));
        if (!name.endsWith(mark) && !name.contains(mark + QLatin1Char('-'))) {
            continue;
        }
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // The fields after the command's name: state is the 3rd, utime the 14th.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12) {
            seconds[pid] = (fields[11].toDouble() + fields[12].toDouble()) / tick;
        }
    }
}
#endif

void BM_PlotJobs(benchmark::State& state) {
    const auto drawings = static_cast<int>(state.range(0));
    const auto jobs = static_cast<int>(state.range(1));
    QTemporaryDir temp;
    const fs::path root(temp.path().toStdString());
    const fs::path folder = root / "drawings";
    fs::create_directories(folder);
    fs::create_directories(root / "home");
    QByteArray list;
    for (int i = 0; i < drawings; ++i) {
        const std::string example = kExamples[i % std::size(kExamples)];
        const fs::path copy = folder / ("d" + std::to_string(100000 + i) + "-" + example);
        fs::copy_file(fs::path(VORMEX_SOURCE_DIR) / "examples" / example, copy);
        list += QByteArray::fromStdString(copy.string()) + '\n';
    }
    QFile listFile(QString::fromStdString((root / "list.txt").string()));
    if (!listFile.open(QIODevice::WriteOnly) || listFile.write(list) != list.size()) {
        state.SkipWithError("the list was not written");
        return;
    }
    listFile.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString((root / "home").string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((root / "home/.config").string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((root / "home/.local/share").string()));
    const QStringList args{"plot",
                           "--files-from",
                           listFile.fileName(),
                           "--device",
                           "PDF.pc3",
                           "--paper",
                           "A4",
                           "--style",
                           "monochrome.ctb",
                           "--jobs",
                           QString::number(jobs),
                           "--report",
                           QString::fromStdString((root / "report.json").string())};
    double cpu = 0, cliCpu = 0, engineMax = 0;
    for (auto _ : state) {
        QProcess cli;
        cli.setProcessEnvironment(env);
        cli.setStandardOutputFile(QProcess::nullDevice());
        cli.setStandardErrorFile(QString::fromStdString((root / "err.txt").string()));
#ifdef __linux__
        const double before = ChildrenCpu();
        std::map<int, double> engines;
#endif
        cli.start(QStringLiteral(VORMEX_PROGRAM_DIR "/vormex-cli"), args);
        if (!cli.waitForStarted()) {
            state.SkipWithError("vormex-cli did not start");
            break;
        }
        while (!cli.waitForFinished(200)) {
#ifdef __linux__
            SampleEngines(cli.processId(), engines);
#endif
        }
        if (cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0) {
            state.SkipWithError("vormex-cli plot failed: see err.txt");
            break;
        }
#ifdef __linux__
        const double own = ChildrenCpu() - before;
        cliCpu += own;
        cpu += own;
        double busiest = 0;
        for (const auto& [pid, seconds] : engines) {
            cpu += seconds;
            busiest = std::max(busiest, seconds);
        }
        engineMax += busiest;
#endif
    }
    const double runs =
        static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["cpu_s"] = cpu / runs;
    state.counters["cli_cpu_s"] = cliCpu / runs;
    state.counters["engine_max_s"] = engineMax / runs;
    state.counters["s/drawing"] =
        benchmark::Counter(static_cast<double>(drawings) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// The 10,000-drawing list of the examples on one and two cores, and a shorter one.
BENCHMARK(BM_PlotJobs)
    ->ArgsProduct({{1000, 10000}, {1, 2}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    return vx::bench::RunWithGui(argc, argv);
}
