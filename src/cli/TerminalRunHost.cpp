#include "TerminalRunHost.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>

#include "CadSession.h"
#include "TerminalText.h"
#include "engine/journal/PlotJournal.h"
#include "engine/remote/RemoteEngine.h"
#include "plot/PlotPaths.h"
#include "search/FileSystemPath.h"

namespace vx::cli {

namespace {

constexpr char kOpening[] = "Opening Drawing ";
constexpr char kPrintingModel[] = "Printing Model Space from Drawing ";
constexpr char kPrintingLayouts[] = "Printing All Layouts of ";
constexpr char kClosing[] = "Closing Drawing ";

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
    interrupted = 1;
    // A call that the CAD engine works on is given up at once.
    engine::remote::CancelCalls();
    // A second interrupt ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

bool StartsWith(const std::string& text, const char* head) {
    return text.rfind(head, 0) == 0;
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

TerminalRunHost::InterruptAsStop::InterruptAsStop() {
    interrupted = 0;
    engine::remote::ClearCancel();
    previous_ = std::signal(SIGINT, OnInterrupt);
}

TerminalRunHost::InterruptAsStop::~InterruptAsStop() {
    engine::remote::ClearCancel();
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

TerminalRunHost::TerminalRunHost(CommandIo& io, cad::CadConnection& connection,
                                 std::vector<Row> rows, std::string copies, bool layouts,
                                 std::string folder)
    : io_(io),
      connection_(connection),
      rows_(std::move(rows)),
      copies_(std::move(copies)),
      layouts_(layouts),
      folder_(std::move(folder)) {}

std::string TerminalRunHost::RowFileName(int row) {
    return rows_.at(static_cast<std::size_t>(row)).name;
}

std::string TerminalRunHost::RowPath(int row) {
    return rows_.at(static_cast<std::size_t>(row)).path;
}

bool TerminalRunHost::StopRequested() {
    if (interrupted) {
        stop_ = true;
    }
    return stop_;
}

void TerminalRunHost::SetStopRequested(bool value) {
    stop_ = value;
    if (!value) {
        interrupted = 0;
    }
}

void TerminalRunHost::SetStatus(const std::string& text) {
    if (StartsWith(text, kOpening)) {
        Done();
        Begin(runs_ ? runs_->StrFileName : std::string());
    } else if (StartsWith(text, kPrintingModel) || StartsWith(text, kPrintingLayouts)) {
        if (current_) {
            current_->found = true;
        }
    } else if (StartsWith(text, kClosing)) {
        ProbeReferences();
    } else {
        Done();
    }
    status_ = TerminalLines(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    DrawProgress();
}

void TerminalRunHost::SetProgress(float value) {
    // The bar goes back to 0 after each drawing; the line keeps how far the run has come.
    if (value > 0) {
        progress_ = value;
        DrawProgress();
    }
}

void TerminalRunHost::Begin(const std::string& path) {
    Current c;
    c.path = path;
    if (const auto* journal = engine::automation::JournalOf(connection_.CadApp)) {
        c.plotMark = journal->Size();
        c.openMark = journal->OpenCount();
    }
    c.failureMark = runs_ ? runs_->Failures().size() : 0;
    c.relocationMark = runs_ ? runs_->Xrefs().Relocations().size() : 0;
    c.timer.start();
    current_ = std::move(c);
}

// The external references of the drawing that are still not loaded, asked while it is
// open: a reference block whose drawing gives no model space ("No database").
void TerminalRunHost::ProbeReferences() {
    if (!current_ || !connection_.CadApp) {
        return;
    }
    Current& c = *current_;
    c.missing.clear();
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

void TerminalRunHost::Done() {
    if (!current_) {
        return;
    }
    done_.push_back(Report(*current_));
    current_.reset();
    // The report first: once the line is out, the report holds the drawing too.
    if (onDrawingDone) {
        onDrawingDone();
    }
    PrintLine(done_.back());
}

DrawingReport TerminalRunHost::Report(const Current& c) const {
    DrawingReport d;
    d.drawing = c.path;
    d.seconds = static_cast<double>(c.timer.elapsed()) / 1000.0;
    d.missingXrefs = c.missing;
    if (runs_) {
        const auto& moved = runs_->Xrefs().Relocations();
        for (std::size_t i = c.relocationMark; i < moved.size(); ++i) {
            d.foundXrefs.push_back({moved[i].name, moved[i].stored, moved[i].found});
        }
    }

    std::optional<std::string> failure;
    if (runs_) {
        const auto& failures = runs_->Failures();
        for (std::size_t i = c.failureMark; i < failures.size(); ++i) {
            if (failures[i].path == c.path) {
                failure = failures[i].description;
            }
        }
    }

    const auto* journal = engine::automation::JournalOf(connection_.CadApp);
    std::vector<engine::automation::PlotRecord> plots;
    std::string openError;
    std::size_t damage = 0;
    if (journal) {
        plots = journal->RecordsFrom(c.plotMark);
        const auto opens = journal->OpensFrom(c.openMark);
        for (const auto& open : opens) {
            if (open.ok) {
                damage += open.warnings.size();
                for (const auto& w : open.warnings) {
                    AddOnce(d.warnings, w);
                }
            } else {
                openError = open.error;
            }
        }
    }

    // The plots, and per layout whether one of its plots wrote something.
    std::vector<std::string> layouts;
    std::vector<std::string> plottedLayouts;
    for (const auto& r : plots) {
        d.plots.push_back({r.layout, r.device, r.media, r.styleSheet, r.outputFile, r.ok, r.error,
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
            const bool fontNote = std::any_of(
                r.substitutedFonts.begin(), r.substitutedFonts.end(), [&n](const auto& f) {
                    return n == "Font " + f.asked + " drawn with " + f.used + ": " + f.reason;
                });
            if (!fontNote) {
                AddOnce(d.warnings, n);
            }
        }
        for (const auto& f : r.substitutedFonts) {
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

    if (failure) {
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
        if (!openError.empty()) {
            d.reason = openError;
        } else if (!plot::IsListedFile(c.path)) {
            d.reason = "no such file";
        } else {
            d.reason = "the CAD application did not open it";
        }
        AddOnce(d.errors, d.reason);
    } else if (!journal) {
        // Another back end: the run went through; it tells nothing of the files.
        d.result = DrawingResult::Plotted;
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

void TerminalRunHost::PrintLine(const DrawingReport& d) {
    ClearProgress();
    std::string result = d.ResultText();
    for (const auto& x : d.foundXrefs) {
        result += "; reference " + x.name + " found at " + x.found;
    }
    QString line = Field(search::FromFileSystemPath(d.drawing)) + QLatin1Char('\t') +
                   Field(search::FromFileSystemPath(result));
    for (const auto& out : d.outputs) {
        line += QLatin1Char('\t') + Field(search::FromFileSystemPath(out));
    }
    WriteExact(io_.out, line + QLatin1Char('\n'));
    FlushNow(io_.out);
    DrawProgress();
}

void TerminalRunHost::DrawProgress() {
    if (!io_.errTerminal || status_.isEmpty()) {
        return;
    }
    const QString counter = QStringLiteral("[%1% %2/%3] ")
                                .arg(static_cast<int>(progress_), 3)
                                .arg(done_.size() + (current_ ? 1 : 0))
                                .arg(rows_.size());
    QString text = counter + status_;
    const int width = TerminalWidth() - 1;
    if (text.size() > width) {
        // The middle of the path goes: what happens stands before it, the drawing's name
        // at its end.
        qsizetype head = status_.indexOf(search::NativeSeparator());
        head = head < 0 ? width / 3 : counter.size() + head + 1;
        if (head > width - 24) {
            head = width / 3;
        }
        text = text.left(head) + QStringLiteral("...") + text.right(width - head - 3);
    }
    io_.err << "\r\x1b[K" << text;
    io_.err.flush();
    progressShown_ = true;
}

void TerminalRunHost::ClearProgress() {
    if (progressShown_) {
        io_.err << "\r\x1b[K";
        io_.err.flush();
        progressShown_ = false;
    }
}

std::vector<DrawingReport> TerminalRunHost::DoneInListOrder() const {
    std::vector<bool> used(done_.size(), false);
    std::vector<DrawingReport> inListOrder;
    for (const Row& row : rows_) {
        const std::string path = row.path + row.name;
        for (std::size_t i = 0; i < done_.size(); ++i) {
            if (!used[i] && done_[i].drawing == path) {
                used[i] = true;
                inListOrder.push_back(done_[i]);
                break;
            }
        }
    }
    return inListOrder;
}

std::vector<DrawingReport> TerminalRunHost::Finish() {
    Done();
    // The drawing list's order; a listed drawing the run never reached says so.
    std::vector<bool> used(done_.size(), false);
    std::vector<DrawingReport> inListOrder(rows_.size());
    std::vector<bool> reached(rows_.size(), false);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        const std::string path = rows_[row].path + rows_[row].name;
        for (std::size_t i = 0; i < done_.size(); ++i) {
            if (!used[i] && done_[i].drawing == path) {
                used[i] = true;
                reached[row] = true;
                inListOrder[row] = done_[i];
                break;
            }
        }
    }
    for (std::size_t row = rows_.size(); row-- > 0;) {
        if (!reached[row]) {
            DrawingReport& d = inListOrder[row];
            d.drawing = rows_[row].path + rows_[row].name;
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
