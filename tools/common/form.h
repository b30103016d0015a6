// Form and query decoding as bytes. Free text arrives with every byte
// percent-encoded and some fields arrive as raw CP949; nothing here assumes
// any charset, and values are kept exactly as decoded.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tesra::tools {

// "%xx" (either case) becomes its byte and "+" a blank; a "%" that does not
// start two hex digits stays as it is.
std::string PercentDecode(std::string_view text);

// name=value pairs separated by "&"; the first occurrence of a name wins.
using Form = std::map<std::string, std::string, std::less<>>;
Form DecodeForm(std::string_view body);

// The value, or empty when the name is missing.
std::string FormValue(const Form& form, std::string_view name);

}  // namespace tesra::tools
