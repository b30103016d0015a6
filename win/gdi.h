// Owner of one GDI object (font, pen, brush, bitmap, region).
#pragma once

#include <windows.h>

#include <utility>

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

// Width and height of a bitmap; zero for none.
inline SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP bm{};
    if (bitmap && ::GetObjectA(bitmap, sizeof bm, &bm)) return {bm.bmWidth, bm.bmHeight};
    return {0, 0};
}

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
