// Short-lived detached worker threads. Each worker owns what it touches
// through shared pointers, so a waiter may give up on it at any time.
#pragma once

#include <functional>

namespace tesra::net {

// Runs work on a new detached thread; false when no thread could be made
// (work is then not run).
bool StartWorker(std::function<void()> work);

// Workers started and not yet ended, process-wide: a module must not be
// unloaded while one still runs its code, and tests wait for them.
int RunningWorkers();

// Waits until no worker runs, at most timeoutMs; true when none runs.
bool WaitForWorkers(int timeoutMs);

}  // namespace tesra::net
