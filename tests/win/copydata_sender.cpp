// Sends hostile WM_COPYDATA commands to a window from a process of its own,
// as any program on the desktop can: every code, sizes 0 to 1 MB, NUL
// bytes, names with separators, "..", device names, colons, line ends,
// wildcards and overlong names. One line per command: "code size result",
// or "code size timeout" when the window did not answer in time.
//   copydata_sender.exe HWND RESULTFILE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND target = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(argv[1], nullptr, 10)));
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 2;

    using namespace std::string_literals;
    std::string megabyte(1 << 20, 'a');
    std::string noise(1 << 20, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919) >> 3);
    const std::vector<std::string> names = {
        "", "\0"s, "a\0b|1"s, "..|1", "..\\..\\evil.txt|1", "../../evil.txt|1", "C:\\evil.txt|1",
        "\\\\127.0.0.1\\share\\x|1", "CON|1", "con.txt|1", "NUL", "LPT1.dat|1", "COM9|1", "a:b|1",
        "note.txt:stream|1", "\r\nnote.txt|1", "note\r\n.txt|1", "*.dat|1", "memo?.dat|1", ".|1",
        "memo101.dat|1", "tesra.ini|1", "~tesra.ini|1", "tesra-pending.ini|1", "memo101|99999999999999",
        "\x95\x5C..\x95\x5C\x95\x5C" "evil|1", std::string(300, 'a') + "|1", std::string(100000, '|'), megabyte,
        noise};
    const ULONG_PTR codes[] = {0, 1, 299, 300, 301, 303, 304, 305, 0x7FFFFFFF, ~ULONG_PTR{0}};
    std::vector<std::pair<ULONG_PTR, const std::string*>> sends;
    for (const std::string& n : names) sends.emplace_back(302, &n);
    for (const ULONG_PTR c : codes) {
        sends.emplace_back(c, &names[0]);
        sends.emplace_back(c, &names[2]);
        sends.emplace_back(c, &noise);
    }
    for (const auto& [code, payload] : sends) {
        COPYDATASTRUCT cds{code, static_cast<DWORD>(payload->size()), const_cast<char*>(payload->data())};
        DWORD_PTR result = 0;
        const bool answered = ::SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                                    SMTO_NORMAL, 60000, &result) != 0;
        if (answered)
            std::fprintf(out, "%llu %zu %llu\n", static_cast<unsigned long long>(code), payload->size(),
                         static_cast<unsigned long long>(result));
        else
            std::fprintf(out, "%llu %zu timeout\n", static_cast<unsigned long long>(code), payload->size());
    }
    std::fclose(out);
    return 0;
}
