#include "tools/common/options.h"

#include <algorithm>

namespace tesra::tools {

std::optional<std::vector<Option>> ParseOptions(int argc, char** argv, const std::vector<std::string>& flags,
                                                std::string& error) {
    std::vector<Option> out;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument: " + arg;
            return std::nullopt;
        }
        arg.erase(0, 2);
        Option option;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            option = {arg.substr(0, eq), arg.substr(eq + 1)};
        } else if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
            option.name = arg;
        } else if (i + 1 < argc) {
            option = {arg, argv[++i]};
        } else {
            error = "--" + arg + " needs a value";
            return std::nullopt;
        }
        out.push_back(std::move(option));
    }
    return out;
}

std::optional<std::uint16_t> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int port = std::stoi(text);
    if (port > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

}  // namespace tesra::tools
