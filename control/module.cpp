// Entry points of TESRA.OCX.
#include <windows.h>
#include <olectl.h>

#include "control/app.h"
#include "control/guids.h"
#include "control/prop_page.h"
#include "control/registration.h"
#include "control/tesra_ctrl.h"
#include "net/worker.h"
#include "win/class_factory.h"
#include "win/com.h"
#include "win/controls.h"
#include "win/ole_control.h"

namespace {
// One factory per class for the life of the module.
tesra::win::CClassFactory<CTesraCtrl> g_controlFactory;
tesra::win::CClassFactory<CTesraPropPage> g_propPageFactory;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(instance);
        return TheApp().InitInstance(instance);
    case DLL_PROCESS_DETACH:
        // At process exit (reserved != null) other DLLs may already be gone.
        if (reserved == nullptr) {
            tesra::win::UnregisterControlWindowClass();
            TheApp().ExitInstance();
        }
        return TRUE;
    default:
        return TRUE;
    }
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid == CLSID_Tesra) return g_controlFactory.QueryInterface(iid, object);
    if (clsid == CLSID_TesraPropPage) return g_propPageFactory.QueryInterface(iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

// A worker whose waiter gave up may still be running the module's code.
// With no object left there is no rich edit window either; the library
// goes here rather than in DllMain, which runs under the loader lock.
STDAPI DllCanUnloadNow() {
    if (tesra::win::ModuleInUse() || tesra::net::RunningWorkers() > 0) return S_FALSE;
    tesra::win::ReleaseControlLibraries();
    return S_OK;
}

STDAPI DllRegisterServer() { return RegisterModule(); }

STDAPI DllUnregisterServer() { return UnregisterModule(); }
