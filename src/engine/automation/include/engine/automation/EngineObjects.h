// The engine's application object; the other automation objects are made by it and by
// each other (EngineObjects.cpp).
#pragma once

#include <memory>

#include "engine/automation/EngineState.h"

namespace vx::engine::automation {

class EngineApplication : public cad::AcadApplication,
                          public JournalHolder,
                          public std::enable_shared_from_this<EngineApplication> {
public:
    explicit EngineApplication(std::shared_ptr<EngineState> state);

    void SetVisible(bool visible) override;
    cad::Ref<cad::AcadApplication> Application() override;
    cad::Ref<cad::AcadDocument> ActiveDocument() override;
    cad::Ref<cad::AcadDocuments> Documents() override;
    void ZoomExtents() override;
    // Releases every drawing and ends the application; its objects fail from then on.
    void Quit() override;

    bool Running() const;
    const PlotJournal& Journal() const override;

private:
    std::shared_ptr<EngineState> state_;
};

}  // namespace vx::engine::automation
