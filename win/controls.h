// The system control libraries our windows need, loaded once per process on
// first use and never released while a window of theirs may exist.
#pragma once

#include <windows.h>

namespace tesra::win {

// The rich edit library; the class name to create, or null when it cannot
// be loaded. A Unicode class: our text crosses as UTF-16 converted from and
// to CP949 by us, whatever the machine's ANSI code page.
const wchar_t* RichEditClass();
// Tool tips, progress bars and the other common controls.
bool EnsureCommonControls();
// Frees the rich edit library when it was loaded. Only for a caller that
// knows no rich edit window is left, and never from DllMain (the loader
// lock is held there).
void ReleaseControlLibraries();

}  // namespace tesra::win
