// The policy for calls that a busy application rejects, and the message filter that
// applies it. Wine never asks a message filter to retry, so the filter's answers are
// checked by calling it directly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "cad/com/BusyCalls.h"

using namespace vx::cad::com;
using ::testing::ElementsAre;

namespace {

// A filter that was installed before ours: answers and records what reaches it.
class EarlierFilter final : public IMessageFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
            *object = static_cast<IMessageFilter*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        calls.push_back("HandleInComingCall");
        return SERVERCALL_RETRYLATER;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override {
        calls.push_back("RetryRejectedCall");
        return 0;
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        calls.push_back("MessagePending");
        return PENDINGMSG_CANCELCALL;
    }
    LONG refs = 1;
    std::vector<std::string> calls;
};

// The filter installed on this thread now (with a reference the caller gives back).
IMessageFilter* CurrentFilter() {
    IMessageFilter* current = nullptr;
    CoRegisterMessageFilter(nullptr, &current);
    IMessageFilter* ignored = nullptr;
    CoRegisterMessageFilter(current, &ignored);
    return current;
}

TEST(RetryPolicy, RetriesCallsToRetryLaterUntilTheLimitAndNoCallRejectedOutright) {
    const RetryPolicy policy(5000, 300);
    EXPECT_EQ(policy.Decide(0, SERVERCALL_RETRYLATER), 300u);
    EXPECT_EQ(policy.Decide(4999, SERVERCALL_RETRYLATER), 300u);
    EXPECT_EQ(policy.Decide(5000, SERVERCALL_RETRYLATER), RetryPolicy::kGiveUp);
    EXPECT_EQ(policy.Decide(90000, SERVERCALL_RETRYLATER), RetryPolicy::kGiveUp);
    EXPECT_EQ(RetryPolicy().Decide(0, SERVERCALL_REJECTED), RetryPolicy::kGiveUp);
    // RetryRejectedCall answers below 100 make COM retry at once.
    const RetryPolicy standard;
    EXPECT_GE(standard.Decide(0, SERVERCALL_RETRYLATER), 100u);
    EXPECT_GE(standard.LimitMs(), 10000u) << "a drawing load keeps AutoCAD busy for seconds";
}

TEST(BusyCallFilter, AnswersRejectedCallsByThePolicy) {
    auto* filter = new BusyCallFilter(RetryPolicy(1000, 200));
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 10, SERVERCALL_RETRYLATER), 200u);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 1000, SERVERCALL_RETRYLATER),
              RetryPolicy::kGiveUp);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 10, SERVERCALL_REJECTED), RetryPolicy::kGiveUp);
    // Incoming calls and pending messages get COM's usual answers.
    EXPECT_EQ(filter->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr),
              static_cast<DWORD>(SERVERCALL_ISHANDLED));
    EXPECT_EQ(filter->MessagePending(nullptr, 0, PENDINGTYPE_TOPLEVEL),
              static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS));
    filter->Release();
}

TEST(BusyCallFilter, LeavesIncomingCallsToTheFilterItReplaced) {
    EarlierFilter earlier;
    auto* filter = new BusyCallFilter(RetryPolicy());
    earlier.AddRef();
    filter->SetPrevious(&earlier);
    EXPECT_EQ(filter->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr),
              static_cast<DWORD>(SERVERCALL_RETRYLATER));
    EXPECT_EQ(filter->MessagePending(nullptr, 0, PENDINGTYPE_TOPLEVEL),
              static_cast<DWORD>(PENDINGMSG_CANCELCALL));
    filter->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER);
    EXPECT_THAT(earlier.calls, ElementsAre("HandleInComingCall", "MessagePending"));
    filter->Release();
    EXPECT_EQ(earlier.refs, 1) << "the replaced filter's reference is given back";
}

TEST(BusyCallFilter, IsInstalledOnTheThreadAndPutsTheEarlierFilterBack) {
    EarlierFilter earlier;
    IMessageFilter* before = nullptr;
    ASSERT_EQ(CoRegisterMessageFilter(&earlier, &before), S_OK);
    {
        ScopedBusyCallFilter scoped(RetryPolicy(2000, 150));
        ASSERT_TRUE(scoped.Installed());
        IMessageFilter* current = CurrentFilter();
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(current->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), 150u);
        current->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr);
        current->Release();
        EXPECT_THAT(earlier.calls, ElementsAre("HandleInComingCall"));
    }
    IMessageFilter* current = CurrentFilter();
    EXPECT_EQ(current, static_cast<IMessageFilter*>(&earlier));
    if (current) {
        current->Release();
    }
    IMessageFilter* mine = nullptr;
    CoRegisterMessageFilter(before, &mine);
    if (mine) {
        mine->Release();
    }
    if (before) {
        before->Release();
    }
    EXPECT_EQ(earlier.refs, 1);
}

TEST(BusyCallFilter, IsNotInstalledInAMultithreadedApartment) {
    bool installed = true;
    std::thread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            ScopedBusyCallFilter scoped;
            installed = scoped.Installed();
        }
        CoUninitialize();
    });
    worker.join();
    EXPECT_FALSE(installed);
}

}  // namespace
