// The COM back end: AutoCAD's automation class reached through the system's class
// registration, the running object table and its local server.
//
// The program chooses its back end once at start-up, on the thread that makes the
// automation calls (the window's):
//
//   #ifdef _WIN32
//       if (!vx::cad::com::RegisterComBackEnd(vx::cad::ClassRegistry::Default()))
//   #endif
//           RegisterEngine(vx::cad::ClassRegistry::Default());   // the built-in engine
#pragma once

#include <windows.h>

#include <string>

#include "cad/ClassRegistry.h"
#include "cad/com/BusyCalls.h"

namespace vx::cad::com {

class ComAutomationClass : public AutomationClass {
public:
    // `progId` names the class in descriptions; `createContext` is where CreateObject
    // looks for the class (AutoCAD is a local server).
    ComAutomationClass(std::string progId, const CLSID& clsid,
                       DWORD createContext = CLSCTX_LOCAL_SERVER,
                       const RetryPolicy& retry = RetryPolicy());

    // The instance registered in the running object table.
    Ref<AcadApplication> GetActiveObject() override;
    // A new instance (CoCreateInstance).
    Ref<AcadApplication> CreateObject() override;

private:
    Ref<AcadApplication> Wrap(IUnknown* object, const char* how);

    std::string progId_;
    CLSID clsid_;
    DWORD createContext_;
    RetryPolicy retry_;
};

// Makes COM serve `className` in `registry` when `progId` is a class registered on this
// machine, and leaves the registry as it was otherwise (the built-in engine then serves
// the name). True when COM serves it now.
bool RegisterComBackEnd(ClassRegistry& registry, const std::string& progId = kCadClassName,
                        const std::string& className = kCadClassName);

// Readies the calling thread for automation calls, once per thread: it joins a single-
// threaded apartment when it is in none yet, and gets the busy-call filter when it is in
// a single-threaded one. A thread in the multithreaded apartment stays there and relies
// on the dispatch layer's own retries.
void PrepareCallingThread(const RetryPolicy& retry = RetryPolicy());

}  // namespace vx::cad::com
