#include "sync/flow_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "sync/command.h"
#include "sync/download.h"

namespace tesra {
namespace {

// Deferred work runs once the outermost flow ends, in arrival order, each
// kind but received memos once; work that itself opens flows and defers
// more runs in the same drain, never nested.
TEST(FlowGate, DefersCoalescesAndDrainsAfterTheOutermostFlow) {
    using D = CFlowGate::Deferral;
    std::string ran;
    CFlowGate* gate = nullptr;
    CFlowGate g([&](const DeferredFlow& w) {
        ran += std::to_string(static_cast<int>(w.kind)) + w.text + "@" + std::to_string(gate->Depth()) + " ";
        if (w.kind != FlowWork::kStartUp) return;
        CFlowGate::Scope inner(*gate);
        EXPECT_EQ(gate->Defer(FlowWork::kSync), D::kCoalesced);
        EXPECT_EQ(gate->Defer(FlowWork::kSession), D::kQueued);
    });
    gate = &g;
    {
        CFlowGate::Scope outer(g);
        {
            CFlowGate::Scope nested(g);
            EXPECT_EQ(g.Defer(FlowWork::kStartUp), D::kQueued);
        }
        EXPECT_TRUE(ran.empty());
        EXPECT_EQ(g.Defer(FlowWork::kSync), D::kQueued);
        EXPECT_EQ(g.Defer(FlowWork::kStartUp), D::kCoalesced);
        EXPECT_EQ(g.Defer(FlowWork::kSync), D::kCoalesced);
        EXPECT_EQ(g.Defer(FlowWork::kReceive, "a"), D::kQueued);
        EXPECT_EQ(g.Defer(FlowWork::kReceive, "b"), D::kQueued);
    }
    // kStartUp 4, kSync 0, kReceive 9, kSession 2
    EXPECT_EQ(ran, "4@0 0@0 9a@0 9b@0 2@0 ");
    EXPECT_FALSE(g.Busy());
}

TEST(FlowGate, CapsTheReceivedMemosOneWaitQueues) {
    int runs = 0;
    CFlowGate g([&](const DeferredFlow&) { ++runs; });
    {
        CFlowGate::Scope flow(g);
        for (int i = 0; i < CFlowGate::kMaxDeferredReceives; ++i)
            ASSERT_EQ(g.Defer(FlowWork::kReceive, "x"), CFlowGate::Deferral::kQueued);
        EXPECT_EQ(g.Defer(FlowWork::kReceive, "y"), CFlowGate::Deferral::kRefused);
        EXPECT_EQ(g.Defer(FlowWork::kTickUploads), CFlowGate::Deferral::kQueued);
    }
    EXPECT_EQ(runs, CFlowGate::kMaxDeferredReceives + 1);
}

// Only 302 carries text, bounded and ended at its first NUL.
TEST(ChannelCommand, CopiesOnlyAReceivedFilesBoundedText) {
    const std::string name = "memo1.txt|170\0junk", big(kMaxCommandText + 1, 'a');
    EXPECT_EQ(ParseChannelCommand(kCmdReceiveMemo, name.c_str(), 18).text, "memo1.txt|170");
    EXPECT_TRUE(ParseChannelCommand(kCmdFetchIndexToFile, name.c_str(), 18).text.empty());
    EXPECT_EQ(ParseChannelCommand(99999, name.c_str(), 18).code, 0);
    EXPECT_TRUE(ParseChannelCommand(kCmdReceiveMemo, big.data(), big.size()).refused);
    EXPECT_EQ(ParseChannelCommand(kCmdReceiveMemo, big.data(), kMaxCommandText).text.size(), kMaxCommandText);
}

// A start-up that stopped waiting for the group's creation has moved on: a
// 303 arriving later would rewrite the index in the middle of a session. The
// give-up waits for a command already on its way; nothing is sent after it.
TEST(GroupWorker, SendsNothingOnceItsWaiterGaveUp) {
    GroupWorkerParams params;
    params.latch = std::make_shared<CGroupWorkerLatch>();
    std::atomic<int> sent{0};
    std::atomic<bool> inSend{false}, release{false};
    std::thread worker([&] {
        GroupSetupWorker(params, [&](WindowHandle, int) {
            ++sent;
            inSend = true;
            while (!release) std::this_thread::yield();
        });
    });
    while (!inSend) std::this_thread::yield();
    EXPECT_FALSE(params.latch->TryGiveUp());
    release = true;
    while (!params.latch->TryGiveUp()) std::this_thread::yield();
    const int atGiveUp = sent;
    worker.join();
    EXPECT_EQ(sent, atGiveUp);
}

}  // namespace
}  // namespace tesra
