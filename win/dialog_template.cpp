#include "win/dialog_template.h"

#include <cstring>

namespace tesra::win {

namespace {

class Reader {
public:
    Reader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }

    template <class T>
    T Get() {
        T v{};
        if (at_ + sizeof v > size_) {
            ok_ = false;
            return v;
        }
        std::memcpy(&v, data_ + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::wstring String() {
        std::wstring s;
        for (wchar_t c; ok_ && (c = static_cast<wchar_t>(Get<WORD>())) != 0;) s += c;
        return s;
    }
    // A name or an ordinal; a predefined control class's ordinal becomes its
    // name, any other ordinal nothing.
    std::wstring NameOrOrdinal(bool controlClass = false) {
        const std::size_t start = at_;
        const WORD first = Get<WORD>();
        if (first == 0) return {};
        if (first == 0xFFFF) {
            static const wchar_t* const kClasses[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar",
                                                      L"ComboBox"};
            const WORD ordinal = Get<WORD>();
            return controlClass && ordinal >= 0x80 && ordinal < 0x86 ? kClasses[ordinal - 0x80] : std::wstring{};
        }
        at_ = start;
        return String();
    }
    void AlignTo4() { at_ = (at_ + 3) & ~std::size_t{3}; }
    void Skip(std::size_t n) {
        if (at_ + n > size_) ok_ = false;
        else at_ += n;
    }

private:
    const BYTE* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

}  // namespace

std::optional<DialogTemplate> ReadDialogTemplate(HINSTANCE module, int id) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const auto* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (!data) return std::nullopt;
    Reader in(data, ::SizeofResource(module, found));
    DialogTemplate t;
    if (in.Get<WORD>() != 1 || in.Get<WORD>() != 0xFFFF) return std::nullopt;
    in.Get<DWORD>();  // help id
    t.exStyle = in.Get<DWORD>();
    t.style = in.Get<DWORD>();
    const WORD count = in.Get<WORD>();
    t.x = in.Get<short>();
    t.y = in.Get<short>();
    t.cx = in.Get<short>();
    t.cy = in.Get<short>();
    in.NameOrOrdinal();  // menu
    in.NameOrOrdinal();  // class
    in.String();         // title
    if (t.style & (DS_SETFONT | DS_SHELLFONT)) {
        t.points = in.Get<WORD>();
        in.Skip(4);  // weight, italic, character set
        t.face = in.String();
    }
    for (WORD i = 0; i < count && in.ok(); ++i) {
        in.AlignTo4();
        DialogTemplateItem item;
        in.Get<DWORD>();  // help id
        item.exStyle = in.Get<DWORD>();
        item.style = in.Get<DWORD>();
        item.x = in.Get<short>();
        item.y = in.Get<short>();
        item.cx = in.Get<short>();
        item.cy = in.Get<short>();
        item.id = in.Get<DWORD>();
        item.className = in.NameOrOrdinal(true);
        item.text = in.NameOrOrdinal();
        in.Skip(in.Get<WORD>());  // creation data
        t.items.push_back(std::move(item));
    }
    if (!in.ok()) return std::nullopt;
    return t;
}

}  // namespace tesra::win
