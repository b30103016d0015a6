// The defaults for new memos, read by memo windows and the settings dialog.
// Each memo manager keeps its own (two controls in one process do not share
// them); a memo window reaches them through its host.
#pragma once

#include <windows.h>

struct MemoDefaultsData {
    int background = 0;   // colour index 0..8 ("bg" of section "main")
    int width = 200;      // "defcx"
    int height = 210;     // "defcy"
    COLORREF textColour = 0;
    LOGFONTA font{};
    int sizeStep = 2;     // pixel grid of positions and sizes
};

// The pixel grid for a desktop this wide: 2 up to 800, 3 up to 1024, else 4.
int SizeStepForDesktopWidth(int width);
// 9-point "굴림체" for a screen with this many logical pixels per inch.
LOGFONTA DefaultMemoFont(int pixelsPerInch);
// The initial values, for the screen's resolution and width now.
MemoDefaultsData InitialMemoDefaults();
