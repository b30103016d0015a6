// TESRA.OCX as a COM server: regsvr32 registers and unregisters it without a
// trace, and its class factory counts objects and locks.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>

#include "box_answerer.h"
#include "tools/host/container.h"
#include "control/guids.h"
#include "module_util.h"
#include "win/com.h"
#include "win/registry.h"

namespace {

using tesra::host::Call;
using tesra::test::BesideThisProgram;
using tesra::test::Module;
using tesra::host::VBool;
using tesra::win::ComPtr;
using tesra::win::GuidString;
using tesra::win::RegKey;

DWORD RunProgram(std::string command) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFF;
    ::WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0xFFFFFFFE;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code;
}

std::string Value(const std::string& key, const std::string& name = "") {
    std::string v;
    RegKey k = RegKey::Open(HKEY_CLASSES_ROOT, key);
    return k && k.GetString(name, &v) ? v : "<missing>";
}

bool KeyExists(const std::string& key) { return static_cast<bool>(RegKey::Open(HKEY_CLASSES_ROOT, key)); }

TEST(Module, FactoryCountsObjectsAndLocks) {
    Module ocx(BesideThisProgram("TESRA.OCX"));
    ASSERT_NE(ocx.get(), nullptr);
    auto getClassObject = ocx.Proc<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    auto canUnload = ocx.Proc<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnload);
    EXPECT_EQ(canUnload(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_Tesra, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);  // a factory reference is a reason to stay
    ComPtr<IDispatch> control;
    ComPtr<IUnknown> outer;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(1), IID_IUnknown,
                                      reinterpret_cast<void**>(outer.Out())),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(control.Out())), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_FALSE);

    {
        // Without connection values the start-up ends in message 100.
        tesra::test::BoxAnswerer boxes;
        ASSERT_EQ(Call(control.get(), 1, DISPATCH_PROPERTYPUT, {VBool(true)}, nullptr), S_OK);
        EXPECT_EQ(boxes.Stop().size(), 1u);
    }
    control.Reset();
    EXPECT_EQ(canUnload(), S_FALSE);  // still locked

    ASSERT_EQ(getClassObject(CLSID_Tesra, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())), S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_OK);

    ComPtr<IClassFactory> page;
    EXPECT_EQ(getClassObject(CLSID_TesraPropPage, IID_IClassFactory, reinterpret_cast<void**>(page.Out())), S_OK);
    page.Reset();
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(page.Out())),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST(Registration, Regsvr32WritesEveryValueAndUnregisteringLeavesNothing) {
    const std::string ocx = BesideThisProgram("TESRA.OCX");
    const std::string cls = "CLSID\\" + GuidString(CLSID_Tesra);
    const std::string page = "CLSID\\" + GuidString(CLSID_TesraPropPage);
    const std::string lib = "TypeLib\\" + GuidString(LIBID_TESRALib);
    ASSERT_EQ(RunProgram("regsvr32.exe /s \"" + ocx + "\""), 0u);

    EXPECT_EQ(Value(cls), "Tesra Control");
    EXPECT_EQ(Value(cls + "\\InprocServer32"), ocx);
    EXPECT_EQ(Value(cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Value(cls + "\\ProgID"), "TESRA.TesraCtrl.1");
    EXPECT_TRUE(KeyExists(cls + "\\Control"));
    EXPECT_EQ(Value(cls + "\\MiscStatus\\1"), "131217");  // 0x20091
    EXPECT_EQ(Value(cls + "\\ToolboxBitmap32"), ocx + ", 1");
    EXPECT_EQ(Value(cls + "\\TypeLib"), GuidString(LIBID_TESRALib));
    EXPECT_EQ(Value(cls + "\\Version"), "1.0");
    EXPECT_EQ(Value("TESRA.TesraCtrl.1\\CLSID"), GuidString(CLSID_Tesra));
    EXPECT_EQ(Value(page), "Tesra Property Page");
    EXPECT_EQ(Value(page + "\\InprocServer32"), ocx);
    EXPECT_EQ(Value(page + "\\InprocServer32", "ThreadingModel"), "<missing>");
    EXPECT_EQ(Value("TESRA.TesraPropPage.1\\CLSID"), GuidString(CLSID_TesraPropPage));
    EXPECT_EQ(Value(lib + "\\1.0"), "Tesra ActiveX Control module");

    // Registered, the control is created by ProgID like any other.
    CLSID byProgId{};
    ASSERT_EQ(::CLSIDFromProgID(L"TESRA.TesraCtrl.1", &byProgId), S_OK);
    EXPECT_EQ(byProgId, CLSID_Tesra);
    ComPtr<IDispatch> control;
    ASSERT_EQ(::CoCreateInstance(CLSID_Tesra, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                 reinterpret_cast<void**>(control.Out())),
              S_OK);
    control.Reset();
    ::CoFreeUnusedLibraries();

    ASSERT_EQ(RunProgram("regsvr32.exe /s /u \"" + ocx + "\""), 0u);
    for (const std::string& key : {cls, page, lib, std::string("TESRA.TesraCtrl.1"), std::string("TESRA.TesraPropPage.1")})
        EXPECT_FALSE(KeyExists(key)) << key;
    // A second unregistration finds nothing to remove and still succeeds.
    EXPECT_EQ(RunProgram("regsvr32.exe /s /u \"" + ocx + "\""), 0u);
}

}  // namespace
