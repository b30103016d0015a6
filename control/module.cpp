// Entry points of TESRA.OCX.
#include <windows.h>
#include <olectl.h>

#include "control/app.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(instance);
        return TheApp().InitInstance(instance);
    case DLL_PROCESS_DETACH:
        // At process exit (reserved != null) other DLLs may already be gone.
        if (reserved == nullptr) TheApp().ExitInstance();
        return TRUE;
    default:
        return TRUE;
    }
}

// Class factories and the type library are not built yet: until they are,
// no class is available and registration reports the type library failure.
STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object) {
    if (object) *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return S_OK; }

STDAPI DllRegisterServer() { return SELFREG_E_TYPELIB; }

STDAPI DllUnregisterServer() { return SELFREG_E_TYPELIB; }
