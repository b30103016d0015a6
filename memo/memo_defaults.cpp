#include "memo/memo_defaults.h"

#include <cstring>

int SizeStepForDesktopWidth(int width) {
    if (width <= 800) return 2;
    if (width <= 1024) return 3;
    return 4;
}

LOGFONTA DefaultMemoFont(int pixelsPerInch) {
    LOGFONTA f{};
    f.lfHeight = -::MulDiv(9, pixelsPerInch, 72);
    f.lfWeight = FW_NORMAL;
    f.lfCharSet = HANGEUL_CHARSET;       // 129
    f.lfOutPrecision = OUT_STROKE_PRECIS;  // 3
    f.lfClipPrecision = CLIP_STROKE_PRECIS;  // 2
    f.lfQuality = DRAFT_QUALITY;         // 1
    f.lfPitchAndFamily = FIXED_PITCH;    // 1
    std::strcpy(f.lfFaceName, "\xB1\xBC\xB8\xB2\xC3\xBC");  // 굴림체
    return f;
}

MemoDefaultsData InitialMemoDefaults() {
    int ppi = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        ppi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    RECT desktop{};
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    MemoDefaultsData d;
    d.font = DefaultMemoFont(ppi);
    d.sizeStep = SizeStepForDesktopWidth(desktop.right - desktop.left);
    return d;
}
