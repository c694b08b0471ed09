// Start-up: from CreateProcess to the visible "Tessivar" window of the process started, for the launcher
// (A) and for a baseline (B: bare_window.exe or plain_window.exe), in pairs of alternating order. Each is
// closed with WM_CLOSE and must exit with 0 before the next starts. Prints Markdown tables; never fails on
// a time.
//
//   startup_bench --tessivar=PATH --bare=PATH [--pairs=12]
#include "bench_stats.h"
#include "driver_support.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tessivar::bench {
namespace {

using soak::Now;
using soak::Seconds;

// Seconds until the window shows, or nothing when the program failed.
std::optional<double> TimeStart(const std::wstring& exe)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created{};
    const LARGE_INTEGER started = Now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &created))
        return std::nullopt;
    const e2e::UniqueHandle process(created.hProcess);
    CloseHandle(created.hThread);

    // FindWindow and IsWindowVisible read the window list and state without sending the starting
    // process a message. The window exists (hidden) before it is shown.
    std::optional<double> shown;
    HWND window = nullptr;
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (GetTickCount64() < deadline) {
        if (window == nullptr) {
            HWND candidate = FindWindowW(nullptr, L"Tessivar");
            DWORD owner = 0;
            if (candidate != nullptr && GetWindowThreadProcessId(candidate, &owner) && owner == created.dwProcessId)
                window = candidate;
        }
        if (window != nullptr && IsWindowVisible(window)) {
            shown = Seconds(started, Now());
            break;
        }
        if (WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0)
            break;
    }
    if (window != nullptr)
        PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        return std::nullopt;
    }
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    if (code != 0)
        return std::nullopt;
    return shown;
}

int Run()
{
    const std::wstring launcher = e2e::TestOptions().tessivar;
    const auto bare = soak::CommandLineValue(L"bare");
    const std::size_t pairs = soak::CommandLineNumber(L"pairs", 12);
    if (launcher.empty() || !bare) {
        std::printf("usage: startup_bench --tessivar=PATH --bare=PATH [--pairs=N]\n");
        return 2;
    }
    const std::wstring bareExe = e2e::WindowsPath(*bare);
    std::string baseline = soak::Narrow(bareExe.substr(bareExe.find_last_of(L'\\') + 1));
    baseline = baseline.substr(0, baseline.rfind('.'));

    // One untimed start of each first: the files come from the page cache from then on.
    TimeStart(launcher);
    TimeStart(bareExe);

    std::vector<Pair> results;
    for (std::size_t i = 0; i < pairs; ++i) {
        std::optional<double> a;
        std::optional<double> b;
        const double idle = WaitForQuiet();
        for (int turn = 0; turn < 2; ++turn) {
            Sleep(300);  // what the previous run left behind settles
            if ((turn == 0) == (i % 2 == 0))
                a = TimeStart(launcher);
            else
                b = TimeStart(bareExe);
        }
        if (!a || !b) {
            std::printf("FAIL: pair %zu: %s did not show its window and exit with 0\n", i + 1,
                        !a ? "the launcher" : baseline.c_str());
            return 1;
        }
        std::printf("pair %2zu: launcher %.1f ms, %s %.1f ms, ratio %.3f (CPUs %.0f%% idle before)\n", i + 1, *a * 1000,
                    baseline.c_str(), *b * 1000, *a / *b, idle * 100);
        results.push_back({*a, *b});
    }

    std::vector<double> a;
    std::vector<double> b;
    for (const Pair& p : results) {
        a.push_back(p.a);
        b.push_back(p.b);
    }
    std::printf("\nStart-up, process start to window shown:\n\n");
    PrintTimesHeader();
    PrintTimesRow("launcher (A)", Summarise(a));
    PrintTimesRow(baseline + " (B)", Summarise(b));
    std::printf("\n| ratio A/B per pair | pairs | median | IQR | min | max |\n|---|---:|---:|---:|---:|---:|\n");
    PrintRatioRow("start-up", Summarise(Ratios(results)));
    return 0;
}

}  // namespace
}  // namespace tessivar::bench

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return tessivar::bench::Run();
}
