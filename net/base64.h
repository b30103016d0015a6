// Base64 with the standard alphabet and no "=" fill: the form the messenger
// agent expects for passwords.
#pragma once

#include <cstdint>
#include <string>

namespace tesra {

inline constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class CBase64 {
public:
    CBase64() = default;
    CBase64(const CBase64&) = delete;
    CBase64& operator=(const CBase64&) = delete;
    virtual ~CBase64() = default;

    // The inverse of Encode; stops at the first byte outside the alphabet
    // (a "=" fill included). Bits short of a whole byte at the end are dropped.
    virtual std::string Decode(const std::string& text);
    // ceil(8 * length / 6) characters; empty for a null pointer.
    virtual std::string Encode(const char* bytes, int length);

private:
    int m_nInputLength = 0;
    int m_nBitCount = 0;
    std::uint32_t m_lBitAccumulator = 0;
    const unsigned char* m_pInput = nullptr;
};

}  // namespace tesra
