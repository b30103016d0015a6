// Command-line options of the stand-ins: "--name value" or "--name=value".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tesra::tools {

struct Option {
    std::string name;   // without the dashes
    std::string value;
};

// Nothing (and a reason in error) for an argument that is not an option or
// an option without its value; flags lists the options that take none.
std::optional<std::vector<Option>> ParseOptions(int argc, char** argv, const std::vector<std::string>& flags,
                                                std::string& error);

// A port number 0..65535.
std::optional<std::uint16_t> ParsePort(const std::string& text);

}  // namespace tesra::tools
