// Carrying one drawing through the CAD application: open, ready, close.
#include "plot/PlotPaths.h"
#include "plot/PlotService.h"

namespace vx::plot {

using cad::AcadDocument;
using cad::CadError;
using cad::Ref;
using cad::TryStep;

bool PlotService::OpenDrawing(const std::string& path) {
    connection_.EnsureConnected();
    auto app = App();

    // A modified drawing left active is closed first, but only one that the program
    // opened itself: the user's unsaved work stays open.
    if (app->Documents()->Count() > 0) {
        auto active = app->ActiveDocument();
        if (active->GetVariable("DBMOD") > 0) {
            connection_.CloseWithoutSaving(*active);
        }
    }

    if (!IsListedFile(path)) {
        return false;
    }

    // An earlier copy of the drawing, active now, goes (when that loses nothing).
    const std::string name = LastComponent(path);
    auto docs = app->Documents();
    if (docs->Count() > 0) {
        auto active = app->ActiveDocument();
        if (active->Name() == name) {
            connection_.CloseWithoutSaving(*active);
        }
    }
    // With the user's changed copy of this very file open, a second copy would be
    // indistinguishable from it: the drawing is left alone.
    for (std::int32_t i = 0, n = docs->Count(); i < n; ++i) {
        auto doc = docs->Item(i);
        if (doc->Name() == name && IsPathOf(doc->Path(), name, path) &&
            !connection_.MayDiscard(*doc)) {
            throw CadError(kUnsavedCopyOpen);
        }
    }

    // The CAD application may refuse the file; the drawing is then not found later.
    Ref<AcadDocument> opened;
    try {
        opened = docs->Open(path, true);
        openedThisRow_ = true;
        if (opened) {
            connection_.NoteOpenedHere(*opened);
        }
    } catch (const cad::CadFailure&) {
        throw;
    } catch (const CadError& e) {
        openError_ = e.Description();
    }
    if (opened) {
        cad::Strings warnings;
        TryStep([&] { warnings = opened->ReadWarnings(); });
        events_->DrawingOpened(path, warnings);
    }
    return true;
}

bool PlotService::ActivateDrawing(const std::string& path, bool doActivate) {
    try {
        connection_.EnsureConnected();
        auto app = App();
        auto docs = app->Documents();

        // The drawing of this path, else the first of the same file name.
        const std::string name = LastComponent(path);
        Ref<AcadDocument> taken;
        Ref<AcadDocument> sameName;
        for (std::int32_t i = 0, n = docs->Count(); i < n; ++i) {
            auto doc = docs->Item(i);
            if (doc->Name() != name) {
                continue;
            }
            if (IsPathOf(doc->Path(), name, path)) {
                taken = doc;
                break;
            }
            if (!sameName) {
                sameName = doc;
            }
        }
        if (!taken) {
            taken = sameName;
        }
        if (!taken) {
            return false;
        }

        ReloadXrefs();
        app->ZoomExtents();
        taken->Regen(cad::kRegenAllViewports);
        taken->Regen(cad::kRegenActiveViewport);
        bool ready = true;
        if (doActivate) {
            try {
                taken->Activate();
            } catch (const cad::CadFailure&) {
                throw;
            } catch (const CadError& e) {
                ready = false;
                if (openError_.empty()) {
                    openError_ = e.Description();
                }
            }
        }
        return ready;
    } catch (const cad::CadFailure&) {
        throw;
    } catch (const CadError& e) {
        // The drawing is not plotted; why is kept for the run's report (a drawing that
        // expands without end fails here, at its first zoom).
        if (openError_.empty()) {
            openError_ = e.Description();
        }
        return false;
    }
}

bool PlotService::CloseDrawing() {
    connection_.EnsureConnected();
    auto app = App();
    if (app->Documents()->Count() > 0) {
        auto active = app->ActiveDocument();
        connection_.CloseWithoutSaving(*active);
    }
    return false;
}

}  // namespace vx::plot
