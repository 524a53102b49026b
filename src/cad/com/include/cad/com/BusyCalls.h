// Calls that a busy CAD application rejects.
//
// While AutoCAD is busy (a command, a modal dialog, a drawing being loaded) its message
// filter answers incoming calls with "retry later", and COM fails the call with
// RPC_E_CALL_REJECTED. Such a call never ran, so it may be made again. Two places retry:
//  - the message filter installed on the calling thread's apartment, which COM asks
//    (RetryRejectedCall) in a single-threaded apartment;
//  - the dispatch layer itself, for a rejection that reaches it anyway (a multithreaded
//    apartment, or a filter that was not installed).
// Both follow one policy measured from the moment the call was first made, so that the
// two together never wait longer than the policy's limit.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <string>

namespace vx::cad::com {

class RetryPolicy {
public:
    // What RetryRejectedCall returns to cancel the call.
    static constexpr DWORD kGiveUp = 0xFFFFFFFF;

    RetryPolicy() = default;
    RetryPolicy(DWORD limitMs, DWORD delayMs) : limitMs_(limitMs), delayMs_(delayMs) {}

    // The wait in milliseconds before a call that has been rejected for `elapsedMs` is
    // tried again, or kGiveUp. Only "retry later" rejections are retried: a callee that
    // rejects a call outright (SERVERCALL_REJECTED) will not take it later either.
    DWORD Decide(DWORD elapsedMs, DWORD rejectType) const;

    DWORD LimitMs() const { return limitMs_; }
    DWORD DelayMs() const { return delayMs_; }

private:
    // A drawing that takes a long time to load keeps the application busy for a while;
    // a call that stays rejected this long fails.
    DWORD limitMs_ = 60000;
    // COM itself retries at once for values below 100; wait a little longer.
    DWORD delayMs_ = 250;
};

// The description of a call that stayed rejected until the policy gave up.
std::string RejectedCallDescription(const std::string& call, DWORD elapsedMs);

// An IMessageFilter that retries rejected outgoing calls by the policy and passes
// everything else to the filter that was installed before it, if any.
class BusyCallFilter final : public IMessageFilter {
public:
    explicit BusyCallFilter(const RetryPolicy& policy);
    BusyCallFilter(const BusyCallFilter&) = delete;
    BusyCallFilter& operator=(const BusyCallFilter&) = delete;

    // Keeps the filter that this one replaced (a reference is taken over).
    void SetPrevious(IMessageFilter* previous);
    IMessageFilter* Previous() const { return previous_; }
    const RetryPolicy& Policy() const { return policy_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                               LPINTERFACEINFO info) override;
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tickCount,
                                              DWORD rejectType) override;
    DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount,
                                           DWORD pendingType) override;

private:
    ~BusyCallFilter();

    LONG refs_ = 1;
    RetryPolicy policy_;
    IMessageFilter* previous_ = nullptr;
};

// Installs a BusyCallFilter on the calling thread for as long as it lives, and puts the
// previous filter back afterwards. Installed() is false in a multithreaded apartment,
// where COM has no message filters.
class ScopedBusyCallFilter {
public:
    explicit ScopedBusyCallFilter(const RetryPolicy& policy = RetryPolicy());
    ScopedBusyCallFilter(const ScopedBusyCallFilter&) = delete;
    ScopedBusyCallFilter& operator=(const ScopedBusyCallFilter&) = delete;
    ~ScopedBusyCallFilter();

    bool Installed() const { return filter_ != nullptr; }
    HRESULT Result() const { return result_; }

private:
    BusyCallFilter* filter_ = nullptr;
    HRESULT result_ = S_OK;
};

// Installs the filter on the calling thread once for the thread's life (COM keeps it and
// lets it go when the apartment ends). False when COM refuses a filter here.
bool InstallBusyCallFilterOnThisThread(const RetryPolicy& policy = RetryPolicy());

}  // namespace vx::cad::com
