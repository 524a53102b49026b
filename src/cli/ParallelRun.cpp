#include "cli/ParallelRun.h"

#include <QIODevice>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "cad/ClassRegistry.h"
#include "cli/CadSession.h"
#include "cli/RunPrinter.h"
#include "cli/TerminalText.h"
#include "search/FileSystemPath.h"

namespace vx::cli {

namespace {

// Writes bytes a worker wrote to its own stream to the program's stream: as they are
// where the stream has a device, as text where it has none.
void Forward(QTextStream& to, const QByteArray& bytes) {
    if (QIODevice* device = to.device()) {
        to.flush();
        device->write(bytes);
    } else {
        to << search::FromFileSystemPath(bytes.toStdString());
    }
    FlushNow(to);
}

}  // namespace

struct ParallelRun::State {
    explicit State(std::size_t rows) : next(rows), done(rows), failures(rows) {}

    mutable std::mutex mutex;
    std::condition_variable changed;

    // The start: workers through their connection and check, and the word to go on.
    int ready = 0;
    int connected = 0;
    std::vector<std::optional<QString>> problems;
    enum class Go { Wait, Run, Quit } go = Go::Wait;

    // The queue: the rows below `next` are still to be taken, from the last one down.
    std::size_t next;
    std::vector<std::optional<DrawingReport>> done;
    std::size_t doneCount = 0;
    std::vector<std::optional<std::string>> failures;
    bool stopped = false;
    bool cadEnded = false;
    bool cadFailed = false;

    // The progress line on standard error, on a terminal.
    QString status;
    bool progressShown = false;

    // Writes whole lines of a worker's stream, with the progress line kept below them.
    void Emit(CommandIo& io, bool toOut, const QByteArray& lines) {
        const std::lock_guard lock(mutex);
        ClearProgress(io);
        Forward(toOut ? io.out : io.err, lines);
        DrawProgress(io);
    }
    void DrawProgress(CommandIo& io) {
        if (!io.errTerminal || status.isEmpty()) {
            return;
        }
        const std::size_t total = done.size();
        const std::size_t taken = total - next;
        io.err << "\r\x1b[K"
               << ProgressText(static_cast<int>(taken * 100 / total), taken, total, status);
        io.err.flush();
        progressShown = true;
    }
    void ClearProgress(CommandIo& io) {
        if (progressShown) {
            io.err << "\r\x1b[K";
            io.err.flush();
            progressShown = false;
        }
    }
};

namespace {

// A worker's standard output or error: passes on whole lines only, so that lines of
// workers never mix; what is left of a line at the end goes as it is.
class LineDevice : public QIODevice {
public:
    explicit LineDevice(std::function<void(const QByteArray&)> send) : send_(std::move(send)) {
        open(QIODevice::WriteOnly);
    }
    ~LineDevice() override {
        if (!pending_.isEmpty()) {
            send_(pending_);
        }
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        pending_.append(data, size);
        const qsizetype end = pending_.lastIndexOf('\n');
        if (end >= 0) {
            send_(pending_.left(end + 1));
            pending_.remove(0, end + 1);
        }
        return size;
    }

private:
    std::function<void(const QByteArray&)> send_;
    QByteArray pending_;
};

}  // namespace

// One worker's printer: its reports go to the run's list, its status to the run's
// progress line; the drawings it could not finish are listed by the run at its end.
class ParallelRun::Worker : public RunPrinter {
public:
    Worker(CommandIo& io, CadSession& session, State& state, const ParallelRun& run)
        : RunPrinter(io, session.Connection(), session, {}), state_(state), run_(run) {}
    ~Worker() override { GiveUp(); }

    // Takes the next row of the queue; none when it is empty or the run is stopped.
    std::optional<std::size_t> Take() {
        const std::lock_guard lock(state_.mutex);
        if (state_.next == 0 || state_.stopped) {
            return std::nullopt;
        }
        taken_.push_back(--state_.next);
        if (run_.onRowTaken) {
            run_.onRowTaken(taken_.back());
        }
        return taken_.back();
    }
    // The row of the drawing under way.
    std::size_t Current() const {
        const std::lock_guard lock(state_.mutex);
        return taken_.empty() ? 0 : taken_.front();
    }
    // Puts the report of the drawing just done in its row.
    void Record() {
        const std::lock_guard lock(state_.mutex);
        if (taken_.empty()) {
            return;
        }
        const std::size_t row = taken_.front();
        taken_.pop_front();
        state_.done[row] = DoneInRunOrder().back();
        ++state_.doneCount;
        if (run_.onRowEnded) {
            run_.onRowEnded(row);
        }
        if (run_.onDrawingDone) {
            run_.onDrawingDone(row, *state_.done[row]);
        }
    }
    // The rows taken and not done are given up (the worker's CAD application failed).
    void GiveUp() {
        const std::lock_guard lock(state_.mutex);
        for (const std::size_t row : taken_) {
            if (run_.onRowEnded) {
                run_.onRowEnded(row);
            }
        }
        taken_.clear();
    }
    void DrawingFailed(const std::string& path, const std::string& description) override {
        RunPrinter::DrawingFailed(path, description);
        const std::lock_guard lock(state_.mutex);
        if (!taken_.empty()) {
            state_.failures[taken_.front()] = description;
        }
    }
    void RunEnded(const plot::RunSummary& summary) override {
        const std::lock_guard lock(state_.mutex);
        state_.stopped = state_.stopped || summary.stopped;
    }

private:
    State& state_;
    const ParallelRun& run_;
    std::deque<std::size_t> taken_;  // rows taken and not yet done, the oldest first
};

ParallelRun::ParallelRun(CommandIo& io, std::vector<std::string> drawings, int workers,
                         WorkerBackEnds backEnds)
    : io_(io),
      drawings_(std::move(drawings)),
      workers_(std::max(1, workers)),
      backEnds_(std::move(backEnds)),
      state_(std::make_unique<State>(drawings_.size())) {
    state_->problems.resize(static_cast<std::size_t>(workers_));
}

ParallelRun::~ParallelRun() = default;

void ParallelRun::Work(int worker, const plot::PlotRequest& request) {
    State& s = *state_;
    LineDevice outDevice([this](const QByteArray& b) { state_->Emit(io_, true, b); });
    LineDevice errDevice([this](const QByteArray& b) { state_->Emit(io_, false, b); });
    QTextStream out(&outDevice);
    QTextStream err(&errDevice);
    CommandIo io{out, err, io_.terminal, false};

    // The worker's own back ends, session and engine, all made in this thread.
    std::unique_ptr<cad::ClassRegistry> registry = backEnds_ ? backEnds_(worker) : nullptr;
    std::optional<CadSession> session;
    bool connected = false;
    std::optional<QString> problem;
    if (registry) {
        session.emplace(io, *registry, QStringLiteral("plot"));
        session->showStatus = io_.errTerminal;
        try {
            connected = session->Connect();
            if (connected && check) {
                problem = check(*session);
            }
        } catch (const cad::ProgramEnded&) {
            connected = false;
        } catch (const cad::CadError& e) {
            problem = QString::fromStdString(e.Description());
            const std::lock_guard lock(s.mutex);
            s.cadFailed = true;
        }
    }
    err.flush();
    {
        std::unique_lock lock(s.mutex);
        ++s.ready;
        s.connected += connected ? 1 : 0;
        s.problems[static_cast<std::size_t>(worker)] = problem;
        s.changed.notify_all();
        s.changed.wait(lock, [&] { return s.go != State::Go::Wait; });
        if (s.go == State::Go::Quit || !connected) {
            return;
        }
    }

    Worker printer(io, *session, s, *this);
    printer.onDrawingDone = [&] { printer.Record(); };
    if (io_.errTerminal) {
        printer.onStatus = [&](const QString& text) {
            const std::lock_guard lock(s.mutex);
            s.status = text;
            s.DrawProgress(io_);
        };
    }
    plot::PlotService service(session->Connection(), *session);
    if (prepareWorker) {
        prepareWorker(worker, printer, service);
    }
    plot::PlotRequest mine = request;
    mine.rows.clear();
    if (plotFileName) {
        mine.plotFileName = [&](const std::string& drawing, const std::string& layout) {
            return plotFileName(printer.Current(), drawing, layout);
        };
    }
    mine.nextRow = [&]() -> std::optional<plot::RunRow> {
        if (const auto row = printer.Take()) {
            return plot::RunRow{drawings_[*row], true};
        }
        return std::nullopt;
    };
    try {
        service.Run(mine, printer);
        printer.Finish();
    } catch (const cad::ProgramEnded&) {
        // This worker's CAD application is gone; the others go on, and its drawing
        // under way stays as never reached.
        const std::lock_guard lock(s.mutex);
        s.cadEnded = true;
    } catch (const cad::CadError& e) {
        err << "vormex-cli plot: " << QString::fromStdString(e.Description()) << '\n';
        const std::lock_guard lock(s.mutex);
        s.cadFailed = true;
    }
    printer.GiveUp();
    out.flush();
    err.flush();
    session->Finish();
    err.flush();
}

ParallelRun::Outcome ParallelRun::Run(const plot::PlotRequest& request) {
    State& s = *state_;
    std::vector<std::thread> threads;
    for (int w = 0; w < workers_; ++w) {
        threads.emplace_back([this, w, &request] { Work(w, request); });
    }
    Outcome outcome = Outcome::Ran;
    std::optional<QString> problem;
    {
        std::unique_lock lock(s.mutex);
        s.changed.wait(lock, [&] { return s.ready == workers_; });
        for (const auto& p : s.problems) {
            if (p && !problem) {
                problem = p;
            }
        }
        outcome = s.connected == 0 ? Outcome::NoCad : problem ? Outcome::Refused : Outcome::Ran;
    }
    if (problem && outcome == Outcome::Refused) {
        const std::lock_guard lock(s.mutex);
        io_.err << "vormex-cli plot: " << *problem << '\n';
    }
    if (outcome == Outcome::Ran && beforeFirst && !beforeFirst()) {
        outcome = Outcome::Refused;
    }
    // An interrupt is the stop request from before the first drawing to the last.
    std::optional<RunPrinter::InterruptAsStop> interrupts;
    if (outcome == Outcome::Ran) {
        interrupts.emplace();
    }
    {
        const std::lock_guard lock(s.mutex);
        s.go = outcome == Outcome::Ran ? State::Go::Run : State::Go::Quit;
        s.changed.notify_all();
    }
    for (auto& t : threads) {
        t.join();
    }
    interrupts.reset();
    if (outcome == Outcome::Ran) {
        Finish();
    }
    io_.err.flush();
    return outcome;
}

void ParallelRun::Finish() {
    State& s = *state_;
    s.ClearProgress(io_);
    // The drawings the run could not finish, once for all workers, in the run's order.
    std::vector<plot::FailedDrawing> failures;
    for (std::size_t row = drawings_.size(); row-- > 0;) {
        if (s.failures[row]) {
            failures.push_back({drawings_[row], *s.failures[row]});
        }
    }
    if (!failures.empty()) {
        const Message m = plot::FailuresMessage(failures);
        io_.err << "vormex-cli plot: " << TerminalLines(m.title) << ": "
                << TerminalLines(m.text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
    }
    reports_.resize(drawings_.size());
    for (std::size_t row = drawings_.size(); row-- > 0;) {
        if (s.done[row]) {
            reports_[row] = std::move(*s.done[row]);
            continue;
        }
        DrawingReport& d = reports_[row];
        d.drawing = drawings_[row];
        d.result = DrawingResult::NotReached;
        d.reason = s.stopped ? "the run was stopped" : "the run ended before it";
        d.errors.push_back(d.reason);
        QString line = Field(search::FromFileSystemPath(d.drawing)) + QLatin1Char('\t') +
                       Field(search::FromFileSystemPath(d.ResultText()));
        WriteExact(io_.out, line + QLatin1Char('\n'));
    }
    FlushNow(io_.out);
}

std::vector<const DrawingReport*> ParallelRun::DoneInListOrder() const {
    std::vector<const DrawingReport*> inListOrder;
    inListOrder.reserve(state_->doneCount);
    for (const auto& d : state_->done) {
        if (d) {
            inListOrder.push_back(&*d);
        }
    }
    return inListOrder;
}

bool ParallelRun::CadEnded() const {
    return state_->cadEnded;
}

bool ParallelRun::CadFailed() const {
    return state_->cadFailed;
}

}  // namespace vx::cli
