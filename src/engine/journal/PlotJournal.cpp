#include "engine/journal/PlotJournal.h"

#include <algorithm>

namespace vx::engine::automation {

void PlotJournal::Add(PlotRecord record) {
    std::lock_guard lock(mutex_);
    records_.push_back(std::move(record));
}

std::vector<PlotRecord> PlotJournal::Records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::vector<PlotRecord> PlotJournal::RecordsFrom(std::size_t first) const {
    std::lock_guard lock(mutex_);
    return {records_.begin() + static_cast<std::ptrdiff_t>(std::min(first, records_.size())),
            records_.end()};
}

std::vector<PlotRecord> PlotJournal::ForDrawing(const std::string& drawing) const {
    std::lock_guard lock(mutex_);
    std::vector<PlotRecord> out;
    for (const auto& r : records_) {
        if (r.drawing == drawing) {
            out.push_back(r);
        }
    }
    return out;
}

std::size_t PlotJournal::Size() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

void PlotJournal::AddOpen(OpenRecord record) {
    std::lock_guard lock(mutex_);
    opens_.push_back(std::move(record));
}

std::vector<OpenRecord> PlotJournal::Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

std::optional<OpenRecord> PlotJournal::LastOpenOf(const std::string& drawing) const {
    std::lock_guard lock(mutex_);
    for (auto it = opens_.rbegin(); it != opens_.rend(); ++it) {
        if (it->ok && it->drawing == drawing) {
            return *it;
        }
    }
    return std::nullopt;
}

std::vector<OpenRecord> PlotJournal::OpensFrom(std::size_t first) const {
    std::lock_guard lock(mutex_);
    return {opens_.begin() + static_cast<std::ptrdiff_t>(std::min(first, opens_.size())),
            opens_.end()};
}

std::size_t PlotJournal::OpenCount() const {
    std::lock_guard lock(mutex_);
    return opens_.size();
}

void PlotJournal::Clear() {
    std::lock_guard lock(mutex_);
    records_.clear();
    opens_.clear();
}

const PlotJournal* JournalOf(const cad::Ref<cad::AcadApplication>& app) {
    const auto* holder = dynamic_cast<const JournalHolder*>(app.get());
    return holder ? &holder->Journal() : nullptr;
}

cad::PlotOutcome OutcomeOf(const PlotRecord& record) {
    cad::PlotOutcome o;
    o.layout = record.layout;
    o.device = record.device;
    o.paper = record.media;
    o.styleTable = record.styleSheet;
    o.outputFile = record.outputFile;
    o.ok = record.ok;
    o.error = record.error;
    o.notes = record.notes;
    for (const auto& f : record.substitutedFonts) {
        o.fonts.push_back({f.asked, f.used, f.reason});
    }
    o.blank = record.blank;
    o.entities = record.entities;
    o.drawn = record.drawn;
    return o;
}

}  // namespace vx::engine::automation
