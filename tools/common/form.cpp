#include "tools/common/form.h"

namespace tesra::tools {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

Form DecodeForm(std::string_view body) {
    Form form;
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view pair = body.substr(0, amp);
        if (!pair.empty()) {
            const std::size_t eq = pair.find('=');
            std::string name = PercentDecode(pair.substr(0, eq));
            std::string value = eq == std::string_view::npos ? std::string() : PercentDecode(pair.substr(eq + 1));
            form.emplace(std::move(name), std::move(value));
        }
        if (amp == std::string_view::npos) break;
        body.remove_prefix(amp + 1);
    }
    return form;
}

std::string FormValue(const Form& form, std::string_view name) {
    const auto it = form.find(name);
    return it == form.end() ? std::string() : it->second;
}

}  // namespace tesra::tools
