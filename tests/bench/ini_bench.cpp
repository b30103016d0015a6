// Times the memo index as start-up uses it: load the index twice (live and
// previous), read each memo's keys, set one key per memo, save. On Windows
// the same reads also go through GetPrivateProfileStringA for comparison.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

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

constexpr int kMemos = 1000;
constexpr int kRuns = 7;

class BenchDir {
public:
    BenchDir() {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() / ("tesra-bench-" + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    BenchDir(const BenchDir&) = delete;
    BenchDir& operator=(const BenchDir&) = delete;
    ~BenchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string File(const char* name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

std::string Section(int i) { return "memo" + std::to_string(1700000000 + i * 37); }

void WriteIndex(const std::string& path) {
    CIniFile ini;
    ini.SetInt("main", "bg", 0);
    ini.SetString("main", "font", "0 -12 0 0 0 400 0 0 129 3 2 1 49 \xB1\xBC\xB8\xB2\xC3\xBC");
    for (int i = 0; i < kMemos; ++i) {
        const std::string s = Section(i);
        ini.SetString(s, "title", tesra::Format("\xB8\xDE\xB8\xF0 %d \xC7\xD1\xB1\xDB", i));
        ini.SetLong(s, "alarm", i % 10 ? 0 : 1700100000 + i);
        ini.SetString(s, "ver", tesra::Format("%d:%d", 100 + i, 1700000000 + i));
        ini.SetString(s, "oldver", tesra::Format("%d:%d", 90 + i, 1699990000 + i));
        ini.SetInt(s, "min", i % 7 == 0);
        ini.SetInt(s, "bg", i % 9);
        ini.SetString(s, "%pos", tesra::Format("%d.00 %d.00 %d.53 %d.34", i % 80, i % 70, i % 80 + 19, i % 70 + 27));
        ini.SetString(s, "font", "0 -12 0 0 0 400 0 0 129 3 2 1 49 \xB1\xBC\xB8\xB2\xC3\xBC");
        ini.SetString(s, "mdate", tesra::Format("%d", 1700000000 + i * 11));
    }
    ini.Save(path);
}

struct Timing {
    std::vector<double> ms;
    double Best() const { return *std::min_element(ms.begin(), ms.end()); }
    double Median() const {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

double TimeMs(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Each returns a sum of what it read, so that no read can be optimised away.
std::uint64_t StartUpReads(const CIniFile& live, const CIniFile& previous) {
    std::uint64_t sum = 0;
    std::string s;
    int n = 0;
    std::int32_t alarm = 0;
    for (int i = 0; i < kMemos; ++i) {
        const std::string sec = Section(i);
        live.GetInt(sec, "bg", n);
        sum += static_cast<std::uint64_t>(n);
        live.GetInt(sec, "min", n);
        live.GetLong(sec, "alarm", alarm);
        sum += static_cast<std::uint64_t>(n + alarm);
        for (const char* key : {"ver", "title", "font", "pos", "%pos"}) {
            live.GetString(sec, key, s);
            sum += s.size();
        }
        previous.GetString(sec, "ver", s);
        sum += s.size();
    }
    return sum;
}

#if defined(_WIN32)
std::uint64_t ProfileReads(const std::string& path) {
    std::uint64_t sum = 0;
    char buf[4096];
    for (int i = 0; i < kMemos; ++i) {
        const std::string sec = Section(i);
        for (const char* key : {"bg", "min", "alarm", "ver", "title", "font", "pos", "%pos", "ver"})
            sum += ::GetPrivateProfileStringA(sec.c_str(), key, "", buf, sizeof buf, path.c_str());
    }
    return sum;
}
#endif

void Report(const char* phase, const Timing& t) {
    std::printf("  %-34s %9.3f %9.3f\n", phase, t.Best(), t.Median());
}

}  // namespace

int main() {
    BenchDir dir;
    const std::string path = dir.File("tesra.ini");
    const std::string out = dir.File("saved.ini");
    WriteIndex(path);
    tesra::fs::FileStatus st;
    tesra::fs::Stat(path, &st);

    std::uint64_t sink = 0;
    Timing load, reads, sets, save;
#if defined(_WIN32)
    Timing profile;
#endif
    for (int run = 0; run < kRuns; ++run) {
        CIniFile live, previous;
        load.ms.push_back(TimeMs([&] {
            previous.Load(path);
            live.Load(path);
        }));
        reads.ms.push_back(TimeMs([&] { sink += StartUpReads(live, previous); }));
        sets.ms.push_back(TimeMs([&] {
            for (int i = 0; i < kMemos; ++i)
                live.SetString(Section(i), "%pos", tesra::Format("%d.00 1.00 2.00 3.00", run));
        }));
        // Save includes the flush to disk that makes the replace atomic.
        save.ms.push_back(TimeMs([&] { live.Save(out); }));
#if defined(_WIN32)
        // The path must be absolute, or the profile API looks in the Windows folder.
        profile.ms.push_back(TimeMs([&] { sink += ProfileReads(path); }));
#endif
    }

    std::printf("ini_bench (%s): %d memos x 9 keys, %lld bytes, %d runs\n", TESRA_BENCH_VARIANT, kMemos,
                static_cast<long long>(st.size), kRuns);
    std::printf("  %-34s %9s %9s\n", "phase", "best ms", "median ms");
    Report("load (live and previous index)", load);
    Report("start-up reads (9 per memo)", reads);
    Report("one SetString per memo", sets);
    Report("save", save);
#if defined(_WIN32)
    Report("same reads, GetPrivateProfileStringA", profile);
#endif
    std::printf("  (checksum %llu)\n", static_cast<unsigned long long>(sink));
    return 0;
}
