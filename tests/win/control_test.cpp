// The control as containers and hosts see it, with the argument types real
// clients pass.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/window_messages.h"
#include "tools/host/container.h"
#include "control/guids.h"
#include "module_util.h"
#include "control/prop_page.h"
#include "control/tesra_ctrl.h"
#include "memo/memo_dlg.h"
#include "support/cp949_corpus.h"
#include "support/fake_server.h"
#include "support/hancom_note_writer.h"
#include "support/temp_dir.h"
#include "win/class_factory.h"
#include "win/com.h"
#include "win/registry.h"

namespace {

using tesra::host::Call;
using tesra::host::EventSink;
using tesra::host::HostWindow;
using tesra::host::ContainerSite;
using tesra::host::VBool;
using tesra::host::VI2;
using tesra::host::VI4;
using tesra::host::VStr;
using tesra::host::VStrRef;
using tesra::host::VVarRef;
using tesra::win::Bstr;
using tesra::win::ComPtr;
using tesra::win::Variant;

std::string ProgramFolder() {
    const std::string path = tesra::test::BesideThisProgram("");
    return path.substr(0, path.size() - 1);
}

// A control made in-process, held through its IDispatch, with the C++ object
// at hand for what the host cannot see.
struct Control {
    Control() {
        tesra::win::CClassFactory<CTesraCtrl> factory;
        EXPECT_EQ(factory.CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(dispatch.Out())), S_OK);
        object = static_cast<CTesraCtrl*>(static_cast<tesra::win::COleControl*>(dispatch.get()));
        // A show starts a start-up, which here fails; its message box must
        // not wait for a user.
        object->Services().SetMessageBoxHook([](const std::string&, UINT) { return IDOK; });
    }
    template <class I>
    ComPtr<I> As(REFIID iid) const {
        return dispatch.As<I>(iid);
    }
    ComPtr<IDispatch> dispatch;
    CTesraCtrl* object = nullptr;
};

std::wstring TypeInfoName(ITypeInfo* info) {
    Bstr name;
    info->GetDocumentation(MEMBERID_NIL, name.Out(), nullptr, nullptr, nullptr);
    return name.get() ? name.get() : L"";
}

TEST(Control, OffersWhatAContainerAsksFor) {
    Control c;
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &DIID__DTesra, &IID_IConnectionPointContainer,
                           &IID_IProvideClassInfo, &IID_IProvideClassInfo2, &IID_IOleObject, &IID_IOleWindow,
                           &IID_IOleInPlaceObject, &IID_IOleInPlaceActiveObject, &IID_IOleControl, &IID_IViewObject,
                           &IID_IViewObject2, &IID_IPersist, &IID_IPersistStreamInit, &IID_IPersistPropertyBag,
                           &IID_ISpecifyPropertyPages})
        EXPECT_TRUE(c.As<IUnknown>(*iid)) << tesra::win::GuidString(*iid);
    EXPECT_FALSE(c.As<IUnknown>(IID_IPersistStorage));

    // One identity: every interface leads back to the same IUnknown.
    auto a = c.As<IUnknown>(IID_IUnknown);
    auto b = c.As<IOleObject>(IID_IOleObject).As<IUnknown>(IID_IUnknown);
    EXPECT_EQ(a.get(), b.get());

    auto classInfo = c.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
    GUID source{};
    ASSERT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(source, DIID__DTesraEvents);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.Out()), S_OK);
    EXPECT_EQ(TypeInfoName(coclass.get()), L"Tesra");

    ComPtr<ITypeInfo> dispInfo;
    ASSERT_EQ(c.dispatch->GetTypeInfo(0, 0, dispInfo.Out()), S_OK);
    EXPECT_EQ(TypeInfoName(dispInfo.get()), L"_DTesra");
    // Names, parameter names included, come from the type library.
    LPOLESTR withParam[] = {const_cast<LPOLESTR>(L"isMEMOfileExists"), const_cast<LPOLESTR>(L"FtpConnection"),
                            const_cast<LPOLESTR>(L"nPort")};
    DISPID ids[2] = {};
    EXPECT_EQ(c.dispatch->GetIDsOfNames(IID_NULL, withParam, 1, 0, ids), S_OK);
    EXPECT_EQ(c.dispatch->GetIDsOfNames(IID_NULL, withParam + 1, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[1], 1);

    CAUUID pages{};
    ASSERT_EQ(c.As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages)->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_EQ(pages.pElems[0], CLSID_TesraPropPage);
    ::CoTaskMemFree(pages.pElems);
}

TEST(Control, LivesInPlaceInAContainerAndLetsGoOfIt) {
    HostWindow host;
    auto* site = new ContainerSite(host.get(), RECT{10, 20, 110, 70});
    {
        Control c;
        auto ole = c.As<IOleObject>(IID_IOleObject);
        ASSERT_EQ(ole->SetClientSite(site), S_OK);
        RECT pos{10, 20, 110, 70};
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, host.get(), &pos), S_OK);
        EXPECT_EQ(site->activations, 1);

        HWND window = nullptr;
        ASSERT_EQ(c.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&window), S_OK);
        EXPECT_EQ(::GetParent(window), host.get());
        EXPECT_TRUE(::GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD);

        RECT moved{0, 0, 50, 40};
        ASSERT_EQ(c.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->SetObjectRects(&moved, &moved), S_OK);
        RECT r{};
        ::GetClientRect(window, &r);
        EXPECT_EQ(r.right, 50);
        EXPECT_EQ(r.bottom, 40);

        // Drawing draws nothing, and says so without failing.
        HDC dc = ::GetDC(host.get());
        RECTL bounds{0, 0, 50, 40};
        EXPECT_EQ(c.As<IViewObject2>(IID_IViewObject2)
                      ->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
                  S_OK);
        ::ReleaseDC(host.get(), dc);

        // Deactivation leaves the window (timers, commands, memo windows)
        // alive, hidden and out of the container; reactivation takes it back.
        ASSERT_EQ(c.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK);
        EXPECT_TRUE(::IsWindow(window));
        EXPECT_FALSE(::IsWindowVisible(window));
        EXPECT_EQ(::GetParent(window), nullptr);
        EXPECT_EQ(site->deactivations, 1);
        EXPECT_EQ(c.object->minuteTimer(), 2u);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, host.get(), &pos), S_OK);
        HWND again = nullptr;
        ASSERT_EQ(c.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&again), S_OK);
        EXPECT_EQ(again, window);
        EXPECT_EQ(::GetParent(window), host.get());
        ole->Close(OLECLOSE_NOSAVE);
        EXPECT_FALSE(::IsWindow(window));
        ole->SetClientSite(nullptr);
    }
    EXPECT_EQ(site->refs(), 1u);
    site->Release();
}

TEST(Control, WithoutAContainerMakesAHiddenWindowOfItsOwn) {
    Control c;
    Variant shown;
    ASSERT_EQ(Call(c.dispatch.get(), 1, DISPATCH_PROPERTYGET, {}, shown.get()), S_OK);
    HWND window = c.object->hwnd();
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_EQ(::GetParent(window), nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));
    HWND reported = nullptr;
    EXPECT_EQ(c.As<IOleWindow>(IID_IOleWindow)->GetWindow(&reported), S_OK);
    EXPECT_EQ(reported, window);

    // Commands reach it like any control window (hostile ones: Manager's tests).
    COPYDATASTRUCT cds{300, 0, const_cast<char*>("")};
    EXPECT_EQ(::SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 1);
    EXPECT_EQ(::SendMessageA(window, tesra::kMemoChangedMessage, 0, 0), 1);
}

TEST(Automation, ConnectionValuesArriveAsCp949WithThePortCutTo16Bits) {
    Control c;
    Bstr server(L"memo.example");
    Bstr user(L"\xAE40\xCCA0\xC218@example.com");  // 김철수
    Bstr password(L"p\xC554w");                     // p암w
    VARIANT byRefUser = VStr(user.get());
    Variant result;
    // Port as a script Integer, the user id as a script variable by reference.
    ASSERT_EQ(Call(c.dispatch.get(), 2, DISPATCH_METHOD,
                   {VStr(server.get()), VI2(21), VVarRef(&byRefUser), VStr(password.get())}, result.get()),
              S_OK);
    EXPECT_EQ(V_VT(result.get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);
    EXPECT_EQ(c.object->Services().server(), "memo.example");
    EXPECT_EQ(c.object->Services().port(), 21);
    EXPECT_EQ(c.object->Services().userId(), "\xB1\xE8\xC3\xB6\xBC\xF6@example.com");
    EXPECT_EQ(c.object->Services().password(), "p\xBE\xCFw");

    Variant none;
    ASSERT_EQ(Call(c.dispatch.get(), 3, DISPATCH_METHOD,
                   {VStr(server.get()), VI4(0x12345), VStr(user.get()), VStr(password.get())}, none.get()),
              S_OK);
    EXPECT_EQ(V_VT(none.get()), VT_EMPTY);
    EXPECT_EQ(c.object->Services().port(), 0x2345);

    // Wrong shapes are refused, not guessed at.
    // (Arguments of the wrong type: the next test.)
    EXPECT_EQ(Call(c.dispatch.get(), 2, DISPATCH_METHOD, {VStr(server.get())}, nullptr), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(Call(c.dispatch.get(), 42, DISPATCH_METHOD, {}, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(c.dispatch.get(), 2, DISPATCH_PROPERTYGET, {}, nullptr), DISP_E_MEMBERNOTFOUND);
}

TEST(Automation, AWrongArgumentIsNamedByItsIndexInRgvarg) {
    Control c;
    Bstr text(L"x"), notANumber(L"eleven");
    Variant array;
    V_VT(array.get()) = VT_ARRAY | VT_I4;
    V_ARRAY(array.get()) = ::SafeArrayCreateVector(VT_I4, 0, 1);
    // ChageFtpConnection(server, port, user, password) with one argument of
    // a type it cannot take; rgvarg holds the arguments last to first.
    for (UINT position = 0; position < 4; ++position) {
        std::vector<VARIANT> args{VStr(text.get()), VI4(21), VStr(text.get()), VStr(text.get())};
        args[position] = position == 1 ? VStr(notANumber.get()) : *array.get();
        std::vector<VARIANT> rgvarg(args.rbegin(), args.rend());
        DISPPARAMS params{rgvarg.data(), nullptr, 4, 0};
        UINT argErr = 99;
        EXPECT_EQ(c.dispatch->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                     &argErr),
                  DISP_E_TYPEMISMATCH)
            << position;
        EXPECT_EQ(argErr, 3 - position) << position;
    }
}

TEST(Automation, FtpConnectionLogsInThroughTheLoginScriptAndChageDoesNot) {
    using namespace tesra::test::step;
    tesra::test::FakeServer login({tesra::test::Steps(
        {{ReadUntil("\n\n"),
          Send("HTTP/1.0 200 OK\r\nSet-Cookie: QUILLMAR_EMAIL_SID=s1d; path=/\r\nSet-Cookie: other=1\r\n\r\nwelcome"),
          Close()}})});
    ASSERT_EQ(::_putenv_s("TESRA_LOGIN_SERVER", login.address().c_str()), 0);
    Control c;
    Bstr server(L"memo.example"), user(L"kim@example.com"), password(L"p w");
    Variant result;
    ASSERT_EQ(Call(c.dispatch.get(), 3, DISPATCH_METHOD,
                   {VStr(server.get()), VI4(21), VStr(user.get()), VStr(password.get())}, result.get()),
              S_OK);
    EXPECT_EQ(login.accepted(), 0);  // storing only
    ASSERT_EQ(Call(c.dispatch.get(), 2, DISPATCH_METHOD,
                   {VStr(server.get()), VI4(21), VStr(user.get()), VStr(password.get())}, result.get()),
              S_OK);
    EXPECT_TRUE(login.Finish());
    EXPECT_EQ(login.Received(0).rfind("GET /BIN/login_halvo.cgi?id=%6b%69%6d%40%65%78%61%6d%70%6c%65%2e%63%6f%6d"
                                      "&pw=%70%20%77 HTTP/1.0\n",
                                      0),
              0u)
        << login.Received(0);
    EXPECT_EQ(c.object->Services().Http().m_strCookie, "QUILLMAR_SID=s1d; QUILLMAR_EMAIL_SID=s1d");
    ::_putenv_s("TESRA_LOGIN_SERVER", "");
}

TEST(Automation, IsMemoFileExistsLooksOnlyInsideTheUserFolder) {
    Control c;
    c.object->ChageFtpConnection("s", 0, "kim@example.com", "pw");
    c.object->EnsureWindow();  // the window's creation sets the data root
    const std::string userFolder = c.object->Services().UserFolder();
    EXPECT_EQ(userFolder, ProgramFolder() + "\\tesra\\kim");
    std::filesystem::create_directories(userFolder + "\\lee");
    std::filesystem::create_directories(userFolder + "\\empty");
    { FILE* f = std::fopen((userFolder + "\\lee\\memo1.dat").c_str(), "wb"); ASSERT_TRUE(f); std::fclose(f); }

    EXPECT_TRUE(c.object->IsMemoFileExists("lee"));
    EXPECT_FALSE(c.object->IsMemoFileExists("empty"));
    EXPECT_FALSE(c.object->IsMemoFileExists("nobody"));
    for (const char* hostile : {"", "..", "..\\kim\\lee", "lee\\..", "lee/..", "C:", "lee:stream", "le\ne", "."})
        EXPECT_FALSE(c.object->IsMemoFileExists(hostile)) << hostile;

    Bstr name(L"lee");
    Variant result;
    ASSERT_EQ(Call(c.dispatch.get(), 5, DISPATCH_METHOD, {VStr(name.get())}, result.get()), S_OK);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);

    // A user id that cannot name a folder of ours is refused whole.
    for (const char* hostile : {"..@x", "a\\b@x", "CON@x", "c:d@x"}) {
        c.object->ChageFtpConnection("s", 0, hostile, "pw");
        EXPECT_EQ(c.object->Services().userId(), "") << hostile;
        EXPECT_EQ(c.object->Services().UserFolder(), ProgramFolder() + "\\tesra") << hostile;
    }
    std::filesystem::remove_all(ProgramFolder() + "\\tesra");
}

TEST(Events, SendMemoDataCarriesTheTextBytesAndTheControlFreesTheString) {
    Control c;
    auto* sink = new EventSink(DIID__DTesraEvents);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(c.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
                  ->FindConnectionPoint(DIID__DTesraEvents, point.Out()),
              S_OK);
    ComPtr<IConnectionPoint> wrong;
    EXPECT_EQ(c.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
                  ->FindConnectionPoint(IID_IDispatch, wrong.Out()),
              CONNECT_E_NOCONNECTION);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(sink, &cookie), S_OK);

    const std::string text = std::string(tesra::test::cp949::kMemo) + "\r\nline 2";
    c.object->FireSendMemoData(text);
    sink->replace = true;
    sink->replaceWith = "handler's own";
    c.object->FireSendMemoData("odd");  // 3 bytes: not even a whole UTF-16 unit
    c.object->FireSendMemoData("");
    ASSERT_EQ(sink->received.size(), 3u);
    EXPECT_EQ(sink->received[0], text);
    EXPECT_EQ(sink->received[1], "odd");
    EXPECT_EQ(sink->received[2], "");
    EXPECT_EQ(sink->types[0], VT_BYREF | VT_BSTR);

    ASSERT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    c.object->FireSendMemoData("after");
    EXPECT_EQ(sink->received.size(), 3u);
    EXPECT_EQ(sink->refs(), 1u);
    sink->Release();
}

TEST(Persistence, StoresTheVersionOnly) {
    Control c;
    auto persist = c.As<IPersistStreamInit>(IID_IPersistStreamInit);
    ComPtr<IStream> stream;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Out()), S_OK);
    ASSERT_EQ(persist->InitNew(), S_OK);
    // A script's Integer -1 is true, and setting marks the state modified.
    ASSERT_EQ(Call(c.dispatch.get(), 1, DISPATCH_PROPERTYPUT, {VI2(-1)}, nullptr), S_OK);
    EXPECT_TRUE(c.object->GetShowMemoDlg());
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    EXPECT_EQ(st.cbSize.QuadPart, 4u);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    DWORD version = 0;
    stream->Read(&version, 4, nullptr);
    EXPECT_EQ(version, 0x00010000u);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(persist->Load(stream.get()), S_OK);
    CLSID clsid{};
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Tesra);
}

TEST(PropertyPage, ShowsTheGeneralPageFromItsTemplate) {
    tesra::win::CClassFactory<CTesraPropPage> factory;
    ComPtr<IPropertyPage> page;
    ASSERT_EQ(factory.CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(page.Out())), S_OK);
    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"General");
    EXPECT_GT(info.size.cx, info.size.cy);
    EXPECT_GT(info.size.cy, 0);
    ::CoTaskMemFree(info.pszTitle);

    Control c;
    IUnknown* objects[] = {c.dispatch.get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    HostWindow host;
    RECT r{0, 0, 300, 100};
    ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(page->Apply(), S_OK);
    ASSERT_EQ(page->Deactivate(), S_OK);
    ASSERT_EQ(page->SetObjects(0, nullptr), S_OK);
}

// The Hancom Note import with a Windows folder of the test's own: which
// boxes in which order, the notes up to a damaged one. (The first-run flag:
// Manager.StartUpPaths.)
TEST(HancomImport, OpensTheNotesBeforeTheDamagedOneAsMemos) {
    using namespace tesra::test;
    Control c;
    c.object->ChageFtpConnection("s", 0, "hnc@example.com", "pw");
    c.object->EnsureWindow();
    std::vector<std::pair<std::string, UINT>> boxes;  // their first ten characters
    int answer = IDNO;
    c.object->Services().SetMessageBoxHook([&](const std::string& text, UINT style) {
        boxes.emplace_back(text.substr(0, 20), style);
        return answer;
    });

    TempDir windows, hancom;
    c.object->Manager().SetWindowsFolder(windows.path());
    tesra::HancomNote first = SampleHancomNote(0, 0, "\xC7\xD1 one"), second = SampleHancomNote(40, 50, "two");
    second.minimised = 1;
    HancomNoteRecord damaged{SampleHancomNote(0, 0, "three")};
    damaged.check = 1;
    ASSERT_TRUE(WriteBytes(hancom.File("hncnote.dsk"), WriteHancomNotes({first, second, damaged})));
    EXPECT_EQ(c.object->Manager().ImportHancomNotes(1) + c.object->Manager().ImportHancomNotes(0), 0);  // no win.ini: one box
    ASSERT_TRUE(WriteBytes(windows.File("win.ini"), "[HNC Path]\r\nHNCUSER=" + hancom.path() + "\\\r\n"));
    EXPECT_EQ(c.object->Manager().ImportHancomNotes(1), 0);
    answer = IDYES;
    EXPECT_EQ(c.object->Manager().ImportHancomNotes(1), 1);
    const std::string question = "\xC7\xF6\xC0\xE7 \xBD\xC3\xBD\xBA\xC5\xDB\xBF\xA1 \xBC\xB3\xC4\xA1\xB5\xC7";
    const std::string file = "\xC7\xD1\xC4\xC4\xC2\xCA\xC1\xF6 \xC6\xC4\xC0\xCF\xC0\xCC ";
    EXPECT_EQ(boxes, (std::vector<std::pair<std::string, UINT>>{{file + "\xBE\xF8\xBD\xC0", MB_OK},
                                                                {question, MB_YESNO | MB_ICONQUESTION},
                                                                {question, MB_YESNO | MB_ICONQUESTION},
                                                                {file + "\xBC\xD5\xBB\xF3", MB_OK | MB_ICONSTOP}}));

    ASSERT_EQ(c.object->Manager().memos().size(), 2u);
    const std::string a = c.object->Manager().memos()[0]->key(), b = c.object->Manager().memos()[1]->key();
    EXPECT_TRUE(a.rfind("tesra", 0) == 0 && a != b) << a << " " << b;
    std::string font, min, text(64, '\0');
    c.object->Manager().LiveIndex().GetString(a, "font", font);
    c.object->Manager().LiveIndex().GetString(b, "min", min);
    EXPECT_EQ(font + "|" + min, "1056816 -12 0 0 0 700 1 0 129 0 0 0 0 \xB1\xBC\xB8\xB2|1");
    text.resize(::GetWindowTextA(::GetDlgItem(c.object->Manager().memos()[0]->hwnd(), 304), text.data(), 64));
    EXPECT_EQ(text, first.text);
    c.object->Manager().DestroyAllMemos();
    std::filesystem::remove_all(ProgramFolder() + "\\tesra");
}

}  // namespace
