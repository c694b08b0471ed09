// Soak: many launches from one launcher against the recording stand-ins, then Esc. Passes when the
// launcher's handles, GDI objects, windows and private bytes stay flat across the launches, the server
// sees every object released and no Quit or Close, and (with --ole-trace) Wine disconnects no proxy of
// the launcher at OleUninitialize, which it does for references still held.
//
//   soak_driver --tessivar=PATH [--cycles=30] [--ole-trace=PATH] [--samples=N]
//               [--handle-slack=N] [--gdi-slack=N] [--private-slack-kib=N]
//
// --ole-trace names the file the driver's own stderr goes to: the launcher runs with WINEDEBUG=+pid,+ole
// and Wine writes its trace there. The cycles go round the three buttons, so from the fourth on each
// click is a second click on its button. Prints a Markdown table of the counters; exit code 0 = passed.
#include "driver_support.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace tessivar::soak {
namespace {

// Two rounds: every application's first launch and first second click load what then stays loaded.
constexpr std::size_t kWarmCycles = 6;

struct Sample {
    std::string label;
    std::size_t cycle;
    ProcessCounters counters;
};

void PrintSamples(const std::vector<Sample>& samples)
{
    std::printf(
        "| sample | after cycle | handles | GDI objects | windows | private KiB | working set KiB | peak working set "
        "KiB |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Sample& s : samples) {
        std::printf("| %s | %zu | %zu | %zu | %zu | %llu | %llu | %llu |\n", s.label.c_str(), s.cycle,
                    s.counters.handles, s.counters.gdiObjects, s.counters.windows,
                    static_cast<unsigned long long>(s.counters.privateBytes / 1024),
                    static_cast<unsigned long long>(s.counters.workingSet / 1024),
                    static_cast<unsigned long long>(s.counters.peakWorkingSet / 1024));
    }
}

int Run()
{
    const std::wstring exe = e2e::TestOptions().tessivar;
    const std::size_t cycles = CommandLineNumber(L"cycles", 30);
    const std::size_t sampleCount = std::max<std::size_t>(CommandLineNumber(L"samples", 3), 3);
    const std::optional<std::wstring> oleTrace = CommandLineValue(L"ole-trace");
    const auto handleSlack = static_cast<long long>(CommandLineNumber(L"handle-slack", 4));
    const auto gdiSlack = static_cast<long long>(CommandLineNumber(L"gdi-slack", 4));
    const auto privateSlack = static_cast<long long>(CommandLineNumber(L"private-slack-kib", 1024)) * 1024;
    if (exe.empty() || cycles <= kWarmCycles) {
        std::printf("usage: soak_driver --tessivar=PATH [--cycles=N (more than 6)] [--ole-trace=PATH]\n");
        return 2;
    }

    if (!PrepareServer()) {
        std::printf("FAIL: could not register the recording stand-ins\n");
        return 1;
    }
    ServerHold server;
    if (!server.Held()) {
        std::printf("FAIL: could not start the recording server (0x%08lX)\n",
                    static_cast<unsigned long>(server.Result()));
        return 1;
    }
    JournalTail journal;

    std::vector<std::pair<std::wstring, std::wstring>> environment;
    if (oleTrace)
        environment.emplace_back(L"WINEDEBUG", kOleTrace);
    std::wstring error;
    std::unique_ptr<Launcher> launcher = Launcher::Start(exe, environment, error);
    if (launcher == nullptr) {
        std::printf("FAIL: %s\n", Narrow(error).c_str());
        return 1;
    }
    const DWORD pid = launcher->Process().Id();
    std::printf("soak: %zu launch cycles, launcher pid %04lx%s\n", cycles, static_cast<unsigned long>(pid),
                oleTrace ? ", with the +ole trace" : "");

    std::vector<Sample> samples;
    auto sample = [&](const std::string& label, std::size_t cycle) {
        if (auto counters = ReadCounters(launcher->Process().Handle(), pid))
            samples.push_back({label, cycle, *counters});
    };
    sample("shown", 0);

    // The first sample follows the warm-up; the others are spread evenly up to the last cycle.
    std::vector<std::size_t> sampleAt;
    for (std::size_t i = 0; i < sampleCount - 1; ++i)
        sampleAt.push_back(kWarmCycles + (cycles - kWarmCycles) * i / (sampleCount - 1));
    sampleAt.push_back(cycles);

    bool ok = true;
    std::size_t repeatedClicks = 0;
    const LARGE_INTEGER started = Now();
    for (std::size_t cycle = 1; cycle <= cycles && ok; ++cycle) {
        const App app = kApps[(cycle - 1) % kApps.size()];
        journal.Poll();
        const std::size_t before = journal.Entries().size();
        if (!launcher->ClickButton(app)) {
            std::printf("FAIL: cycle %zu: the launcher could not be brought to the front\n", cycle);
            ok = false;
            break;
        }
        // Now and then Wine loses an injected click: a launch that has not begun within 5 s gets the click
        // again, and the count is reported.
        const auto began = [&](const RecordingJournal::Entry& e) { return Concerns(e, app) && IsProtocol(e); };
        if (!journal.WaitFor(before, began, 5s)) {
            ++repeatedClicks;
            std::printf("cycle %zu: no %s launch began within 5 s; clicking again\n", cycle, Info(app).name);
            launcher->ClickButton(app);
        }
        const auto ended = [&](const RecordingJournal::Entry& e) { return IsLaunchEnd(e, app); };
        if (!journal.WaitFor(before, ended, 20s)) {
            std::printf("FAIL: cycle %zu: the %s launch did not complete; launcher running: %d\n", cycle,
                        Info(app).name, launcher->Running());
            ok = false;
            break;
        }
        for (std::size_t i = 0; i < sampleAt.size(); ++i) {
            if (sampleAt[i] == cycle)
                sample(i == 0 ? "first" : i + 1 == sampleAt.size() ? "last" : "middle", cycle);
        }
    }
    const double elapsed = Seconds(started, Now());

    const std::optional<DWORD> exitCode = launcher->CloseWithEsc();
    std::printf("\n");
    PrintSamples(samples);
    std::printf("\n%zu cycles in %.1f s (clicks repeated: %zu); exit code %s\n", cycles, elapsed, repeatedClicks,
                exitCode ? std::to_string(*exitCode).c_str() : "(still running)");
    if (!exitCode || *exitCode != 0) {
        std::printf("FAIL: the launcher did not end with exit code 0 after Esc\n");
        ok = false;
    }

    // Flat: handles, GDI objects and windows from the first sample after the warm-up to the last. Private
    // bytes settle more slowly (the heap grows to a plateau within the first hundreds of launches), so they
    // are held to the second half of the run: a leak of every launch still shows there.
    const Sample* first = nullptr;
    const Sample* half = nullptr;
    for (const Sample& s : samples) {
        if (s.label == "first")
            first = &s;
        if (s.cycle > 0 && s.cycle <= cycles / 2 + 1)
            half = &s;
    }
    if (ok && first != nullptr && half != nullptr && samples.back().label == "last") {
        const ProcessCounters& a = first->counters;
        const ProcessCounters& b = samples.back().counters;
        auto grew = [](std::uint64_t from, std::uint64_t to) {
            return static_cast<long long>(to) - static_cast<long long>(from);
        };
        const long long handles = grew(a.handles, b.handles);
        const long long gdi = grew(a.gdiObjects, b.gdiObjects);
        const long long windows = grew(a.windows, b.windows);
        const long long privateBytes = grew(a.privateBytes, b.privateBytes);
        const long long privateLate = grew(half->counters.privateBytes, b.privateBytes);
        std::printf(
            "growth from the first sample to the last: handles %+lld, GDI objects %+lld, windows %+lld, "
            "private bytes %+lld KiB (%+lld KiB after cycle %zu)\n",
            handles, gdi, windows, privateBytes / 1024, privateLate / 1024, half->cycle);
        if (handles > handleSlack || gdi > gdiSlack || windows > 0 || privateLate > privateSlack) {
            std::printf(
                "FAIL: the counters grew across the launches (allowed: handles %lld, GDI %lld, windows 0, "
                "private %lld KiB in the second half)\n",
                handleSlack, gdiSlack, privateSlack / 1024);
            ok = false;
        }
    } else if (ok) {
        std::printf("FAIL: the counters could not be read\n");
        ok = false;
    }

    server.Release();
    const ReleaseFindings released = WaitForRelease(15s);
    for (const std::string& tag : released.alive)
        std::printf("FAIL: still alive at the server: %s\n", tag.c_str());
    for (const std::string& point : released.stillAdvised)
        std::printf("FAIL: never unadvised: %s\n", point.c_str());
    for (const std::string& line : released.forbidden)
        std::printf("FAIL: the launcher asked: %s\n", line.c_str());
    ok = ok && released.alive.empty() && released.stillAdvised.empty() && released.forbidden.empty();
    std::printf("server: %zu journal lines, every object released: %s, no Quit/Close/name look-up: %s\n",
                RecordingJournal::ReadJournal().size(), released.alive.empty() ? "yes" : "no",
                released.forbidden.empty() ? "yes" : "no");

    if (oleTrace) {
        const OleTraceFindings trace = CheckOleTrace(e2e::WindowsPath(*oleTrace), pid);
        std::printf(
            "+ole trace: %zu lines of the launcher, OleUninitialize reached: %s, proxies disconnected "
            "after it: %zu\n",
            trace.lines, trace.uninitialised ? "yes" : "no", trace.disconnected.size());
        for (std::size_t i = 0; i < trace.disconnected.size() && i < 10; ++i)
            std::printf("  %s\n", trace.disconnected[i].c_str());
        if (!trace.found || !trace.uninitialised) {
            std::printf("FAIL: the +ole trace of the launcher is missing or incomplete\n");
            ok = false;
        } else if (!trace.disconnected.empty()) {
            std::printf("FAIL: references still held at OleUninitialize\n");
            ok = false;
        }
    }
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace tessivar::soak

int main()
{
    // Unbuffered: what was printed survives a driver that is ended.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int status = tessivar::soak::Run();
    CoUninitialize();
    return status;
}
