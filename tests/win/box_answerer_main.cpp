// Dismisses every message box of the Wine prefix, printing each box's text,
// for clients such as script hosts that cannot answer one. Ends after
// SECONDS, or as soon as STOPFILE exists.
//   box_answerer.exe SECONDS [STOPFILE]
#include <cstdio>
#include <cstdlib>

#include "box_answerer.h"

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const char* stop = argc > 2 ? argv[2] : nullptr;
    tesra::test::BoxAnswerer answerer(0);
    for (int i = 0; i < seconds * 10 && !(stop && ::GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES); ++i)
        ::Sleep(100);
    for (const std::string& text : answerer.Stop()) std::printf("box: %s\n", text.c_str());
    return 0;
}
