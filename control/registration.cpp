#include "control/registration.h"

#include <olectl.h>

#include <string>

#include "control/guids.h"
#include "res/resource.h"
#include "win/com.h"
#include "win/ole_control.h"
#include "win/registry.h"

using tesra::win::DeleteKeyTree;
using tesra::win::GuidString;
using tesra::win::RegKey;

namespace {

std::string ModulePath() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(tesra::win::ModuleInstance(), path, MAX_PATH);
    return std::string(path, n);
}

bool RegisterComClass(const CLSID& clsid, const char* progId, UINT typeNameId, bool isControl) {
    const std::string cls = "CLSID\\" + GuidString(clsid);
    const std::string typeName = tesra::win::ModuleString(typeNameId);
    const std::string module = ModulePath();
    bool ok = RegKey::Create(HKEY_CLASSES_ROOT, cls).SetString("", typeName);
    RegKey server = RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\InprocServer32");
    ok = ok && server.SetString("", module);
    ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\ProgID").SetString("", progId);
    RegKey prog = RegKey::Create(HKEY_CLASSES_ROOT, progId);
    ok = ok && prog.SetString("", typeName);
    ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, std::string(progId) + "\\CLSID").SetString("", GuidString(clsid));
    if (isControl) {
        ok = ok && server.SetString("ThreadingModel", "Apartment");
        ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\Control");
        ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\ToolboxBitmap32").SetString("", module + ", 1");
        ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\MiscStatus").SetString("", "0");
        ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\MiscStatus\\1")
                       .SetString("", std::to_string(kControlMiscStatus));
        ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\TypeLib").SetString("", GuidString(LIBID_TESRALib));
        ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\Version").SetString("", "1.0");
        // The properties verb, as containers list it.
        ok = ok && RegKey::Create(HKEY_CLASSES_ROOT, cls + "\\verb\\0").SetString("", "&Properties...,0,2");
    }
    return ok;
}

bool UnregisterComClass(const CLSID& clsid, const char* progId) {
    const bool a = DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + GuidString(clsid));
    const bool b = DeleteKeyTree(HKEY_CLASSES_ROOT, progId);
    return a && b;
}

}  // namespace

HRESULT RegisterModule() {
    tesra::win::ComPtr<ITypeLib> lib;
    if (FAILED(tesra::win::COleControl::LoadModuleTypeLib(lib.Out()))) return SELFREG_E_TYPELIB;
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(tesra::win::ModuleInstance(), path, MAX_PATH);
    if (FAILED(::RegisterTypeLib(lib.get(), path, nullptr))) return SELFREG_E_TYPELIB;
    if (!RegisterComClass(CLSID_Tesra, kControlProgId, IDS_TESRA, true)) return SELFREG_E_CLASS;
    if (!RegisterComClass(CLSID_TesraPropPage, kPropPageProgId, IDS_TESRA_PPG, false)) return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT UnregisterModule() {
#if defined(_WIN64)
    constexpr SYSKIND kSysKind = SYS_WIN64;
#else
    constexpr SYSKIND kSysKind = SYS_WIN32;
#endif
    // Nothing registered is nothing to remove; only a real failure counts.
    if (RegKey::Open(HKEY_CLASSES_ROOT, "TypeLib\\" + GuidString(LIBID_TESRALib)) &&
        FAILED(::UnRegisterTypeLib(LIBID_TESRALib, 1, 0, 0x0409, kSysKind)))
        return SELFREG_E_TYPELIB;
    if (!UnregisterComClass(CLSID_Tesra, kControlProgId)) return SELFREG_E_CLASS;
    if (!UnregisterComClass(CLSID_TesraPropPage, kPropPageProgId)) return SELFREG_E_CLASS;
    return S_OK;
}
