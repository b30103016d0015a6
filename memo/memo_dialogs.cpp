#include "memo/memo_dialogs.h"

#include "control/memo_defaults.h"

// Placeholders until the dialogs land: every dialog answers cancel.
namespace tesra::memo {
int RunSettingsDialog(HWND, MemoDefaultsData&) { return 0; }
int RunAlarmDialog(HWND, std::int32_t&) { return 0; }
int RunTitleDialog(HWND, std::string&) { return 0; }
int RunDeleteConfirmDialog(HWND) { return 0; }
int RunFontChooser(HWND, LOGFONTA&, COLORREF&) { return 0; }
}  // namespace tesra::memo
