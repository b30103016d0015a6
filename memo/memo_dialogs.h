// The modal dialogs a memo opens from its menu and its delete button. Each
// runs on the user-interface thread with the memo window as parent and
// answers 1 for OK, 0 for cancel; on cancel nothing given by reference
// changes (except the settings dialog's default font, which its font button
// replaces at once).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct MemoDefaultsData;

namespace tesra::memo {

// The platform's font dialog, fixed-pitch screen fonts with effects.
int RunFontChooser(HWND parent, LOGFONTA& font, COLORREF& colour);
using FontChooser = int (*)(HWND parent, LOGFONTA& font, COLORREF& colour);

// Template 206: default size (clamped to 140..500 × 80..400 on OK), colour
// and font of new memos. The font button asks chooseFont.
int RunSettingsDialog(HWND parent, MemoDefaultsData& defaults, FontChooser chooseFont = RunFontChooser);
// Template 209: alarm time in seconds since 1970, 0 for none.
int RunAlarmDialog(HWND parent, std::int32_t& alarmTime);
// Template 213: the memo's title, at most 70 bytes.
int RunTitleDialog(HWND parent, std::string& title);
// Template 207: "delete a memo that has text?"; 1 for yes.
int RunDeleteConfirmDialog(HWND parent);

}  // namespace tesra::memo
