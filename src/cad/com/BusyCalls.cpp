#include "cad/com/BusyCalls.h"

#include <cstdio>

namespace vx::cad::com {

DWORD RetryPolicy::Decide(DWORD elapsedMs, DWORD rejectType) const {
    if (rejectType != SERVERCALL_RETRYLATER || elapsedMs >= limitMs_) {
        return kGiveUp;
    }
    return delayMs_;
}

std::string RejectedCallDescription(const std::string& call, DWORD elapsedMs) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(elapsedMs) / 1000.0);
    return "The CAD application is busy: " + call + " was rejected for " + seconds +
           " seconds (RPC_E_CALL_REJECTED)";
}

// --- BusyCallFilter ---

BusyCallFilter::BusyCallFilter(const RetryPolicy& policy) : policy_(policy) {}

BusyCallFilter::~BusyCallFilter() {
    if (previous_) {
        previous_->Release();
    }
}

void BusyCallFilter::SetPrevious(IMessageFilter* previous) {
    if (previous_) {
        previous_->Release();
    }
    previous_ = previous;
}

HRESULT STDMETHODCALLTYPE BusyCallFilter::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
        *object = static_cast<IMessageFilter*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE BusyCallFilter::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE BusyCallFilter::Release() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

DWORD STDMETHODCALLTYPE BusyCallFilter::HandleInComingCall(DWORD callType, HTASK caller,
                                                           DWORD tickCount, LPINTERFACEINFO info) {
    if (previous_) {
        return previous_->HandleInComingCall(callType, caller, tickCount, info);
    }
    return SERVERCALL_ISHANDLED;
}

DWORD STDMETHODCALLTYPE BusyCallFilter::RetryRejectedCall(HTASK /*callee*/, DWORD tickCount,
                                                          DWORD rejectType) {
    return policy_.Decide(tickCount, rejectType);
}

DWORD STDMETHODCALLTYPE BusyCallFilter::MessagePending(HTASK callee, DWORD tickCount,
                                                       DWORD pendingType) {
    if (previous_) {
        return previous_->MessagePending(callee, tickCount, pendingType);
    }
    return PENDINGMSG_WAITDEFPROCESS;
}

// --- installation ---

namespace {

// Registers a new filter; on success the filter holds the previous one and COM holds
// the only reference to the new one.
HRESULT Install(const RetryPolicy& policy, BusyCallFilter** installed) {
    auto* filter = new BusyCallFilter(policy);
    IMessageFilter* previous = nullptr;
    const HRESULT hr = CoRegisterMessageFilter(filter, &previous);
    if (FAILED(hr)) {
        filter->Release();
        *installed = nullptr;
        return hr;
    }
    filter->SetPrevious(previous);
    *installed = filter;
    filter->Release();
    return hr;
}

}  // namespace

ScopedBusyCallFilter::ScopedBusyCallFilter(const RetryPolicy& policy) {
    result_ = Install(policy, &filter_);
    if (filter_) {
        // Keep the filter alive for the restore below, whatever COM does meanwhile.
        filter_->AddRef();
    }
}

ScopedBusyCallFilter::~ScopedBusyCallFilter() {
    if (!filter_) {
        return;
    }
    IMessageFilter* previous = filter_->Previous();
    if (previous) {
        previous->AddRef();  // CoRegisterMessageFilter takes its own reference
    }
    IMessageFilter* current = nullptr;
    if (SUCCEEDED(CoRegisterMessageFilter(previous, &current)) && current) {
        current->Release();
    }
    if (previous) {
        previous->Release();
    }
    filter_->Release();
}

bool InstallBusyCallFilterOnThisThread(const RetryPolicy& policy) {
    thread_local bool installed = false;
    if (!installed) {
        BusyCallFilter* filter = nullptr;
        installed = SUCCEEDED(Install(policy, &filter));
    }
    return installed;
}

}  // namespace vx::cad::com
