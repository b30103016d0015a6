// The start-up's load from the memo server: a session (logging in when the
// one held is gone), the memo group for a new user, the index with pending
// memos carried over it, the memos' texts, and what waited to be sent. The
// manager keeps what is on the screen: the notice, the memo windows and
// the wait for the group's worker.
#pragma once

#include <string>
#include <string_view>

#include "sync/context.h"

namespace tesra {

class CIniFile;
class CTextDownloads;

// "메모 데이타를 불러오는 중입니다.\n잠시만 기다려 주십시오."
inline constexpr char kLoadingNotice[] =
    "\xB8\xDE\xB8\xF0 \xB5\xA5\xC0\xCC\xC5\xB8\xB8\xA6 \xBA\xD2\xB7\xAF\xBF\xC0\xB4\xC2 "
    "\xC1\xDF\xC0\xD4\xB4\xCF\xB4\xD9.\n\xC0\xE1\xBD\xC3\xB8\xB8 \xB1\xE2\xB4\xD9\xB7\xC1 "
    "\xC1\xD6\xBD\xCA\xBD\xC3\xBF\xC0.";
// "할보 메모 그룹 생성 중입니다.\n잠시만 기다려 주십시오."
inline constexpr char kGroupNotice[] =
    "\xC7\xD2\xBA\xB8 \xB8\xDE\xB8\xF0 \xB1\xD7\xB7\xEC \xBB\xFD\xBC\xBA \xC1\xDF\xC0\xD4\xB4\xCF\xB4\xD9.\n"
    "\xC0\xE1\xBD\xC3\xB8\xB8 \xB1\xE2\xB4\xD9\xB7\xC1 \xC1\xD6\xBD\xCA\xBD\xC3\xBF\xC0.";
// "메모 서버에 연결을 실패하였습니다.(#100)", (#200), (#300)
#define TESRA_CONNECT_FAILED "\xB8\xDE\xB8\xF0 \xBC\xAD\xB9\xF6\xBF\xA1 \xBF\xAC\xB0\xE1\xC0\xBB \xBD\xC7\xC6\xD0\xC7\xCF\xBF\xB4\xBD\xC0\xB4\xCF\xB4\xD9."
inline constexpr char kStartUpFailed100[] = TESRA_CONNECT_FAILED "(#100)";  // no session
inline constexpr char kStartUpFailed200[] = TESRA_CONNECT_FAILED "(#200)";  // no index
inline constexpr char kStartUpFailed300[] = TESRA_CONNECT_FAILED "(#300)";  // no index after the group's creation
#undef TESRA_CONNECT_FAILED
// "메모가 너무 많아 처음 %d개만 불러왔습니다.\n나머지 메모는 메모 서버에 그대로
// 남아 있습니다." with the number of memos opened.
inline constexpr char kTooManyMemosFormat[] =
    "\xB8\xDE\xB8\xF0\xB0\xA1 \xB3\xCA\xB9\xAB \xB8\xB9\xBE\xC6 \xC3\xB3\xC0\xBD %d\xB0\xB3\xB8\xB8 "
    "\xBA\xD2\xB7\xAF\xBF\xD4\xBD\xC0\xB4\xCF\xB4\xD9.\n\xB3\xAA\xB8\xD3\xC1\xF6 \xB8\xDE\xB8\xF0\xB4\xC2 "
    "\xB8\xDE\xB8\xF0 \xBC\xAD\xB9\xF6\xBF\xA1 \xB1\xD7\xB4\xEB\xB7\xCE \xB3\xB2\xBE\xC6 \xC0\xD6\xBD\xC0\xB4\xCF\xB4\xD9.";

// The manager's side of a start-up.
class IStartUpWindows {
public:
    virtual ~IStartUpWindows() = default;
    // Replaces the notice on the screen with one of this text; nullptr
    // closes it.
    virtual void ShowNotice(const char* text) = 0;
    // Runs the memo group's creation and waits for it.
    virtual void CreateGroup() = 0;
    // The manager is going away: the user is told nothing more.
    virtual bool Closing() = 0;
    // Loads the index files into the live and the previous index.
    virtual void LoadIndex() = 0;
    virtual CIniFile& PreviousIndex() = 0;
    // Opens the window of a memo of the live index, its text brought by
    // MemoTextReady from downloads; all the openings come between BeginMemos
    // and EndMemos.
    virtual void BeginMemos() {}
    virtual void OpenMemo(const std::string& section, CTextDownloads& downloads) = 0;
    virtual void EndMemos() {}
    // The memos count as loaded from here on; the pending uploads follow.
    virtual void Loaded() = 0;
};

// The server's index text written to the user folder ("~tesra.ini"), both
// indexes loaded, pending memos carried over the new one.
void WriteServerIndex(ISyncContext& ctx, IStartUpWindows& windows, const std::string& text);
// One window per memo of the index text, then the pending memos it lacks.
// False when the text named more memos than are opened from one index.
bool OpenMemosInIndexText(ISyncContext& ctx, IStartUpWindows& windows, const std::string& text);

// 1 loaded; 0 failed, the user told why unless the manager is closing, or
// the manager closed meanwhile.
int LoadMemosFromServer(ISyncContext& ctx, IStartUpWindows& windows, const std::string& user,
                        const std::string& password);

// The live index's stamp of the memo is not the one the previous index had:
// its data file is older than the server's text.
bool TextOutOfDate(ISyncContext& ctx, const CIniFile& previous, std::string_view section);
// Whether the memo's data file holds the text to show: its stamp is the one
// the previous index had, or the text was downloaded now (downloads, when
// given, holds it written ahead).
bool MemoTextReady(ISyncContext& ctx, const CIniFile& previous, std::string_view section, const std::string& path,
                   CTextDownloads* downloads = nullptr);

}  // namespace tesra
