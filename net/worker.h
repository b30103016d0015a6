// Short-lived detached worker threads. Each worker owns what it touches
// through shared pointers, so a waiter may give up on it at any time.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "base/pump.h"

namespace tesra::net {

// Runs work on a new detached thread; false when no thread could be made
// (work is then not run).
bool StartWorker(std::function<void()> work);

// Runs work on a worker and waits for it, pumping this thread's messages
// (WaitAndPump with limits); the worker sets event once work has returned.
// nullopt when no worker could be made (work did not run). A waiter that
// gives up leaves the worker to end on its own: work must hold what it
// touches.
std::optional<PumpResult> RunOnWorkerAndWait(std::function<void()> work, const std::shared_ptr<WaitEvent>& event,
                                             const PumpLimits& limits);

// Workers started and not yet ended, process-wide: a module must not be
// unloaded while one still runs its code, and tests wait for them.
int RunningWorkers();

// Waits until no worker runs, at most timeoutMs; true when none runs.
bool WaitForWorkers(int timeoutMs);

}  // namespace tesra::net
