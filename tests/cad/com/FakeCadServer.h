// An in-process automation server for the tests: the recording test double FakeCad
// served through IDispatch the way AutoCAD serves its objects.
//
// Each object kind has AutoCAD's member names (a layout has no ZoomExtents and no Plot),
// dispatch ids that differ between kinds, strict calling conventions (property puts need
// the DISPID_PROPERTYPUT named argument; integer system variables take a 16-bit value),
// string arrays as SAFEARRAYs, and failures as DISP_E_EXCEPTION with the double's
// description in EXCEPINFO. The server counts name lookups, can reject calls as a busy
// application does, and keeps every object it handed out until it is
// destroyed, so that references not given back (or given back twice) show.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FakeCad.h"
#include "cad/com/ComSupport.h"

namespace vx::cad::com::testing {

// The description of the CadError that `f` throws.
template <class F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const CadError& e) {
        return e.Description();
    }
    return "(no error)";
}

class ServedObject;

class FakeCadServer {
public:
    explicit FakeCadServer(fake::FakeCad& cad);
    ~FakeCadServer();
    FakeCadServer(const FakeCadServer&) = delete;
    FakeCadServer& operator=(const FakeCadServer&) = delete;

    // The application object, with a reference for the caller.
    ComPtr<IDispatch> Application();
    // The next `calls` lookups or calls fail with RPC_E_CALL_REJECTED without running.
    void RejectNext(int calls) { rejectNext_ = calls; }

    int IdLookups(const std::string& kindMember) const;
    // Objects holding references, as "Kind: n references".
    std::vector<std::string> Outstanding() const;
    // Objects released more often than referenced.
    std::vector<std::string> OverReleased() const;
    // The served object behind an IDispatch handed out by this server, or null.
    ServedObject* Find(IUnknown* object) const;

    ComPtr<IDispatch> Serve(std::unique_ptr<ServedObject> object);
    bool TakeRejection();
    void CountLookup(const std::string& kindMember) { ++lookups_[kindMember]; }

private:
    fake::FakeCad& cad_;
    std::vector<std::unique_ptr<ServedObject>> objects_;
    std::map<std::string, int> lookups_;
    int rejectNext_ = 0;
};

// A fixed class identifier for registering the served application.
extern const CLSID kFakeCadClsid;

// A class factory handing out the server's application (for CoRegisterClassObject).
class FakeCadFactory final : public IClassFactory {
public:
    explicit FakeCadFactory(FakeCadServer& server) : server_(server) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&refs_); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    int Created() const { return created_; }

private:
    FakeCadServer& server_;
    LONG refs_ = 1;
    int created_ = 0;
};

}  // namespace vx::cad::com::testing
