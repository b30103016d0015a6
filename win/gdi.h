// Owner of one GDI object (font, pen, brush, bitmap, region).
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "win/unique_handle.h"

namespace tesra::win {

template <class H>
void DeleteGdiObject(H h) {
    ::DeleteObject(h);
}

template <class H>
using GdiObject = UniqueHandle<H, &DeleteGdiObject<H>>;

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;

// Width and height of a bitmap; zero for none.
inline SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP bm{};
    if (bitmap && ::GetObjectA(bitmap, sizeof bm, &bm)) return {bm.bmWidth, bm.bmHeight};
    return {0, 0};
}

// A picture kept as pixels (32 bits, top-down) and drawn straight into a
// DC: nothing is selected into a memory DC for it, and under Wine each such
// selection looks at the display's configuration again.
struct DibImage {
    int cx = 0, cy = 0;
    std::vector<std::uint32_t> pixels;

    static BITMAPINFO Header(int cx, int cy) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = cx;
        bi.bmiHeader.biHeight = -cy;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        return bi;
    }
    // The pixels of a bitmap that no DC holds selected; empty on failure.
    static DibImage Of(HDC dc, HBITMAP bitmap) {
        DibImage image;
        const SIZE size = BitmapSize(bitmap);
        if (size.cx <= 0 || size.cy <= 0) return image;
        image.pixels.resize(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
        BITMAPINFO bi = Header(size.cx, size.cy);
        if (::GetDIBits(dc, bitmap, 0, static_cast<UINT>(size.cy), image.pixels.data(), &bi, DIB_RGB_COLORS) !=
            size.cy)
            return {};
        image.cx = size.cx;
        image.cy = size.cy;
        return image;
    }
    // Its top left at (x, y).
    void Draw(HDC dc, int x, int y) const {
        if (pixels.empty()) return;
        const BITMAPINFO bi = Header(cx, cy);
        ::SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(cx), static_cast<DWORD>(cy), 0, 0, 0,
                            static_cast<UINT>(cy), pixels.data(), &bi, DIB_RGB_COLORS);
    }
};

// The fonts the memos use: weight 400, Hangul character set, stroke output
// and clip precision, draft quality (the values the memo index has always
// stored for them).
inline LOGFONTA KoreanLogFont(int height, BYTE pitchAndFamily, const char* face) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = HANGEUL_CHARSET;
    lf.lfOutPrecision = OUT_STROKE_PRECIS;
    lf.lfClipPrecision = CLIP_STROKE_PRECIS;
    lf.lfQuality = DRAFT_QUALITY;
    lf.lfPitchAndFamily = pitchAndFamily;
    ::lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    return lf;
}

}  // namespace tesra::win
