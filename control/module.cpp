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
#include "win/window.h"

namespace {
// One factory per class for the life of the module.
tesra::win::CClassFactory<CTesraCtrl> g_controlFactory;
tesra::win::CClassFactory<CTesraPropPage> g_propPageFactory;
}  // namespace

// Under the loader lock: only what cannot wait, load or lock. Sockets start
// on first need, and nothing is torn down here (see DllCanUnloadNow).
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetModuleInstance(instance);
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return tesra::win::GuardCom([&]() -> HRESULT {
        if (clsid == CLSID_Tesra) {
            // The control is of no use without sockets; the user has been told.
            if (!TheApp().EnsureSockets()) return E_FAIL;
            return g_controlFactory.QueryInterface(iid, object);
        }
        if (clsid == CLSID_TesraPropPage) return g_propPageFactory.QueryInterface(iid, object);
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

// A worker still counted may be about to use the module's objects; its own
// module reference keeps the code in place until it has left. The window
// classes and the rich edit library go here, outside the loader lock, just
// before the module may be freed; a later control brings them back.
STDAPI DllCanUnloadNow() {
    if (tesra::win::ModuleInUse() || tesra::net::RunningWorkers() > 0) return S_FALSE;
    tesra::win::UnregisterModuleClasses();
    tesra::win::ReleaseControlLibraries();
    return S_OK;
}

STDAPI DllRegisterServer() { return tesra::win::GuardCom([] { return RegisterModule(); }); }

STDAPI DllUnregisterServer() { return tesra::win::GuardCom([] { return UnregisterModule(); }); }
