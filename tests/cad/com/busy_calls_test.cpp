// The policy for calls that a busy application rejects, and the message filter that
// applies it. Wine never asks a message filter to retry, so the filter's answers are
// checked by calling it directly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cad/com/BusyCalls.h"

using namespace vx::cad::com;

namespace {

TEST(BusyCallFilter, RetriesCallsToRetryLaterUntilTheLimitAndNoCallRejectedOutright) {
    auto* filter = new BusyCallFilter(RetryPolicy(1000, 200));
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 999, SERVERCALL_RETRYLATER), 200u);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 1000, SERVERCALL_RETRYLATER),
              RetryPolicy::kGiveUp);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 10, SERVERCALL_REJECTED), RetryPolicy::kGiveUp);
    // Incoming calls and pending messages get COM's usual answers.
    EXPECT_EQ(filter->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr),
              static_cast<DWORD>(SERVERCALL_ISHANDLED));
    EXPECT_EQ(filter->MessagePending(nullptr, 0, PENDINGTYPE_TOPLEVEL),
              static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS));
    filter->Release();
    // Answers below 100 make COM retry at once.
    const RetryPolicy standard;
    EXPECT_GE(standard.Decide(0, SERVERCALL_RETRYLATER), 100u);
    EXPECT_GE(standard.LimitMs(), 10000u) << "a drawing load keeps AutoCAD busy for seconds";
}

}  // namespace
