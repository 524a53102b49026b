// The typed automation interface carried out on AutoCAD's ActiveX objects through
// late-bound IDispatch calls. Every member is requested by its ActiveX name.
#pragma once

#include <memory>

#include "cad/Automation.h"
#include "cad/com/Dispatch.h"

namespace vx::cad::com {

// The application object behind an IDispatch of AutoCAD's application ("AutoCAD.
// Application"). The objects reached through it share `session`: its member id cache
// and its rule for calls rejected while the application is busy.
Ref<AcadApplication> WrapApplication(ComPtr<IDispatch> application,
                                     std::shared_ptr<Session> session = MakeSession());

// Implemented by every object of this back end: its IDispatch, for calls that pass an
// object (a layout made active).
class ComObject {
public:
    virtual ~ComObject() = default;
    virtual IDispatch* DispatchOf() const = 0;
};

}  // namespace vx::cad::com
