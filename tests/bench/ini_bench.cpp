// Times the memo index as start-up uses it: load the index twice (live and
// previous), read each memo's keys, set one key per memo, save. On Windows
// the same reads also go through GetPrivateProfileStringA for comparison.
// Prints the best of seven runs in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "base/fs.h"
#include "base/text.h"
#include "storage/ini_file.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#ifndef TESRA_BENCH_VARIANT
#define TESRA_BENCH_VARIANT "indexed section lookup"
#endif

namespace {

using tesra::CIniFile;
using tesra::Format;

constexpr int kMemos = 1000;
constexpr char kFont[] = "0 -12 0 0 0 400 0 0 129 3 2 1 49 \xB1\xBC\xB8\xB2\xC3\xBC";
const char* const kKeys[] = {"bg", "min", "alarm", "ver", "title", "font", "pos", "%pos", "ver"};

std::string Section(int i) { return "memo" + std::to_string(1700000000 + i * 37); }

void WriteIndex(const std::string& path) {
    CIniFile ini;
    ini.SetString("main", "font", kFont);
    for (int i = 0; i < kMemos; ++i) {
        const std::string s = Section(i);
        ini.SetString(s, "title", Format("\xB8\xDE\xB8\xF0 %d \xC7\xD1\xB1\xDB", i));
        ini.SetLong(s, "alarm", i % 10 ? 0 : 1700100000 + i);
        ini.SetString(s, "ver", Format("%d:%d", 100 + i, 1700000000 + i));
        ini.SetString(s, "oldver", Format("%d:%d", 90 + i, 1699990000 + i));
        ini.SetInt(s, "min", i % 7 == 0);
        ini.SetInt(s, "bg", i % 9);
        ini.SetString(s, "%pos", Format("%d.00 %d.00 %d.53 %d.34", i % 80, i % 70, i % 80 + 19, i % 70 + 27));
        ini.SetString(s, "font", kFont);
    }
    ini.Save(path);
}

// The best of seven runs; work returns a sum of what it read, so that no
// read can be optimised away.
std::uint64_t g_sink = 0;
template <class Work>
void Time(const char* phase, Work work) {
    double best = 1e9;
    for (int run = 0; run < 7; ++run) {
        const auto start = std::chrono::steady_clock::now();
        g_sink += work(run);
        best =
            std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("  %-38s %9.3f\n", phase, best);
}

}  // namespace

int main() {
    const auto folder =
        std::filesystem::temp_directory_path() / ("tesra-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "tesra.ini").string();
    WriteIndex(path);
    CIniFile live, previous;
    std::printf("ini_bench (%s): %d memos, best of 7 runs in ms\n", TESRA_BENCH_VARIANT, kMemos);
    Time("load (live and previous index)", [&](int) {
        previous.Load(path);
        live.Load(path);
        return live.Lines().size();
    });
    Time("start-up reads (9 per memo)", [&](int) {
        std::uint64_t sum = 0;
        std::string s;
        for (int i = 0; i < kMemos; ++i) {
            for (const char* key : kKeys) sum += live.GetString(Section(i), key, s) + s.size();
            sum += previous.GetString(Section(i), "ver", s);
        }
        return sum;
    });
    Time("one SetString per memo", [&](int run) {
        for (int i = 0; i < kMemos; ++i) live.SetString(Section(i), "%pos", Format("%d.00 1.00 2.00 3.00", run));
        return std::uint64_t{0};
    });
    // Save includes the flush to disk that makes the replace atomic.
    Time("save", [&](int) { return static_cast<std::uint64_t>(live.Save((folder / "saved.ini").string())); });
#if defined(_WIN32)
    // The path must be absolute, or the profile API looks in the Windows folder.
    Time("same reads, GetPrivateProfileStringA", [&](int) {
        std::uint64_t sum = 0;
        char buf[4096];
        for (int i = 0; i < kMemos; ++i)
            for (const char* key : kKeys)
                sum += ::GetPrivateProfileStringA(Section(i).c_str(), key, "", buf, sizeof buf, path.c_str());
        return sum;
    });
#endif
    std::printf("  (checksum %llu)\n", static_cast<unsigned long long>(g_sink));
    std::filesystem::remove_all(folder);
    return 0;
}
