#include "cli/RunPrinter.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <csignal>
#include <deque>
#include <string_view>
#include <unordered_map>

#include "cli/CadSession.h"
#include "cli/TerminalText.h"
#include "engine/load/DrawingLoader.h"
#include "engine/remote/RemoteEngine.h"
#include "plot/PlotPaths.h"
#include "search/FileSystemPath.h"

namespace vx::cli {

namespace {

// Read by the workers of a parallel run too.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    interrupted = true;
    // A call that the CAD engine works on is given up at once.
    engine::remote::CancelCalls();
    // A second interrupt ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

template <class T>
void AddOnce(std::vector<T>& list, const T& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) {
        list.push_back(item);
    }
}

int TerminalWidth() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info) &&
        info.srWindow.Right - info.srWindow.Left > 10) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
#else
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 10) {
        return size.ws_col;
    }
#endif
    return 80;
}

}  // namespace

RunPrinter::InterruptAsStop::InterruptAsStop() {
    interrupted = false;
    engine::remote::ClearCancel();
    previous_ = std::signal(SIGINT, OnInterrupt);
}

RunPrinter::InterruptAsStop::~InterruptAsStop() {
    engine::remote::ClearCancel();
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

RunPrinter::RunPrinter(CommandIo& io, cad::CadConnection& connection, MessageService& messages,
                       std::vector<std::string> drawings)
    : io_(io), connection_(connection), messages_(messages), drawings_(std::move(drawings)) {}

bool RunPrinter::StopRequested() {
    if (interrupted) {
        stop_ = true;
    }
    return stop_;
}

void RunPrinter::Progress(int /*counter*/, int /*rows*/, float percentage) {
    progress_ = percentage;
    DrawProgress();
}

void RunPrinter::DrawingStarted(const std::string& path) {
    Done();
    Current c;
    c.path = path;
    c.timer.start();
    current_ = std::move(c);
    Status("Opening Drawing " + path + " ...");
}

void RunPrinter::DrawingOpened(const std::string& /*path*/, const cad::Strings& warnings) {
    if (current_) {
        current_->readWarnings = warnings;
    }
}

void RunPrinter::DrawingNotOpened(const std::string& /*path*/, const std::string& reason) {
    if (current_) {
        current_->notOpened = reason;
    }
}

void RunPrinter::PlotStarted(const std::string& path, bool layouts) {
    if (current_) {
        current_->found = true;
    }
    Status((layouts ? "Printing All Layouts of " : "Printing Model Space from Drawing ") + path +
           " ...");
}

void RunPrinter::LayoutPlotted(const std::string& /*path*/, const cad::PlotOutcome& plot) {
    if (current_) {
        current_->plots.push_back(plot);
    }
}

void RunPrinter::ReferenceFound(const std::string& /*path*/,
                                const plot::XrefReload::Relocation& found) {
    if (current_) {
        current_->foundXrefs.push_back({found.name, found.stored, found.found});
    }
    if (onReferenceFound) {
        onReferenceFound(found.found);
    }
}

void RunPrinter::DrawingFailed(const std::string& /*path*/, const std::string& description) {
    if (current_) {
        current_->failure = description;
    }
}

void RunPrinter::DrawingClosing(const std::string& path) {
    ProbeReferences();
    Status("Closing Drawing " + path + " ...");
}

void RunPrinter::DrawingClosed(const std::string& /*path*/) {
    Done();
}

void RunPrinter::RunEnded(const plot::RunSummary& summary) {
    if (!summary.failures.empty()) {
        ClearProgress();
        messages_.Show(plot::FailuresMessage(summary.failures));
    }
}

void RunPrinter::Status(const std::string& text) {
    if (!io_.errTerminal && !onStatus) {
        return;  // shown nowhere
    }
    status_ = TerminalLines(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (onStatus) {
        onStatus(status_);
    }
    DrawProgress();
}

// The external references of the drawing that are still not loaded, asked while it is
// open: a reference block whose drawing gives no model space ("No database"); and the
// file each reference names, from the drawing's folder.
void RunPrinter::ProbeReferences() {
    if (!current_ || !connection_.CadApp) {
        return;
    }
    Current& c = *current_;
    c.missing.clear();
    c.references.clear();
    try {
        auto doc = connection_.CadApp->Application()->ActiveDocument();
        const std::string name = plot::LastComponent(c.path);
        if (doc->Name() != name || !plot::IsPathOf(doc->Path(), name, c.path)) {
            return;
        }
        auto blocks = doc->Blocks();
        for (std::int32_t i = 0, n = blocks->Count(); i < n; ++i) {
            try {
                auto block = blocks->Item(i);
                if (!block->IsXRef()) {
                    continue;
                }
                const auto file =
                    engine::load::ResolveXrefPath(block->Path(), plot::FsPath(c.path).parent_path())
                        .u8string();
                AddOnce(c.references, std::string(file.begin(), file.end()));
                try {
                    block->XRefDatabase()->ModelSpace()->Count();
                } catch (const cad::CadError& e) {
                    if (e.Description() == cad::kNoDatabase) {
                        c.missing.push_back({block->Name(), block->Path()});
                    }
                }
            } catch (const cad::CadError&) {
                // A block that cannot be read is no reference this report can name.
            }
        }
    } catch (const cad::CadError&) {
        // Nothing open to ask: nothing to report.
    }
}

void RunPrinter::Done() {
    if (!current_) {
        return;
    }
    done_.push_back(Report(*current_));
    current_.reset();
    if (onDrawingReport) {
        onDrawingReport(done_.back());
    }
    // The report first: once the line is out, the report holds the drawing too.
    if (onDrawingDone) {
        onDrawingDone();
    }
    PrintLine(done_.back());
}

DrawingReport RunPrinter::Report(const Current& c) const {
    DrawingReport d;
    d.drawing = c.path;
    d.seconds = static_cast<double>(c.timer.elapsed()) / 1000.0;
    d.missingXrefs = c.missing;
    d.foundXrefs = c.foundXrefs;
    d.references = c.references;
    if (renamedOf) {
        d.renamed = renamedOf(c.path);
    }
    const std::size_t damage = c.readWarnings.size();
    for (const auto& w : c.readWarnings) {
        AddOnce(d.warnings, w);
    }
    const auto& plots = c.plots;

    // The plots, and per layout whether one of its plots wrote something.
    std::vector<std::string> layouts;
    std::vector<std::string> plottedLayouts;
    for (const auto& r : plots) {
        d.plots.push_back({r.layout, r.device, r.paper, r.styleTable, r.outputFile, r.ok, r.error,
                           r.notes, r.entities, r.drawn});
        AddOnce(layouts, r.layout);
        if (r.ok) {
            AddOnce(plottedLayouts, r.layout);
            if (!r.outputFile.empty()) {
                AddOnce(d.outputs, r.outputFile);
            }
        }
        for (const auto& n : r.notes) {
            // A substituted font is named in its own list, not again among the warnings.
            const bool fontNote = std::any_of(r.fonts.begin(), r.fonts.end(), [&n](const auto& f) {
                return n == "Font " + f.asked + " drawn with " + f.used + ": " + f.reason;
            });
            if (!fontNote) {
                AddOnce(d.warnings, n);
            }
        }
        for (const auto& f : r.fonts) {
            const bool known = std::any_of(d.fonts.begin(), d.fonts.end(), [&](const auto& k) {
                return k.font == f.asked && k.usedFont == f.used;
            });
            if (!known) {
                d.fonts.push_back({f.asked, f.used, f.reason});
            }
        }
    }
    std::string firstError;
    for (const auto& r : plots) {
        if (r.ok) {
            continue;
        }
        const std::string text = r.layout + ": " + r.error;
        const bool layoutPlotted = std::find(plottedLayouts.begin(), plottedLayouts.end(),
                                             r.layout) != plottedLayouts.end();
        if (layoutPlotted) {
            // Another plot of the same layout went through (the device after the file).
            AddOnce(d.warnings, text);
        } else {
            AddOnce(d.errors, text);
            if (firstError.empty()) {
                firstError = text;
            }
        }
    }

    if (const auto& failure = c.failure) {
        d.result = DrawingResult::Failed;
        d.reason = *failure;
        // The plot's own error says it already, with its layout.
        const bool said = std::any_of(d.errors.begin(), d.errors.end(), [&](const auto& e) {
            return e.size() > failure->size() && e.ends_with(": " + *failure);
        });
        if (!said) {
            AddOnce(d.errors, *failure);
        }
    } else if (!c.found) {
        d.result = DrawingResult::NotOpened;
        d.reason = c.notOpened.value_or("the CAD application did not open it");
        AddOnce(d.errors, d.reason);
    } else if (plots.empty()) {
        d.result = DrawingResult::Failed;
        d.reason = stop_ ? "the run was stopped" : "nothing was plotted";
        AddOnce(d.errors, d.reason);
    } else if (plottedLayouts.size() < layouts.size()) {
        d.result = DrawingResult::Failed;
        d.reason = firstError;
    } else {
        d.result = DrawingResult::Plotted;
        // A plot that may not show what the drawing holds says so.
        std::vector<std::string> doubts;
        for (const auto& r : plots) {
            if (r.ok && r.blank) {
                AddOnce(doubts, "the page of " + r.layout + " is blank");
            }
        }
        if (damage > 0) {
            doubts.push_back("the drawing was read with " + std::to_string(damage) +
                             (damage == 1 ? " damage warning" : " damage warnings"));
        }
        if (!doubts.empty()) {
            d.result = DrawingResult::PlottedWithWarnings;
            for (const auto& doubt : doubts) {
                d.reason += (d.reason.empty() ? "" : "; ") + doubt;
            }
        }
    }
    return d;
}

void RunPrinter::PrintLine(const DrawingReport& d) {
    ClearProgress();
    WriteDrawingLine(io_, d);
    DrawProgress();
}

void WriteDrawingLine(CommandIo& io, const DrawingReport& d) {
    std::string result = d.ResultText();
    for (const auto& x : d.foundXrefs) {
        result += "; reference " + x.name + " found at " + x.found;
    }
    for (const auto& r : d.renamed) {
        result += "; " + r;
    }
    QString line = Field(search::FromFileSystemPath(d.drawing)) + QLatin1Char('\t') +
                   Field(search::FromFileSystemPath(result));
    for (const auto& out : d.outputs) {
        line += QLatin1Char('\t') + Field(search::FromFileSystemPath(out));
    }
    WriteExact(io.out, line + QLatin1Char('\n'));
    FlushNow(io.out);
}

void RunPrinter::DrawProgress() {
    if (!io_.errTerminal || status_.isEmpty()) {
        return;
    }
    io_.err << "\r\x1b[K"
            << ProgressText(static_cast<int>(progress_), done_.size() + (current_ ? 1 : 0),
                            drawings_.size(), status_);
    io_.err.flush();
    progressShown_ = true;
}

QString ProgressText(int percent, std::size_t counter, std::size_t total, const QString& status) {
    const QString head = QStringLiteral("[%1% %2/%3] ").arg(percent, 3).arg(counter).arg(total);
    QString text = head + status;
    const int width = TerminalWidth() - 1;
    if (text.size() > width) {
        // The middle of the path goes: what happens stands before it, the drawing's name
        // at its end.
        qsizetype cut = status.indexOf(search::NativeSeparator());
        cut = cut < 0 ? width / 3 : head.size() + cut + 1;
        if (cut > width - 24) {
            cut = width / 3;
        }
        text = text.left(cut) + QStringLiteral("...") + text.right(width - cut - 3);
    }
    return text;
}

void RunPrinter::ClearProgress() {
    if (progressShown_) {
        io_.err << "\r\x1b[K";
        io_.err.flush();
        progressShown_ = false;
    }
}

namespace {

constexpr std::size_t kNoReport = static_cast<std::size_t>(-1);

// For each row of the list, the index of its report among `done`: the first report of its
// drawing that no earlier row took; kNoReport for a row not done. Linear in the run, so
// that writing the report as a long run goes on stays cheap.
std::vector<std::size_t> ReportsOfRows(const std::vector<std::string>& list,
                                       const std::vector<DrawingReport>& done) {
    std::unordered_map<std::string_view, std::deque<std::size_t>> byDrawing;
    for (std::size_t i = 0; i < done.size(); ++i) {
        byDrawing[done[i].drawing].push_back(i);
    }
    std::vector<std::size_t> at(list.size(), kNoReport);
    for (std::size_t row = 0; row < list.size(); ++row) {
        const auto it = byDrawing.find(list[row]);
        if (it != byDrawing.end() && !it->second.empty()) {
            at[row] = it->second.front();
            it->second.pop_front();
        }
    }
    return at;
}

}  // namespace

std::vector<const DrawingReport*> RunPrinter::DoneInListOrder() const {
    std::vector<const DrawingReport*> inListOrder;
    inListOrder.reserve(done_.size());
    for (auto it = done_.rbegin(); it != done_.rend(); ++it) {
        inListOrder.push_back(&*it);
    }
    return inListOrder;
}

std::vector<DrawingReport> RunPrinter::Finish() {
    Done();
    // The drawing list's order; a listed drawing the run never reached says so.
    const std::vector<std::size_t> at = ReportsOfRows(drawings_, done_);
    std::vector<DrawingReport> inListOrder(drawings_.size());
    std::vector<bool> reached(drawings_.size(), false);
    for (std::size_t row = 0; row < drawings_.size(); ++row) {
        if (at[row] != kNoReport) {
            reached[row] = true;
            inListOrder[row] = done_[at[row]];
        }
    }
    for (std::size_t row = drawings_.size(); row-- > 0;) {
        if (!reached[row]) {
            DrawingReport& d = inListOrder[row];
            d.drawing = drawings_[row];
            d.result = DrawingResult::NotReached;
            d.reason = stop_ ? "the run was stopped" : "the run ended before it";
            d.errors.push_back(d.reason);
            PrintLine(d);
        }
    }
    ClearProgress();
    status_.clear();
    return inListOrder;
}

}  // namespace vx::cli
