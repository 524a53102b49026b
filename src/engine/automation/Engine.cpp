#include "engine/automation/Engine.h"

#include <algorithm>

#include "engine/automation/EngineObjects.h"

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

EngineClass::EngineClass(EngineOptions options) : options_(std::move(options)) {}

cad::Ref<cad::AcadApplication> EngineClass::GetActiveObject() {
    std::lock_guard lock(mutex_);
    if (!running_ || !running_->Running()) {
        throw cad::CadError("The built-in CAD engine is not running.");
    }
    return running_;
}

cad::Ref<cad::AcadApplication> EngineClass::CreateObject() {
    std::lock_guard lock(mutex_);
    if (!running_ || !running_->Running()) {
        try {
            running_ = std::make_shared<EngineApplication>(std::make_shared<EngineState>(options_));
        } catch (const std::exception& e) {
            throw cad::CadError(std::string("The built-in CAD engine could not start: ") +
                                e.what());
        }
    }
    return running_;
}

bool EngineClass::Running() const {
    std::lock_guard lock(mutex_);
    return running_ && running_->Running();
}

std::shared_ptr<EngineClass> RegisterEngine(cad::ClassRegistry& registry, EngineOptions options) {
    auto cls = std::make_shared<EngineClass>(std::move(options));
    registry.Register(cad::kCadClassName, cls);
    return cls;
}

const PlotJournal* JournalOf(const cad::Ref<cad::AcadApplication>& app) {
    if (auto engine = std::dynamic_pointer_cast<EngineApplication>(app)) {
        return &engine->Journal();
    }
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
