// Detached threads. On Windows such a thread holds a reference on the module
// that contains this code from its start until it leaves through
// FreeLibraryAndExitThread, so the module cannot be unloaded while the
// thread still runs in it. There a thread that has run its body waits a
// couple of seconds for the next one before it leaves, since making one
// costs as much as a loopback exchange.
#pragma once

#include <functional>

namespace tesra {

// Runs body on a new detached thread; false when none could be made (body is
// then not run). What body throws ends it quietly.
bool StartDetachedThread(std::function<void()> body);

// Said by a body when what is left of it is short and never waits (a signal,
// its captures let go): a body started from now on goes to this thread
// instead of a new one, which would cost more than that rest. Once per body;
// nothing on a thread that StartDetachedThread did not start.
void BodyEnding();

}  // namespace tesra
