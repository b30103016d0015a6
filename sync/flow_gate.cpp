#include "sync/flow_gate.h"

#include <algorithm>

namespace tesra {

CFlowGate::Deferral CFlowGate::Defer(FlowWork kind, std::string text) {
    if (kind == FlowWork::kReceive) {
        const auto queued = std::count_if(m_queue.begin(), m_queue.end(),
                                          [](const DeferredFlow& d) { return d.kind == FlowWork::kReceive; });
        if (queued >= kMaxDeferredReceives) return Deferral::kRefused;
    } else if (IsQueued(kind)) {
        return Deferral::kCoalesced;
    }
    m_queue.push_back(DeferredFlow{kind, std::move(text)});
    return Deferral::kQueued;
}

bool CFlowGate::IsQueued(FlowWork kind) const {
    return std::any_of(m_queue.begin(), m_queue.end(), [kind](const DeferredFlow& d) { return d.kind == kind; });
}

void CFlowGate::Leave() {
    if (--m_depth > 0 || m_draining) return;
    // Work run from here may open flows and defer more; it all runs in this
    // loop, never nested in a flow's end.
    m_draining = true;
    while (!m_queue.empty() && m_depth == 0) {
        const DeferredFlow work = std::move(m_queue.front());
        m_queue.pop_front();
        if (m_run) m_run(work);
    }
    m_draining = false;
}

}  // namespace tesra
