#include "net/base64.h"

#include <cstring>

namespace tesra {

std::string CBase64::Encode(const char* bytes, int length) {
    std::string out;
    if (!bytes) return out;
    m_pInput = reinterpret_cast<const unsigned char*>(bytes);
    m_nInputLength = length < 0 ? 0 : length;
    m_nBitCount = 0;
    m_lBitAccumulator = 0;
    out.reserve(static_cast<std::size_t>(m_nInputLength) * 4 / 3 + 2);
    int next = 0;
    for (;;) {
        while (m_nBitCount < 6 && next < m_nInputLength) {
            m_lBitAccumulator = (m_lBitAccumulator << 8) | m_pInput[next++];
            m_nBitCount += 8;
        }
        unsigned group;
        if (m_nBitCount >= 6) {
            m_nBitCount -= 6;
            group = (m_lBitAccumulator >> m_nBitCount) & 0x3F;
        } else if (m_nBitCount > 0) {
            group = (m_lBitAccumulator << (6 - m_nBitCount)) & 0x3F;
            m_nBitCount = 0;
        } else {
            break;
        }
        out.push_back(kBase64Alphabet[group]);
    }
    m_pInput = nullptr;
    return out;
}

std::string CBase64::Decode(const std::string& text) {
    std::string out;
    m_nBitCount = 0;
    m_lBitAccumulator = 0;
    for (const char c : text) {
        const char* at = c ? std::strchr(kBase64Alphabet, c) : nullptr;
        if (!at) break;
        m_lBitAccumulator = ((m_lBitAccumulator << 6) | static_cast<std::uint32_t>(at - kBase64Alphabet)) & 0xFFFFFF;
        m_nBitCount += 6;
        if (m_nBitCount >= 8) {
            m_nBitCount -= 8;
            out.push_back(static_cast<char>((m_lBitAccumulator >> m_nBitCount) & 0xFF));
        }
    }
    return out;
}

}  // namespace tesra
