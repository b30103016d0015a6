// Base64 decoding for the agent's auth request. The control sends the
// standard alphabet without "=" fill, so both forms are taken.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tesra::tools {

// The decoded bytes; nothing for a character outside the alphabet, fill in
// the middle, or a length no encoder produces (one character past a group).
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace tesra::tools
