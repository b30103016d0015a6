// A dialog template of the module read into plain values, so that a dialog
// made many times (a memo window) reads its template once.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tesra::win {

struct DialogTemplateItem {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    DWORD id = 0;
    std::wstring className;  // a predefined class's atom is given as its name
    std::wstring text;
};

struct DialogTemplate {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring face;
    WORD points = 0;
    std::vector<DialogTemplateItem> items;
};

// The extended template (DIALOGEX) of that id in the module, or nothing when
// there is none or it is cut short.
std::optional<DialogTemplate> ReadDialogTemplate(HINSTANCE module, int id);

}  // namespace tesra::win
