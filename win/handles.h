// Owners for the user-interface handles that are not GDI objects, and the
// device-context helpers that give back what they took.
#pragma once

#include <windows.h>

#include <utility>

#include "win/unique_handle.h"

namespace tesra::win {

using Icon = UniqueHandle<HICON, &::DestroyIcon>;
using Menu = UniqueHandle<HMENU, &::DestroyMenu>;
using Window = UniqueHandle<HWND, &::DestroyWindow>;
using Hook = UniqueHandle<HHOOK, &::UnhookWindowsHookEx>;
using MemoryDC = UniqueHandle<HDC, &::DeleteDC>;

// GetDC / GetWindowDC with its ReleaseDC.
class WindowDC {
public:
    enum Kind { kClient, kWholeWindow };
    explicit WindowDC(HWND hwnd, Kind kind = kClient)
        : hwnd_(hwnd), dc_(kind == kClient ? ::GetDC(hwnd) : ::GetWindowDC(hwnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &ps_)) {}
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { ::EndPaint(hwnd_, &ps_); }
    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return ps_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// An object selected into a DC, the previous one put back on scope exit.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Text colour, background colour and mode of a DC, restored on scope exit.
class TextColours {
public:
    explicit TextColours(HDC dc)
        : dc_(dc), text_(::GetTextColor(dc)), back_(::GetBkColor(dc)), mode_(::GetBkMode(dc)) {}
    TextColours(const TextColours&) = delete;
    TextColours& operator=(const TextColours&) = delete;
    ~TextColours() {
        ::SetTextColor(dc_, text_);
        ::SetBkColor(dc_, back_);
        ::SetBkMode(dc_, mode_);
    }

private:
    HDC dc_;
    COLORREF text_;
    COLORREF back_;
    int mode_;
};

// The wait cursor while a scope runs.
// Nested waits show the cursor once; the outermost one puts it back.
class WaitCursor {
public:
    WaitCursor() {
        if (Depth()++ == 0) old_ = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() {
        if (--Depth() == 0) ::SetCursor(old_);
    }

private:
    static int& Depth() {
        static int depth = 0;  // user-interface thread
        return depth;
    }
    HCURSOR old_ = nullptr;
};

}  // namespace tesra::win
