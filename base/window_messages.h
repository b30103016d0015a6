// The private window messages that pass between the control's window, the
// memo windows, the pumping wait and the tests: their numbers live here only.
// (Plain numbers: this header is included where <windows.h> is not.)
#pragma once

namespace tesra {

inline constexpr unsigned kUserMessage = 0x0400;  // WM_USER
// A memo window saved its text (or received text): the control runs a pass.
inline constexpr unsigned kMemoChangedMessage = kUserMessage + 100;
// The settings dialog changed the user's defaults: the control uploads them.
inline constexpr unsigned kSettingsChangedMessage = kUserMessage + 101;
// A transfer's progress, sent to a memo window by the pumping wait.
inline constexpr unsigned kTransferProgressMessage = kUserMessage + 901;

}  // namespace tesra
