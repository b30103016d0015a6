// Pictures, fonts, pens and brushes every memo window paints with: made
// with the first memo window and freed with the last, never per window.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "win/dialog_template.h"
#include "win/gdi.h"
#include "win/handles.h"

inline constexpr int kMemoColourCount = 9;
// The memo colours, by the colour index stored as "bg".
extern const std::array<COLORREF, kMemoColourCount> kMemoColours;
// An index outside the table is the first colour.
int ValidColourIndex(int index);

struct MemoArt {
    tesra::win::Bitmap deleteButton, deleteHot, newButton, newHot, home, homeHot;
    // Shared with the system (loaded once a process, never destroyed): Wine
    // keeps a little of every private icon after it is destroyed, which a
    // host signing in and out all day would pile up.
    HICON pin = nullptr, pinBlink = nullptr, alarm = nullptr, alarmBlink = nullptr;
    HCURSOR hand = nullptr;
    tesra::win::Font caption;  // title of a folded memo
    tesra::win::Font alarmFont;  // "[알람] ..." in the caption band
    tesra::win::Pen grey128, grey192;
    std::array<tesra::win::Brush, kMemoColourCount> colours;
    tesra::win::Brush outline;  // the grey of the border
    std::optional<tesra::win::DialogTemplate> frame;  // the memo window's template
    mutable std::map<std::pair<HBITMAP, COLORREF>, tesra::win::DibImage> faces;  // user-interface thread

    // A button's picture on a memo colour, made once per picture and colour:
    // the see-through drawing is slow, a copy is not. Null when it could not
    // be made.
    const tesra::win::DibImage* Face(HBITMAP picture, COLORREF background) const;
    // The template's control of that id, if it has one.
    const tesra::win::DialogTemplateItem* FrameItem(DWORD id) const;

    // Every bitmap of the buttons and the template are there (a missing one
    // fails a window).
    bool Complete() const;
    // The shared set, made when no memo holds one.
    static std::shared_ptr<const MemoArt> Get();
};
