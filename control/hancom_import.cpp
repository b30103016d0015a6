// Bringing Hancom Note's desktop notes in as memos.
#include <windows.h>

#include "base/fs.h"
#include "base/text.h"
#include "control/memo_manager.h"
#include "memo/memo_dlg.h"
#include "res/resource.h"
#include "storage/memo_record.h"
#include "storage/storage_util.h"
#include "win/com.h"
#include "win/registry.h"
#include "win/window.h"

namespace {

// "한컴쪽지 파일이 없습니다."
constexpr char kHancomMissing[] =
    "\xC7\xD1\xC4\xC4\xC2\xCA\xC1\xF6 \xC6\xC4\xC0\xCF\xC0\xCC \xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.";
// "한컴쪽지 파일이 손상되어 있어 작업을 중단 합니다."
constexpr char kHancomDamaged[] =
    "\xC7\xD1\xC4\xC4\xC2\xCA\xC1\xF6 \xC6\xC4\xC0\xCF\xC0\xCC \xBC\xD5\xBB\xF3\xB5\xC7\xBE\xEE "
    "\xC0\xD6\xBE\xEE \xC0\xDB\xBE\xF7\xC0\xBB \xC1\xDF\xB4\xDC \xC7\xD5\xB4\xCF\xB4\xD9.";
constexpr char kHncNoteFlag[] = "HncNoteFlag";
constexpr DWORD kNoteGapMs = 100;

// Lets the host's messages run for ms milliseconds; a WM_QUIT ends the wait
// and is posted again for the host's own loop.
void PumpFor(DWORD ms) {
    const ULONGLONG start = ::GetTickCount64();
    for (ULONGLONG passed = 0; passed < ms; passed = ::GetTickCount64() - start) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms - passed), QS_ALLINPUT);
        MSG msg;
        if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

}  // namespace

int CMemoManager::TakeHncNoteFlag() {
    DWORD flag = 1;
    tesra::win::RegKey::Open(HKEY_CURRENT_USER, kPreferenceKey, KEY_ALL_ACCESS).GetDword(kHncNoteFlag, &flag);
    if (flag != 0) tesra::win::RegKey::Create(HKEY_CURRENT_USER, kPreferenceKey).SetDword(kHncNoteFlag, 0);
    return static_cast<int>(flag);
}

std::string CMemoManager::HancomNotePath() const {
    std::string windows = m_windowsFolder;
    if (windows.empty()) {
        char path[MAX_PATH] = {};
        const UINT n = ::GetWindowsDirectoryA(path, MAX_PATH);
        windows.assign(path, n < MAX_PATH ? n : 0);
    }
    tesra::CIniFile ini;
    ini.Load(tesra::Format("%s\\win.ini", windows.c_str()));
    std::string folder;
    ini.GetString("HNC Path", "HNCUSER", folder);
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return tesra::Format("%s\\%s", folder.c_str(), tesra::kHancomNoteFile);
}

int CMemoManager::ImportHancomNotes(int reportMissing) {
    // The import pumps between notes and asks questions: a flow of its own.
    FlowScope flow(*this);
    const std::string path = HancomNotePath();
    if (!tesra::FileExists(path)) {
        if (reportMissing) MessageBox(kHancomMissing, MB_OK);
        return 0;
    }
    if (MessageBox(tesra::win::ModuleString(IDS_HANCOM_IMPORT_QUESTION), MB_YESNO | MB_ICONQUESTION) != IDYES) return 0;
    std::string bytes;
    if (!tesra::fs::ReadFile(path, &bytes)) return 0;
    const tesra::HancomNoteList list = tesra::ReadHancomNotes(bytes);
    // The pause between notes lets the host's messages run, among them the
    // control's own destruction: after that no memo is made.
    for (const tesra::HancomNote& note : list.notes) {
        if (m_closing) return 1;
        ImportHancomNote(note);
    }
    if (list.damaged && !m_closing) MessageBox(kHancomDamaged, MB_OK | MB_ICONSTOP);
    return 1;
}

void CMemoManager::ImportHancomNote(const tesra::HancomNote& note) {
    const std::string section = tesra::Format("tesra%ld", static_cast<long>(::GetTickCount()));
    tesra::MemoRecord record;
    record.folded = note.minimised;
    record.colour = m_defaults.background;
    record.font = tesra::FormatFontString({note.textColor, note.font});
    record.place = tesra::FormatPositionString(note.rect, tesra::win::Desktop());
    tesra::WriteMemoRecord(m_index, section, record);
    OpenImportedMemo(section, note.text);
    // The tick count names the next note: it must have moved on.
    PumpFor(kNoteGapMs);
}

void CMemoManager::OpenImportedMemo(const std::string& section, const std::string& text) {
    const tesra::MemoRecord record = tesra::ReadMemoRecord(m_index, section);
    CMemoDlg* memo = MakeMemoWindow(record.colour.value_or(0), record.folded.value_or(0));
    if (!memo) return;
    memo->SetKey(section);
    memo->SetDataPath(tesra::SectionDataPath(GetUserFolder(), section));
    memo->ApplyFont();
    memo->RestorePlacement();
    memo->SetMemoText(text);
    memo->Show(true);
}
