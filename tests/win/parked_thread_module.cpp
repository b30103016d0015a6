// A module that starts one detached thread and lets it wait: the test frees
// the module under it.
#include <windows.h>

#include "base/thread.h"

extern "C" __declspec(dllexport) BOOL StartParkedThread(HANDLE release, HANDLE started) {
    return tesra::StartDetachedThread([release, started] {
               ::SetEvent(started);
               ::WaitForSingleObject(release, INFINITE);
           })
               ? TRUE
               : FALSE;
}
