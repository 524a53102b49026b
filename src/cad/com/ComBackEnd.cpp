#include "cad/com/ComBackEnd.h"

#include <ole2.h>

#include "cad/com/ComAutomation.h"

namespace vx::cad::com {

void PrepareCallingThread(const RetryPolicy& retry) {
    thread_local bool prepared = false;
    if (prepared) {
        return;
    }
    prepared = true;
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == S_FALSE) {
        // Someone else set the apartment up and will take it down; keep no count of ours.
        CoUninitialize();
    }
    // S_OK: this thread's apartment is ours and stays for the thread's life.
    // RPC_E_CHANGED_MODE: a multithreaded apartment, where no message filter exists.
    if (SUCCEEDED(hr)) {
        InstallBusyCallFilterOnThisThread(retry);
    }
}

ComAutomationClass::ComAutomationClass(std::string progId, const CLSID& clsid, DWORD createContext,
                                       const RetryPolicy& retry)
    : progId_(std::move(progId)), clsid_(clsid), createContext_(createContext), retry_(retry) {}

Ref<AcadApplication> ComAutomationClass::Wrap(IUnknown* object, const char* how) {
    auto unknown = ComPtr<IUnknown>::Attach(object);
    ComPtr<IDispatch> dispatch;
    const HRESULT hr = unknown->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid());
    if (FAILED(hr)) {
        throw ComError(progId_ + " " + how + " has no automation interface: " + DescribeResult(hr),
                       hr);
    }
    return WrapApplication(std::move(dispatch), MakeSession(retry_));
}

Ref<AcadApplication> ComAutomationClass::GetActiveObject() {
    PrepareCallingThread(retry_);
    IUnknown* object = nullptr;
    const HRESULT hr = ::GetActiveObject(clsid_, nullptr, &object);
    if (FAILED(hr) || !object) {
        throw ComError(progId_ + " is not running: " + DescribeResult(hr), hr);
    }
    return Wrap(object, "running");
}

Ref<AcadApplication> ComAutomationClass::CreateObject() {
    PrepareCallingThread(retry_);
    IUnknown* object = nullptr;
    const HRESULT hr = CoCreateInstance(clsid_, nullptr, createContext_, IID_IUnknown,
                                        reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        throw ComError(progId_ + " could not be started: " + DescribeResult(hr), hr);
    }
    return Wrap(object, "started");
}

bool RegisterComBackEnd(ClassRegistry& registry, const std::string& progId,
                        const std::string& className) {
    PrepareCallingThread();
    CLSID clsid{};
    const std::wstring name = Widen(progId);
    if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) {
        return false;
    }
    registry.Register(className, std::make_shared<ComAutomationClass>(progId, clsid));
    return true;
}

}  // namespace vx::cad::com
