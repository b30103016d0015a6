// The control's gate for work that waits: every operation that may wait on
// the network or pump messages runs as a flow inside it. Work that arrives
// while a flow runs is deferred, not run nested and not refused, and runs in
// arrival order when the outermost flow ends. control/README.md gives the
// rules; this is their one implementation.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

namespace tesra {

enum class FlowWork {
    kSync,           // the pass over the memo windows (change notice)
    kTickUploads,    // the minute tick's uploads and index save
    kSession,        // the session refresh
    kSettings,       // the settings upload
    kStartUp,
    kLoadIndex,      // command 300
    kUploadDefaults, // command 301
    kFetchIndex,     // command 303
    kCreateGroup,    // command 304
    kReceive,        // command 302, one per command with its own text
    kConnection,     // connection values handed in during a flow
    kSendPending,    // deletions and uploads waiting for the server
    kDestroyAll,     // the registry's windows, freed after the flow that held them
};

struct DeferredFlow {
    FlowWork kind;
    std::string text;
};

class CFlowGate {
public:
    // Received-memo commands that one flow's wait may queue; a sender that
    // floods one long wait is told "not taken" rather than let the copies
    // grow without bound.
    static constexpr std::ptrdiff_t kMaxDeferredReceives = 64;

    using Runner = std::function<void(const DeferredFlow&)>;
    explicit CFlowGate(Runner run) : m_run(std::move(run)) {}
    CFlowGate(const CFlowGate&) = delete;
    CFlowGate& operator=(const CFlowGate&) = delete;

    // One flow; when the outermost ends, the deferred work runs.
    class Scope {
    public:
        explicit Scope(CFlowGate& gate) : m_gate(gate) { ++m_gate.m_depth; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        ~Scope() { m_gate.Leave(); }

    private:
        CFlowGate& m_gate;
    };

    int Depth() const { return m_depth; }
    bool Busy() const { return m_depth > 0; }

    enum class Deferral { kQueued, kCoalesced, kRefused };
    // Every kind but kReceive is queued at most once; a receive past the
    // cap is refused.
    Deferral Defer(FlowWork kind, std::string text = {});
    bool IsQueued(FlowWork kind) const;
    std::size_t QueuedCount() const { return m_queue.size(); }

private:
    void Leave();

    Runner m_run;
    int m_depth = 0;
    bool m_draining = false;
    std::deque<DeferredFlow> m_queue;
};

}  // namespace tesra
