#include "engine/automation/Engine.h"

#include "engine/automation/EngineObjects.h"

namespace vx::engine::automation {

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

}  // namespace vx::engine::automation
