// The journal of the built-in engine: what each plot and each open of a drawing did. Apart
// from the engine so that a program that only reads the journal (of an engine in its own
// process) need not link the engine and its printing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cad/Automation.h"
#include "engine/fonts/FontResolver.h"

namespace vx::engine::automation {

// What one plot did: the command-line report and tests read it.
struct PlotRecord {
    std::string drawing;  // full path of the drawing (its name for a drawing never saved)
    std::string layout;   // the layout plotted
    std::string device;   // the plot configuration used
    std::string media;    // canonical paper name
    std::string styleSheet;
    bool toFile = false;        // PlotToFile, else PlotToDevice
    std::string requestedFile;  // PlotToFile's file name as given
    std::string outputFile;     // the file written (empty for a printer or a failure)
    std::string printer;        // the printer's queue for a printed plot
    std::int32_t copies = 1;
    bool ok = false;
    std::string error;               // why nothing was written
    std::vector<std::string> notes;  // what the plot went on without (tables, fonts, types)
    std::int64_t entities = 0;       // entities visited, drawn, and expected to leave ink
    std::int64_t drawn = 0;
    std::int64_t visible = 0;
    std::int64_t bytes = 0;  // size of the output
    bool blank = false;      // the page was made, but nothing on it left ink
    // The fonts drawn with another font, also named among the notes.
    std::vector<fonts::Substitution> substitutedFonts;
};

// What one open of a drawing did: why it failed, or what the reader went on without.
struct OpenRecord {
    std::string drawing;  // full path of the drawing asked for
    bool ok = false;
    std::string error;                  // why the drawing was not opened
    std::vector<std::string> warnings;  // damage the reader worked around
};

// Every plot of an engine application, in the order made, and every open of a drawing file.
class PlotJournal {
public:
    void Add(PlotRecord record);
    std::vector<PlotRecord> Records() const;
    // The plots from position `first` on (those made since Size() was `first`).
    std::vector<PlotRecord> RecordsFrom(std::size_t first) const;
    // The plots of one drawing (by its full path).
    std::vector<PlotRecord> ForDrawing(const std::string& drawing) const;
    std::size_t Size() const;

    void AddOpen(OpenRecord record);
    std::vector<OpenRecord> Opens() const;
    // The last open of `drawing` that succeeded, looked for from the newest open back.
    std::optional<OpenRecord> LastOpenOf(const std::string& drawing) const;
    std::vector<OpenRecord> OpensFrom(std::size_t first) const;
    std::size_t OpenCount() const;

    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<PlotRecord> records_;
    std::vector<OpenRecord> opens_;
};

// An application object that keeps an engine's journal: the engine's own, or that of a
// back end forwarding to an engine in its own process.
class JournalHolder {
public:
    virtual ~JournalHolder() = default;
    virtual const PlotJournal& Journal() const = 0;
};

// The journal of an engine application; null for an application of another back end.
const PlotJournal* JournalOf(const cad::Ref<cad::AcadApplication>& app);

// A plot's record as the automation interface tells it (AcadPlot::LastOutcome).
cad::PlotOutcome OutcomeOf(const PlotRecord& record);

}  // namespace vx::engine::automation
