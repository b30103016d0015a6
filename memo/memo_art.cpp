#include "memo/memo_art.h"

#include "res/resource.h"
#include "ui/memo_button.h"
#include "win/com.h"

const std::array<COLORREF, kMemoColourCount> kMemoColours = {
    RGB(251, 251, 171), RGB(182, 190, 193), RGB(176, 212, 150), RGB(255, 215, 114), RGB(153, 204, 195),
    RGB(162, 181, 222), RGB(245, 176, 153), RGB(231, 221, 255), RGB(255, 255, 255),
};

int ValidColourIndex(int index) { return index >= 0 && index < kMemoColourCount ? index : 0; }

namespace {

HBITMAP LoadBitmapResource(int id) {
    return static_cast<HBITMAP>(
        ::LoadImageA(tesra::win::ModuleInstance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

HICON LoadIconResource(int id) {
    return static_cast<HICON>(
        ::LoadImageA(tesra::win::ModuleInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_SHARED));
}

HFONT MakeFont(int height, BYTE pitchAndFamily, const char* face) {
    const LOGFONTA lf = tesra::win::KoreanLogFont(height, pitchAndFamily, face);
    return ::CreateFontIndirectA(&lf);
}

}  // namespace

bool MemoArt::Complete() const {
    return deleteButton && deleteHot && newButton && newHot && home && homeHot && frame;
}

const tesra::win::DibImage* MemoArt::Face(HBITMAP picture, COLORREF background) const {
    const std::pair key{picture, background};
    if (auto it = faces.find(key); it != faces.end()) return &it->second;
    const SIZE size = tesra::win::BitmapSize(picture);
    tesra::win::WindowDC screen(nullptr);
    tesra::win::MemoryDC dc(screen.get() ? ::CreateCompatibleDC(screen.get()) : nullptr);
    tesra::win::Bitmap face(dc ? ::CreateCompatibleBitmap(screen.get(), size.cx, size.cy) : nullptr);
    if (!face) return nullptr;
    {
        tesra::win::Selection keep(dc.get(), face.get());
        tesra::win::Brush fill(::CreateSolidBrush(background));
        const RECT all{0, 0, size.cx, size.cy};
        ::FillRect(dc.get(), &all, fill.get());
        DrawTransparentBitmap(dc.get(), picture, 0, 0, RGB(255, 255, 0));
    }
    tesra::win::DibImage image = tesra::win::DibImage::Of(screen.get(), face.get());
    if (image.pixels.empty()) return nullptr;
    return &faces.emplace(key, std::move(image)).first->second;
}

const tesra::win::DialogTemplateItem* MemoArt::FrameItem(DWORD id) const {
    if (frame)
        for (const auto& item : frame->items)
            if (item.id == id) return &item;
    return nullptr;
}

std::shared_ptr<const MemoArt> MemoArt::Get() {
    static std::weak_ptr<const MemoArt> shared;  // user-interface thread only
    if (auto art = shared.lock()) return art;
    auto art = std::make_shared<MemoArt>();
    art->deleteButton.Reset(LoadBitmapResource(IDB_DELETE));
    art->deleteHot.Reset(LoadBitmapResource(IDB_DELETE_HOT));
    art->newButton.Reset(LoadBitmapResource(IDB_NEW));
    art->newHot.Reset(LoadBitmapResource(IDB_NEW_HOT));
    art->home.Reset(LoadBitmapResource(IDB_HOME));
    art->homeHot.Reset(LoadBitmapResource(IDB_HOME_HOT));
    art->pin = LoadIconResource(IDI_PIN);
    art->pinBlink = LoadIconResource(IDI_PIN_BLINK);
    art->alarm = LoadIconResource(IDI_ALARM);
    art->alarmBlink = LoadIconResource(IDI_ALARM_BLINK);
    art->hand = static_cast<HCURSOR>(::LoadImageA(tesra::win::ModuleInstance(), MAKEINTRESOURCEA(IDCUR_HAND),
                                                  IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    art->caption.Reset(MakeFont(-11, FF_SWISS | VARIABLE_PITCH, "\xB1\xBC\xB8\xB2"));      // 굴림
    art->alarmFont.Reset(MakeFont(-12, FIXED_PITCH, "\xB1\xBC\xB8\xB2\xC3\xBC"));          // 굴림체
    art->grey128.Reset(::CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
    art->grey192.Reset(::CreatePen(PS_SOLID, 1, RGB(192, 192, 192)));
    for (int i = 0; i < kMemoColourCount; ++i) art->colours[i].Reset(::CreateSolidBrush(kMemoColours[i]));
    art->outline.Reset(::CreateSolidBrush(RGB(128, 128, 128)));
    art->frame = tesra::win::ReadDialogTemplate(tesra::win::ModuleInstance(), IDD_MEMO);
    shared = art;
    return art;
}
