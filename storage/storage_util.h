// Small path and screen helpers shared by the storage code and its
// neighbours. Bounded copying of text is CopyTextBounded in base/text.h.
#pragma once

#include <string>
#include <string_view>

namespace tesra {

// True when the file or folder exists.
bool FileExists(const std::string& path);

// The path before its last "." (even one inside a folder name) plus ".bak";
// the whole path plus ".bak" when there is no ".".
std::string MakeBackupName(std::string_view path);
// Where a memo's text goes when its data file cannot be written (a locked
// file, a full disk, a folder at its name), until a save succeeds again.
std::string EmergencyCopyName(std::string_view path);

// The path before its last "."; the whole path when there is none. A "."
// claimed by a lead byte is not a dot.
std::string StripExtension(std::string_view path);

// Positions are stored as percentages of the desktop so that they survive a
// change of screen resolution. The caller supplies the desktop's size.
struct DesktopSize {
    int width = 0;
    int height = 0;
};

// px / extent * 100; 0 for an empty extent rather than an infinity.
double PixelsToPercent(int px, int extent);
// extent * (pct * 0.01) truncated toward zero; NaN gives 0, and values beyond
// the int range are clamped to it.
int PercentToPixels(double pct, int extent);

inline double PixelsToPercentX(int px, DesktopSize desktop) { return PixelsToPercent(px, desktop.width); }
inline double PixelsToPercentY(int px, DesktopSize desktop) { return PixelsToPercent(px, desktop.height); }
inline int PercentToPixelsX(double pct, DesktopSize desktop) { return PercentToPixels(pct, desktop.width); }
inline int PercentToPixelsY(double pct, DesktopSize desktop) { return PercentToPixels(pct, desktop.height); }

}  // namespace tesra
