// Launch overhead: from a real click on a launcher button (A) to the recording server receiving that
// application's Add, against bare_client.exe (B) making the same calls from the moment the driver signals
// it. Pairs go round Word, Excel and PowerPoint in alternating order, after one untimed launch of each by
// each. Then counts, per launch, the requests the server received (journal verbs) from the launcher and
// from the bare client, and compares them with each other and with the launch sequence.
//
//   launch_bench --tessivar=PATH --bare-client=PATH [--pairs=15]
//
// RECORDING_SERVER_DIR names the folder of the registered RecordingOffice.exe when it is not the build's.
#include "bench_stats.h"
#include "driver_support.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tessivar::bench {
namespace {

using namespace std::chrono_literals;
using RecordingJournal::Entry;
using RecordingJournal::Journal;
using soak::App;
using soak::Info;
using soak::JournalTail;
using soak::kApps;
using soak::Now;
using soak::Seconds;

// The verbs counted per launch: the launch's requests, then COM's own interface queries.
const char* const kVerbs[] = {"create", "find-cp", "advise", "unadvise", "invoke", "get-ids-of-names", "qi"};

// What the launch sequence sends for each application, from its second launch on (the first has no
// unadvise): creation, the event connection, the Visible put, the collection get, Add and the bookkeeping.
std::map<std::string, int> Expected(App app)
{
    const int invokes = app == App::Word ? 5 : app == App::Excel ? 6 : 3;
    return {{"create", 1},   {"find-cp", 1},      {"advise", 1},
            {"unadvise", 1}, {"invoke", invokes}, {"get-ids-of-names", 0}};
}

std::map<std::string, int> Count(const Journal& entries, std::size_t from, std::size_t to, App app)
{
    std::map<std::string, int> counts;
    for (std::size_t i = from; i < to && i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const bool counted =
            std::any_of(std::begin(kVerbs), std::end(kVerbs), [&](const char* v) { return e.verb == v; });
        if (counted && soak::Concerns(e, app))
            ++counts[e.verb];
    }
    return counts;
}

class Bench {
public:
    Bench(soak::Launcher& launcher, HANDLE (&events)[3]) : m_launcher(launcher), m_events(events) {}

    // One launch by the launcher (click) or the bare client (event): seconds to the Add, and the journal
    // span of the whole launch. Nothing if the Add did not come.
    std::optional<double> Launch(bool byLauncher, App app, std::pair<std::size_t, std::size_t>& span)
    {
        LARGE_INTEGER started{};
        if (byLauncher) {
            if (!m_launcher.Activate())
                return std::nullopt;
            // The pointer goes there first and is seen there; the timed part is the press and release.
            const POINT centre = soak::Launcher::Centre(m_launcher.Button(app));
            e2e::MoveMouse(centre);
            e2e::WaitUntil(
                [&] {
                    POINT at{};
                    return GetCursorPos(&at) && at.x == centre.x && at.y == centre.y;
                },
                e2e::kReactionTimeout);
            Sleep(50);
            m_journal.Poll();
            span.first = m_journal.Entries().size();
            started = Now();
            e2e::Click(centre);
        } else {
            m_journal.Poll();
            span.first = m_journal.Entries().size();
            started = Now();
            SetEvent(m_events[static_cast<std::size_t>(app)]);
        }
        // Now and then Wine loses an injected click: nothing begins. The caller repeats the pair.
        const auto began = [&](const Entry& e) { return soak::Concerns(e, app) && soak::IsProtocol(e); };
        if (!m_journal.WaitFor(span.first, began, 5s)) {
            ++m_lostClicks;
            Sleep(2000);  // a click that was only late has its launch over by then
            m_journal.Poll();
            return std::nullopt;
        }
        const auto add = m_journal.WaitFor(
            span.first, [&](const Entry& e) { return soak::IsAdd(e, app); }, 20s);
        const LARGE_INTEGER added = Now();
        if (!add)
            return std::nullopt;
        // The rest of the launch, and the event the server fires after the Add, before the next one.
        const auto end = m_journal.WaitFor(
            *add, [&](const Entry& e) { return soak::IsLaunchEnd(e, app); }, 20s);
        m_journal.WaitFor(
            *add, [&](const Entry& e) { return e.verb == "fire" && soak::Concerns(e, app); }, 2s);
        Sleep(150);
        m_journal.Poll();
        span.second = end ? *end + 1 : m_journal.Entries().size();
        return Seconds(started, added);
    }

    const Journal& Entries() const { return m_journal.Entries(); }
    std::size_t LostClicks() const { return m_lostClicks; }

private:
    std::size_t m_lostClicks = 0;
    soak::Launcher& m_launcher;
    HANDLE (&m_events)[3];
    JournalTail m_journal;
};

void PrintCounts(const char* title,
                 const std::map<App, std::pair<std::map<std::string, int>, std::map<std::string, int>>>& counts,
                 bool withExpected)
{
    std::printf("\n%s\n\n| application | by |", title);
    for (const char* verb : kVerbs)
        std::printf(" %s |", verb);
    std::printf("\n|---|---|");
    for (std::size_t i = 0; i < std::size(kVerbs); ++i)
        std::printf("---:|");
    std::printf("\n");
    for (const auto& [app, byWhom] : counts) {
        const auto row = [&](const char* who, const std::map<std::string, int>& c, bool listedOnly) {
            std::printf("| %s | %s |", Info(app).name, who);
            for (const char* verb : kVerbs) {
                const auto it = c.find(verb);
                if (it == c.end() && listedOnly)
                    std::printf(" - |");
                else
                    std::printf(" %d |", it == c.end() ? 0 : it->second);
            }
            std::printf("\n");
        };
        row("launcher", byWhom.first, false);
        row("bare client", byWhom.second, false);
        if (withExpected)
            row("launch sequence", Expected(app), true);
    }
}

int Run()
{
    const std::wstring tessivar = e2e::TestOptions().tessivar;
    const auto bareClient = soak::CommandLineValue(L"bare-client");
    const std::size_t pairs = soak::CommandLineNumber(L"pairs", 15);
    if (tessivar.empty() || !bareClient) {
        std::printf("usage: launch_bench --tessivar=PATH --bare-client=PATH [--pairs=N]\n");
        return 2;
    }
    if (!soak::PrepareServer()) {
        std::printf("FAIL: could not register the recording stand-ins\n");
        return 1;
    }
    // Started before the timed launches, and kept clear of Wine's class factory deadlock (ServerHold).
    const soak::ServerHold server;
    if (!server.Held()) {
        std::printf("FAIL: could not start the recording server\n");
        return 1;
    }

    // The bare client waits for these.
    const std::wstring name = L"TessivarLaunchBench" + std::to_wstring(GetCurrentProcessId());
    HANDLE events[3] = {};
    for (App app : kApps) {
        const std::string narrow = Info(app).name;
        events[static_cast<std::size_t>(app)] =
            CreateEventW(nullptr, FALSE, FALSE, (name + L"." + std::wstring(narrow.begin(), narrow.end())).c_str());
    }
    const e2e::UniqueHandle quit(CreateEventW(nullptr, FALSE, FALSE, (name + L".Quit").c_str()));
    const e2e::UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, (name + L".Ready").c_str()));

    std::wstring error;
    std::unique_ptr<soak::Launcher> launcher = soak::Launcher::Start(tessivar, {}, error);
    if (launcher == nullptr) {
        std::printf("FAIL: %s\n", soak::Narrow(error).c_str());
        return 1;
    }
    const auto client = e2e::LauncherProcess::Start({e2e::WindowsPath(*bareClient), name}, &error);
    if (client == nullptr || WaitForSingleObject(ready.get(), 20000) != WAIT_OBJECT_0) {
        std::printf("FAIL: the bare client did not start\n");
        return 1;
    }

    Bench bench(*launcher, events);
    std::map<App, std::pair<std::map<std::string, int>, std::map<std::string, int>>> firstCounts;
    std::map<App, std::pair<std::map<std::string, int>, std::map<std::string, int>>> laterCounts;
    bool identical = true;
    // One untimed launch of each application by each: first launches load proxies and start the server.
    for (App app : kApps) {
        std::pair<std::size_t, std::size_t> a;
        std::pair<std::size_t, std::size_t> b;
        if (!bench.Launch(true, app, a) || !bench.Launch(false, app, b)) {
            std::printf("FAIL: the first %s launch did not reach Add\n", Info(app).name);
            return 1;
        }
        firstCounts[app] = {Count(bench.Entries(), a.first, a.second, app),
                            Count(bench.Entries(), b.first, b.second, app)};
        identical = identical && firstCounts[app].first == firstCounts[app].second;
    }

    std::map<App, std::vector<Pair>> results;
    std::vector<Pair> all;
    for (std::size_t i = 0; i < pairs; ++i) {
        const App app = kApps[i % kApps.size()];
        Pair pair;
        std::pair<std::size_t, std::size_t> spanA;
        std::pair<std::size_t, std::size_t> spanB;
        const double idle = WaitForQuiet();
        for (int turn = 0; turn < 2; ++turn) {
            const bool byLauncher = (turn == 0) == ((i / kApps.size()) % 2 == 0);
            const std::size_t lost = bench.LostClicks();
            const auto seconds = bench.Launch(byLauncher, app, byLauncher ? spanA : spanB);
            if (!seconds && bench.LostClicks() > lost && bench.LostClicks() <= 3) {
                std::printf("pair %2zu: the click was lost; the pair is taken again\n", i + 1);
                turn = -1;
                continue;
            }
            if (!seconds) {
                std::printf("FAIL: pair %zu: the %s launch by the %s did not reach Add\n", i + 1, Info(app).name,
                            byLauncher ? "launcher" : "bare client");
                return 1;
            }
            (byLauncher ? pair.a : pair.b) = *seconds;
        }
        std::printf("pair %2zu %-10s: launcher %.1f ms, bare client %.1f ms, ratio %.3f (CPUs %.0f%% idle before)\n",
                    i + 1, Info(app).name, pair.a * 1000, pair.b * 1000, pair.a / pair.b, idle * 100);
        results[app].push_back(pair);
        all.push_back(pair);
        const auto countA = Count(bench.Entries(), spanA.first, spanA.second, app);
        const auto countB = Count(bench.Entries(), spanB.first, spanB.second, app);
        if (countA != countB) {
            identical = false;
            std::printf("pair %2zu: the launcher's and the bare client's requests differ:", i + 1);
            for (const char* verb : kVerbs) {
                const int a = countA.contains(verb) ? countA.at(verb) : 0;
                const int b = countB.contains(verb) ? countB.at(verb) : 0;
                if (a != b)
                    std::printf(" %s %d and %d;", verb, a, b);
            }
            std::printf("\n");
        }
        laterCounts[app] = {countA, countB};
    }

    SetEvent(quit.get());
    const auto exitCode = launcher->CloseWithEsc();
    client->WaitForExit();

    std::printf("\nLaunch, click (A) or signal (B) to the server's Add:\n\n");
    PrintTimesHeader();
    for (App app : kApps) {
        std::vector<double> a;
        std::vector<double> b;
        for (const Pair& p : results[app]) {
            a.push_back(p.a);
            b.push_back(p.b);
        }
        PrintTimesRow(std::string(Info(app).name) + ", launcher (A)", Summarise(a));
        PrintTimesRow(std::string(Info(app).name) + ", bare client (B)", Summarise(b));
    }
    std::printf("\n| ratio A/B per pair | pairs | median | IQR | min | max |\n|---|---:|---:|---:|---:|---:|\n");
    for (App app : kApps)
        PrintRatioRow(Info(app).name, Summarise(Ratios(results[app])));
    PrintRatioRow("all", Summarise(Ratios(all)));

    PrintCounts("Requests the server received per launch, first launch of each application:", firstCounts, false);
    PrintCounts("Requests the server received per launch, later launches (a second click):", laterCounts, true);
    bool asListed = true;
    for (const auto& [app, counts] : laterCounts) {
        for (const auto& [verb, expected] : Expected(app)) {
            const auto it = counts.first.find(verb);
            asListed = asListed && (it == counts.first.end() ? 0 : it->second) == expected;
        }
    }
    std::printf(
        "\nlauncher and bare client sent the same requests and queries: %s; the launcher's requests are "
        "exactly the launch sequence's: %s; clicks lost and pairs taken again: %zu; launcher exit code %s\n",
        identical ? "yes" : "NO", asListed ? "yes" : "NO", bench.LostClicks(),
        exitCode ? std::to_string(*exitCode).c_str() : "(still running)");
    for (HANDLE event : events)
        CloseHandle(event);
    return identical && asListed && exitCode == 0u ? 0 : 1;
}

}  // namespace
}  // namespace tessivar::bench

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int status = tessivar::bench::Run();
    CoUninitialize();
    return status;
}
