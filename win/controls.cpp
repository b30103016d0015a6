#include "win/controls.h"

#include <commctrl.h>
#include <richedit.h>

namespace tesra::win {

namespace {
HMODULE g_richEdit = nullptr;  // process-wide, user-interface thread only
bool g_commonControls = false;
}  // namespace

const wchar_t* RichEditClass() {
    if (!g_richEdit) g_richEdit = ::LoadLibraryA("riched20.dll");
    return g_richEdit ? RICHEDIT_CLASSW : nullptr;
}

bool EnsureCommonControls() {
    if (!g_commonControls) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
        g_commonControls = ::InitCommonControlsEx(&icc) != FALSE;
    }
    return g_commonControls;
}

void ReleaseControlLibraries() {
    if (g_richEdit) ::FreeLibrary(g_richEdit);
    g_richEdit = nullptr;
}

}  // namespace tesra::win
