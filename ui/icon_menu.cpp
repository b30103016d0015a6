#define OEMRESOURCE  // OBM_CHECK
#include "ui/icon_menu.h"

#include <algorithm>

#include "base/text.h"
#include "win/com.h"
#include "win/cp949.h"
#include "win/handles.h"

namespace {

constexpr WORD kToolbarType = 241;  // RT_TOOLBAR
constexpr COLORREF kImageMask = RGB(192, 192, 192);
constexpr int kBoxMargin = 2;

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour) {
    tesra::win::Pen pen(::CreatePen(PS_SOLID, 1, colour));
    tesra::win::Selection sel(dc, pen.get());
    ::MoveToEx(dc, x0, y0, nullptr);
    ::LineTo(dc, x1, y1);
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    tesra::win::Brush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &r, brush.get());
}

// Top and left in one colour, bottom and right in the other.
void Frame3d(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    Line(dc, r.left, r.bottom - 1, r.left, r.top, topLeft);
    Line(dc, r.left, r.top, r.right - 1, r.top, topLeft);
    Line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1, bottomRight);
    Line(dc, r.right - 1, r.bottom - 1, r.left - 1, r.bottom - 1, bottomRight);
}

}  // namespace

CIconMenu::CIconMenu()
    : m_menuText(::GetSysColor(COLOR_MENUTEXT)),
      m_highlightText(::GetSysColor(COLOR_HIGHLIGHTTEXT)),
      m_menuBack(::GetSysColor(COLOR_MENU)),
      m_highlight(::GetSysColor(COLOR_HIGHLIGHT)),
      m_light3d(::GetSysColor(COLOR_3DLIGHT)),
      m_buttonHighlight(::GetSysColor(COLOR_BTNHIGHLIGHT)),
      m_buttonShadow(::GetSysColor(COLOR_BTNSHADOW)),
      m_greyText(::GetSysColor(COLOR_GRAYTEXT)) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        m_menuFont.Reset(::CreateFontIndirectW(&metrics.lfMenuFont));
        metrics.lfMenuFont.lfWeight = FW_BOLD;
        m_boldFont.Reset(::CreateFontIndirectW(&metrics.lfMenuFont));
    }
}

int CIconMenu::LoadToolbar(int id) {
    HINSTANCE module = tesra::win::ModuleInstance();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kToolbarType));
    const DWORD size = found ? ::SizeofResource(module, found) : 0;
    const auto* words = found ? static_cast<const WORD*>(::LockResource(::LoadResource(module, found))) : nullptr;
    // version 1, button width, height, count, then one command id a button
    if (!words || size < 4 * sizeof(WORD) || words[0] != 1 || size < (4u + words[3]) * sizeof(WORD)) return 0;
    tesra::win::Bitmap bitmap(
        static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    ImageList images(::ImageList_Create(words[1], words[2], ILC_COLOR24 | ILC_MASK, words[3], 0));
    if (!bitmap || !images || ::ImageList_AddMasked(images.get(), bitmap.get(), kImageMask) < 0) return 0;
    m_imageWidth = words[1];
    m_imageHeight = words[2];
    m_images = std::move(images);
    m_imageMap.clear();
    int next = 0;
    for (WORD i = 0; i < words[3]; ++i)
        if (const WORD command = words[4 + i]) m_imageMap.emplace_back(next++, command);
    return 1;
}

int CIconMenu::ImageOf(int command) const {
    for (const auto& [image, id] : m_imageMap)
        if (id == command) return image;
    return -1;
}

void CIconMenu::MakeOwnerDrawn(HMENU menu) { Convert(menu, 1); }

void CIconMenu::Convert(HMENU menu, int depth) {
    for (int i = ::GetMenuItemCount(menu) - 1; i >= 0; --i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 255;
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        auto item = std::make_unique<Item>();
        if (info.hSubMenu) {
            Convert(info.hSubMenu, depth + 1);
            if (!text[0] || (info.fType & MFT_OWNERDRAW)) continue;
            item->command = depth == 1 ? kTopPopup : kPopup;
        } else if (info.fType & MFT_SEPARATOR) {
            if (info.fType & MFT_OWNERDRAW) continue;
            item->command = kSeparator;
        } else {
            if (info.wID == 0 || (info.fType & (MFT_OWNERDRAW | MFT_BITMAP))) continue;
            item->command = static_cast<int>(info.wID);
            item->image = ImageOf(item->command);
        }
        if (item->command != kSeparator) item->text = tesra::CopyTextBounded(tesra::win::Cp949FromWide(text), 127);
        MENUITEMINFOW set{};
        set.cbSize = sizeof set;
        set.fMask = MIIM_FTYPE | MIIM_DATA;
        set.fType = info.fType | MFT_OWNERDRAW;
        set.dwItemData = reinterpret_cast<ULONG_PTR>(item.get());
        if (::SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &set)) m_items.push_back(std::move(item));
    }
}

const CIconMenu::Item* CIconMenu::Find(ULONG_PTR data) const {
    for (const auto& item : m_items)
        if (reinterpret_cast<ULONG_PTR>(item.get()) == data) return item.get();
    return nullptr;
}

HFONT CIconMenu::FontFor(UINT state) const {
    return (state & ODS_DEFAULT) && m_boldFont ? m_boldFont.get() : m_menuFont.get();
}

bool CIconMenu::MeasureItem(MEASUREITEMSTRUCT& measure) const {
    const Item* item = measure.CtlType == ODT_MENU ? Find(measure.itemData) : nullptr;
    if (!item) return false;
    if (item->command == kSeparator) {
        measure.itemWidth = 10;
        measure.itemHeight = 6;
    } else if (item->text.empty()) {
        measure.itemWidth = 100;
        measure.itemHeight = static_cast<UINT>(m_imageHeight + 2);
    } else {
        tesra::win::WindowDC screen(nullptr);
        tesra::win::Selection font(screen.get(), m_menuFont.get());
        const std::wstring wide = tesra::win::WideFrom949(item->text);
        const DWORD extent =
            ::GetTabbedTextExtentW(screen.get(), wide.c_str(), static_cast<int>(wide.size()), 0, nullptr);
        const int height = std::max(m_imageHeight + 2, static_cast<int>(HIWORD(extent)));
        measure.itemHeight = static_cast<UINT>(height);
        measure.itemWidth = static_cast<UINT>(LOWORD(extent) + 17 + std::max(height, m_imageWidth));
    }
    return true;
}

void CIconMenu::DrawImageBox(HDC dc, const Item& item, UINT state, const RECT& box) const {
    const bool selected = state & ODS_SELECTED, checked = state & ODS_CHECKED;
    if (item.image >= 0 && m_images) {
        if (selected || checked) Frame3d(dc, box, m_buttonHighlight, m_buttonShadow);
        const int x = box.left + (box.right - box.left - m_imageWidth) / 2;
        const int y = box.top + (box.bottom - box.top - m_imageHeight) / 2;
        if (state & (ODS_GRAYED | ODS_DISABLED)) {
            tesra::win::Icon icon(::ImageList_GetIcon(m_images.get(), item.image, ILD_NORMAL));
            ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.get()), 0, x, y, m_imageWidth,
                         m_imageHeight, DST_ICON | DSS_DISABLED);
        } else {
            ::ImageList_Draw(m_images.get(), item.image, dc, x, y, ILD_TRANSPARENT);
        }
        return;
    }
    if (!checked) return;
    RECT inner = box;
    ::InflateRect(&inner, -1, -1);
    Fill(dc, inner, selected ? m_menuBack : m_light3d);
    ::DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT);
    tesra::win::Bitmap check(::LoadBitmapW(nullptr, MAKEINTRESOURCEW(OBM_CHECK)));
    BITMAP bm{};
    if (!check || !::GetObjectW(check.get(), sizeof bm, &bm)) return;
    tesra::win::MemoryDC source(::CreateCompatibleDC(dc));
    tesra::win::Selection sel(source.get(), check.get());
    tesra::win::TextColours keep(dc);
    ::SetTextColor(dc, m_menuText);
    ::SetBkColor(dc, selected ? m_menuBack : m_light3d);
    ::BitBlt(dc, inner.left + (inner.right - inner.left - bm.bmWidth) / 2,
             inner.top + (inner.bottom - inner.top - bm.bmHeight) / 2, bm.bmWidth, bm.bmHeight, source.get(), 0, 0,
             SRCCOPY);
}

bool CIconMenu::DrawItem(const DRAWITEMSTRUCT& draw) const {
    const Item* item = draw.CtlType == ODT_MENU ? Find(draw.itemData) : nullptr;
    if (!item) return false;
    HDC dc = draw.hDC;
    const RECT& r = draw.rcItem;
    Fill(dc, r, m_menuBack);
    if (item->command == kSeparator) {
        Line(dc, r.left + 2, r.top + 2, r.right - 2, r.top + 2, m_buttonShadow);
        Line(dc, r.left + 2, r.top + 3, r.right - 2, r.top + 3, m_buttonHighlight);
        return true;
    }
    const UINT state = draw.itemState;
    const bool selected = state & ODS_SELECTED;
    const bool disabled = state & (ODS_GRAYED | ODS_DISABLED);
    // The image box a little in from the menu's edge, as the platform's own.
    const int left = r.left + kBoxMargin;
    const RECT box{left, r.top, left + std::max<int>(r.bottom - r.top, m_imageWidth), r.bottom};
    if (selected) {
        RECT bar = r;
        if (item->image >= 0 || (state & ODS_CHECKED)) bar.left = box.right;
        Fill(dc, bar, m_highlight);
    }
    DrawImageBox(dc, *item, state, box);

    tesra::win::TextColours keep(dc);
    tesra::win::Selection font(dc, FontFor(state));
    ::SetBkMode(dc, TRANSPARENT);
    const RECT text{box.right + 2, r.top, r.right - 15, r.bottom};
    const std::size_t tab = item->text.find('\t');
    const std::string_view before = std::string_view(item->text).substr(0, tab);
    const std::string_view after =
        tab == std::string::npos ? std::string_view() : std::string_view(item->text).substr(tab + 1);
    const UINT format = DT_SINGLELINE | DT_VCENTER | ((state & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
    auto put = [&](const RECT& where) {
        tesra::win::DrawText949(dc, before, where, format | DT_LEFT);
        if (!after.empty()) tesra::win::DrawText949(dc, after, where, format | DT_RIGHT);
    };
    if (disabled && !selected) {
        ::SetTextColor(dc, m_buttonHighlight);
        put({text.left + 1, text.top + 1, text.right + 1, text.bottom + 1});
        ::SetTextColor(dc, m_greyText);
    } else {
        ::SetTextColor(dc, selected ? m_highlightText : disabled ? m_greyText : m_menuText);
    }
    put(text);
    return true;
}
