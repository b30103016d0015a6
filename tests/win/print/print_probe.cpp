// Prints one memo on the default printer: the memo's text is the CP949 file
// given (none: an empty memo). The texts of the boxes the memo raised go to
// the report file, one per line, as CP949.
// Usage: print_probe REPORT [TEXTFILE]
#include <windows.h>

#include <memory>
#include <string>

#include "memo/memo_dlg.h"
#include "support/fake_memo_host.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    tesra::test::TempDir dir;
    tesra::test::FakeHost host(dir.path());
    HWND owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    auto memo = std::make_unique<CMemoDlg>(host, 0, 0);
    memo->SetNotifyWindow(owner);
    if (!memo->Create(owner)) return 3;
    if (argc > 2) memo->LoadTextFile(argv[2]);
    memo->PrintMemo();
    std::string report;
    for (const std::string& m : host.messages) report += m + "\n";
    memo.reset();
    ::DestroyWindow(owner);
    return tesra::test::WriteBytes(argv[1], report) ? 0 : 4;
}
