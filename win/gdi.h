// Owner of one GDI object (font, pen, brush, bitmap, region).
#pragma once

#include <windows.h>

#include <utility>

namespace tesra::win {

template <class H>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(H h) : h_(h) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        Reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    ~GdiObject() { Reset(); }

    void Reset(H h = nullptr) {
        if (h_) ::DeleteObject(h_);
        h_ = h;
    }
    H get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    H h_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;

}  // namespace tesra::win
