// Text that reaches the sync flows from outside: a received memo's bytes
// become its title, and command 302's text, from any window, names a file.
// Titles must be whole characters of the first line; a name that passes the
// check must stay one name inside the user folder.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "base/fs.h"
#include "base/text.h"
#include "storage/storage_util.h"
#include "sync/upload.h"
#include "fuzz/check.h"

using tesra::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string command = in.ConsumeRandomLengthString(300);
    const std::string text = in.ConsumeRemainingBytesAsString();

    // Only a lead byte cut off at the end is left out.
    const int whole = tesra::WholeCharLength(text);
    Check(static_cast<std::size_t>(whole) == text.size() ||
          (static_cast<std::size_t>(whole) + 1 == text.size() && static_cast<unsigned char>(text.back()) > 0x80));

    const std::string title = tesra::DeriveTitle(text);
    const int crlf = tesra::FindFrom(text, "\r\n", 0);
    const std::size_t first = crlf < 0 ? text.size() : static_cast<std::size_t>(crlf);
    if (first > 0 && first <= 70) {
        Check(title == tesra::ReplaceAll(text.substr(0, first), "\r\n", " "));
    } else {
        Check(title.size() <= 70);
        Check(tesra::FindFrom(title, "\r\n", 0) < 0);
    }

    // The search against a step through every character.
    if (!command.empty()) {
        const std::string needle = command.substr(0, 1 + command.size() % 3);
        const int start = static_cast<int>(command.size() % 7);
        int slow = -1;
        for (std::size_t i = static_cast<std::size_t>(start); slow < 0 && i + needle.size() <= text.size();
             i += tesra::CharLength(text, i))
            if (text.compare(i, needle.size(), needle) == 0) slow = static_cast<int>(i);
        Check(tesra::FindFrom(text, needle, start) == slow);
    }

    const tesra::ReceiveCommand c = tesra::ParseReceiveCommand(command);
    Check(tesra::FindFrom(c.name, "|", 0) < 0);
    Check(command.compare(0, c.name.size(), c.name) == 0);
    if (tesra::fs::IsSafeFileName(c.name)) {
        const std::string folder = "/users/kim";
        Check(tesra::fs::FolderOf(tesra::fs::JoinPath(folder, c.name)) == folder);
        Check(c.name.find_first_of(std::string("\\/:\0\r\n", 6)) == std::string::npos);
        Check(c.name.find("..") == std::string::npos && c.name.size() <= 200);
        Check(tesra::fs::FolderOf(tesra::StripExtension(tesra::fs::JoinPath(folder, c.name))) == folder);
    }
    return 0;
}
