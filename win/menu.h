// A popup menu that is destroyed with its owner, or with the parent menu it
// was appended to (a menu destroys its submenus itself).
#pragma once

#include <windows.h>

#include <string_view>

#include "win/cp949.h"
#include "win/handles.h"

namespace tesra::win {

class CPopupMenu {
public:
    CPopupMenu() : m_menu(::CreatePopupMenu()), m_handle(m_menu.get()) {}
    CPopupMenu(const CPopupMenu&) = delete;
    CPopupMenu& operator=(const CPopupMenu&) = delete;
    virtual ~CPopupMenu() = default;

    HMENU hmenu() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

    // A command or separator item; text is CP949.
    bool Append(UINT flags, UINT_PTR id, std::string_view text = {}) {
        const std::wstring wide = WideFrom949(text);
        return m_handle && ::AppendMenuW(m_handle, flags, id, (flags & (MF_OWNERDRAW | MF_SEPARATOR)) ? nullptr
                                                                                                      : wide.c_str());
    }
    // Appends this menu to parent as a popup item; parent destroys it from now on.
    bool AppendTo(HMENU parent, std::string_view text) {
        const std::wstring wide = WideFrom949(text);
        if (!m_menu || !::AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(m_handle), wide.c_str()))
            return false;
        m_menu.Release();
        return true;
    }

private:
    Menu m_menu;
    HMENU m_handle;
};

}  // namespace tesra::win
