// Footprint after start-up: the launcher (A) and a baseline (B) each started, shown and left idle
// for a second, then read from outside: kernel handles, GDI objects, windows, working set, peak working
// set and private bytes (see ProcessCounters for where Wine keeps each). Medians of a few runs.
//
//   footprint_bench --tessivar=PATH --bare=PATH [--runs=3]
#include "bench_stats.h"
#include "driver_support.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tessivar::bench {
namespace {

using namespace std::chrono_literals;

std::optional<soak::ProcessCounters> Measure(const std::wstring& exe)
{
    std::wstring error;
    const auto process = e2e::LauncherProcess::Start({exe}, &error);
    if (process == nullptr)
        return std::nullopt;
    HWND window = process->WaitForLauncherWindow();
    if (window == nullptr)
        return std::nullopt;
    Sleep(1000);
    const auto counters = soak::ReadCounters(process->Handle(), process->Id());
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (process->WaitForExit() != 0u)
        return std::nullopt;
    return counters;
}

int Run()
{
    const std::wstring launcher = e2e::TestOptions().tessivar;
    const auto bare = soak::CommandLineValue(L"bare");
    const std::size_t runs = soak::CommandLineNumber(L"runs", 3);
    if (launcher.empty() || !bare) {
        std::printf("usage: footprint_bench --tessivar=PATH --bare=PATH [--runs=N]\n");
        return 2;
    }
    const std::wstring bareExe = e2e::WindowsPath(*bare);
    std::string baseline = soak::Narrow(bareExe.substr(bareExe.find_last_of(L'\\') + 1));
    baseline = baseline.substr(0, baseline.rfind('.'));
    std::vector<soak::ProcessCounters> a;
    std::vector<soak::ProcessCounters> b;
    for (std::size_t i = 0; i < runs; ++i) {
        const auto first = Measure(i % 2 == 0 ? launcher : bareExe);
        const auto second = Measure(i % 2 == 0 ? bareExe : launcher);
        if (!first || !second) {
            std::printf("FAIL: run %zu: a program did not start, show its window and exit with 0\n", i + 1);
            return 1;
        }
        a.push_back(i % 2 == 0 ? *first : *second);
        b.push_back(i % 2 == 0 ? *second : *first);
    }
    struct Row {
        const char* name;
        double (*get)(const soak::ProcessCounters&);
        const char* unit;
    };
    const Row rows[] = {
        {"kernel handles", [](const soak::ProcessCounters& c) { return double(c.handles); }, ""},
        {"GDI objects", [](const soak::ProcessCounters& c) { return double(c.gdiObjects); }, ""},
        {"windows (USER)", [](const soak::ProcessCounters& c) { return double(c.windows); }, ""},
        {"working set", [](const soak::ProcessCounters& c) { return double(c.workingSet) / 1024; }, " KiB"},
        {"peak working set", [](const soak::ProcessCounters& c) { return double(c.peakWorkingSet) / 1024; }, " KiB"},
        {"private bytes", [](const soak::ProcessCounters& c) { return double(c.privateBytes) / 1024; }, " KiB"},
    };
    std::printf("Footprint one second after the window showed (median of %zu runs each):\n\n", runs);
    std::printf("| | launcher (A) | %s (B) | A - B | A / B |\n|---|---:|---:|---:|---:|\n", baseline.c_str());
    for (const Row& row : rows) {
        std::vector<double> va;
        std::vector<double> vb;
        for (const auto& c : a)
            va.push_back(row.get(c));
        for (const auto& c : b)
            vb.push_back(row.get(c));
        const double ma = Summarise(va).median;
        const double mb = Summarise(vb).median;
        std::printf("| %s | %.0f%s | %.0f%s | %+.0f%s | %.2f |\n", row.name, ma, row.unit, mb, row.unit, ma - mb,
                    row.unit, mb > 0 ? ma / mb : 0.0);
    }
    return 0;
}

}  // namespace
}  // namespace tessivar::bench

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return tessivar::bench::Run();
}
