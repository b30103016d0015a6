// Encode then Decode gives the bytes back; Decode takes anything.
#include <cstdlib>
#include <string>

#include "net/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tesra::CBase64 b64;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = b64.Encode(bytes.data(), static_cast<int>(bytes.size()));
    if (text.size() != (8 * size + 5) / 6) std::abort();
    if (b64.Decode(text) != bytes) std::abort();
    b64.Decode(bytes);
    return 0;
}
