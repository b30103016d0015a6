#include "memo/memo_menu.h"

#include "memo/memo_art.h"
#include "res/resource.h"

namespace {

constexpr char kMinimise[] = "\xC5\xA9\xB1\xE2 \xC3\xD6\xBC\xD2\xC8\xAD(&R)";  // 크기 최소화(&R)
constexpr char kRestore[] = "\xC0\xCC\xC0\xFC \xC5\xA9\xB1\xE2\xB7\xCE(&N)";  // 이전 크기로(&N)
constexpr char kNewMemo[] = "\xBB\xF5 \xB8\xDE\xB8\xF0(&N)...";  // 새 메모(&N)...
constexpr char kOpen[] = "\xB8\xDE\xB8\xF0 \xBA\xD2\xB7\xAF\xBF\xC0\xB1\xE2(&O)...";  // 메모 불러오기(&O)...
constexpr char kSave[] = "\xB8\xDE\xB8\xF0 \xC0\xFA\xC0\xE5\xC7\xCF\xB1\xE2(&S)...";  // 메모 저장하기(&S)...
constexpr char kColours[] = "\xBB\xF6 \xB9\xD9\xB2\xD9\xB1\xE2";  // 색 바꾸기
constexpr char kSettingsMenu[] = "\xB8\xDE\xB8\xF0 \xBC\xB3\xC1\xA4";  // 메모 설정
constexpr char kTitle[] = "\xC1\xA6\xB8\xF1 \xBC\xB3\xC1\xA4(&T)...";  // 제목 설정(&T)...
constexpr char kFont[] = "\xB1\xDB\xB2\xC3 \xBC\xB3\xC1\xA4(&F)...";  // 글꼴 설정(&F)...
constexpr char kAlarm[] = "\xBE\xCB\xB6\xF7 \xBC\xB3\xC1\xA4(&A)...";  // 알람 설정(&A)...
constexpr char kSettings[] = "\xC8\xAF\xB0\xE6 \xBC\xB3\xC1\xA4(&E)...";  // 환경 설정(&E)...
constexpr char kPrinterSetup[] = "\xC7\xC1\xB8\xB0\xC5\xCD \xBC\xB3\xC1\xA4...";  // 프린터 설정...
constexpr char kPrint[] = "\xC0\xCE\xBC\xE2(&P)";  // 인쇄(&P)
constexpr char kHancom[] =  // 한컴 쪽지에서 불러오기...
    "\xC7\xD1\xC4\xC4 \xC2\xCA\xC1\xF6\xBF\xA1\xBC\xAD \xBA\xD2\xB7\xAF\xBF\xC0\xB1\xE2...";
constexpr char kSend[] =  // 할보 쪽지로 보내기...
    "\xC7\xD2\xBA\xB8 \xC2\xCA\xC1\xF6\xB7\xCE \xBA\xB8\xB3\xBB\xB1\xE2...";

}  // namespace

MemoMenu::MemoMenu() : colours(kMemoColours) {}

bool MemoMenu::MeasureItem(MEASUREITEMSTRUCT& measure) const {
    return main.MeasureItem(measure) || settings.MeasureItem(measure) || colours.MeasureItem(measure);
}

bool MemoMenu::DrawItem(const DRAWITEMSTRUCT& draw) const {
    return main.DrawItem(draw) || settings.DrawItem(draw) || colours.DrawItem(draw);
}

std::unique_ptr<MemoMenu> BuildMemoMenu(bool minimised) {
    auto menu = std::make_unique<MemoMenu>();
    CIconMenu& m = menu->main;
    CIconMenu& s = menu->settings;
    if (!m || !s || !menu->colours) return nullptr;
    bool ok = minimised ? m.Append(MF_STRING, IDM_MEMO_RESTORE, kRestore)
                        : m.Append(MF_STRING, IDM_MEMO_MINIMIZE, kMinimise);
    ok = ok && m.Append(MF_SEPARATOR, 0) && m.Append(MF_STRING, IDM_MEMO_NEW, kNewMemo) &&
         m.Append(MF_STRING, IDM_MEMO_OPEN, kOpen) && m.Append(MF_STRING, IDM_MEMO_SAVE, kSave) &&
         m.Append(MF_SEPARATOR, 0) && menu->colours.AppendTo(m.hmenu(), kColours);
    ok = ok && s.Append(MF_STRING, IDM_MEMO_TITLE, kTitle) && s.Append(MF_STRING, IDM_MEMO_FONT, kFont) &&
         s.Append(MF_STRING, IDM_MEMO_ALARM, kAlarm) && s.Append(MF_SEPARATOR, 0) &&
         s.Append(MF_STRING, IDM_MEMO_SETTINGS, kSettings);
    if (!ok) return nullptr;
    // Without its images a menu still works: the commands are drawn without.
    s.LoadToolbar(IDR_MEMO_TOOLBAR);
    s.MakeOwnerDrawn(s.hmenu());
    ok = s.AppendTo(m.hmenu(), kSettingsMenu) && m.Append(MF_SEPARATOR, 0) &&
         m.Append(MF_STRING, IDM_MEMO_PRINTER_SETUP, kPrinterSetup) && m.Append(MF_STRING, IDM_MEMO_PRINT, kPrint) &&
         m.Append(MF_SEPARATOR, 0) && m.Append(MF_STRING, IDM_MEMO_HANCOM, kHancom) &&
         m.Append(MF_STRING, IDM_MEMO_SEND, kSend);
    if (!ok) return nullptr;
    m.LoadToolbar(IDR_MEMO_TOOLBAR);
    m.MakeOwnerDrawn(m.hmenu());
    return menu;
}
