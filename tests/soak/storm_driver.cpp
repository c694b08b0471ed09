// Storm: a seeded random run of real keys and clicks on the launcher (Tab, Shift+Tab, Space, Enter, F1,
// clicks on its buttons, its client area and its caption, minimise and restore) while the recording
// stand-ins fail in changing ways (faults.txt, applications unregistered and registered again). Passes
// when the launcher is alive and answering after every step, never shows a window of its own, ends with
// exit code 0 on Esc, and the stand-ins saw every object released and no Quit, Close or name look-up.
//
//   storm_driver --tessivar=PATH [--steps=150] [--seed=N]
//
// The seed is printed; the same seed gives the same steps (what they meet may differ with timing).
#include "driver_support.h"

#include <objbase.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace tessivar::soak {
namespace {

constexpr const char* kFaults[] = {"create-invalidarg", "no-cpc",           "no-cp",         "advise-refused",
                                   "visible-fails",     "collection-fails", "add-exception", "add-no-object"};

// Client points of the launcher window that no button covers (the buttons are 24..160 and 200..336
// across at 32..120 down, and 24..336 across at 144..200 down).
constexpr POINT kBlankClientPoints[] = {{180, 70}, {100, 14}, {180, 132}, {12, 170}, {346, 100}, {180, 212}};

enum class Step {
    Tab,
    ShiftTab,
    Space,
    Enter,
    F1,
    ClickButton,
    ClickBlank,
    DoubleClickCaption,
    Minimise,
    Restore,
    Faults,
    Registration,
    Pause,
};

struct Weighted {
    Step step;
    unsigned weight;
};

// Weights while the window is shown; when it is minimised only keys, faults, pauses and a restore can
// happen.
constexpr Weighted kShownSteps[] = {
    {Step::Tab, 10},     {Step::ShiftTab, 8},     {Step::Space, 9},        {Step::Enter, 5},
    {Step::F1, 4},       {Step::ClickButton, 14}, {Step::ClickBlank, 6},   {Step::DoubleClickCaption, 2},
    {Step::Minimise, 4}, {Step::Faults, 6},       {Step::Registration, 1}, {Step::Pause, 5},
};
constexpr Weighted kMinimisedSteps[] = {
    {Step::Tab, 2}, {Step::Space, 2}, {Step::Enter, 1}, {Step::Faults, 2}, {Step::Pause, 2}, {Step::Restore, 8},
};

class Storm {
public:
    Storm(Launcher& launcher, std::uint32_t seed) : m_launcher(launcher), m_random(seed) {}

    // Takes one step; false (with the reason printed) when the launcher did not survive it.
    bool Take(std::size_t index);
    // Restores the window if it is minimised (by a double click on it, as a user would).
    bool Restore();

private:
    template <std::size_t N>
    Step Pick(const Weighted (&steps)[N])
    {
        unsigned total = 0;
        for (const Weighted& w : steps)
            total += w.weight;
        unsigned ticket = static_cast<unsigned>(m_random() % total);
        for (const Weighted& w : steps) {
            if (ticket < w.weight)
                return w.step;
            ticket -= w.weight;
        }
        return steps[0].step;
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(m_random() % n); }
    void Key(WORD key, std::initializer_list<WORD> modifiers = {});
    std::string NewFaults();
    void ToggleRegistration(std::string& description);

    Launcher& m_launcher;
    std::mt19937 m_random;
    std::vector<bool> m_unregistered = std::vector<bool>(kApps.size(), false);
};

void Storm::Key(WORD key, std::initializer_list<WORD> modifiers)
{
    // Mostly as a user would: the launcher brought back to the front first. Otherwise the key goes to
    // whatever window has the focus, a stand-in window among them.
    if (Below(5) != 0)
        m_launcher.Activate();
    e2e::TapKey(key, modifiers);
}

std::string Storm::NewFaults()
{
    std::string content;
    for (App app : kApps) {
        if (Below(5) < 2)
            content += std::string(Info(app).name) + " " + kFaults[Below(std::size(kFaults))] + "\n";
    }
    RecordingJournal::WriteFaults(content);
    return content.empty() ? "none" : content;
}

void Storm::ToggleRegistration(std::string& description)
{
    const std::size_t index = Below(kApps.size());
    const App app = kApps[index];
    const std::wstring name = app == App::Word ? L"Word" : app == App::Excel ? L"Excel" : L"PowerPoint";
    if (m_unregistered[index]) {
        // /RegServer registers all three again.
        RecordingJournal::RunServerCommand(L"/RegServer");
        std::fill(m_unregistered.begin(), m_unregistered.end(), false);
        description = "register all again";
    } else {
        RecordingJournal::RunServerCommand(L"/UnregServer " + name);
        m_unregistered[index] = true;
        description = "unregister " + std::string(Info(app).name);
    }
}

bool Storm::Restore()
{
    HWND window = m_launcher.Window();
    for (int attempt = 0; attempt < 3 && IsIconic(window); ++attempt) {
        const POINT icon = Launcher::Centre(window);
        Launcher::ClickAt(icon);
        e2e::DoubleClick(icon);
        e2e::WaitUntil([&] { return !IsIconic(window); }, 2s);
    }
    return !IsIconic(window);
}

bool Storm::Take(std::size_t index)
{
    HWND window = m_launcher.Window();
    const bool minimised = IsIconic(window) != 0;
    const Step step = minimised ? Pick(kMinimisedSteps) : Pick(kShownSteps);
    std::string description;
    switch (step) {
        case Step::Tab:
            description = "Tab";
            Key(VK_TAB);
            break;
        case Step::ShiftTab:
            description = "Shift+Tab";
            Key(VK_TAB, {VK_SHIFT});
            break;
        case Step::Space:
            description = "Space";
            Key(VK_SPACE);
            break;
        case Step::Enter:
            description = "Enter";
            Key(VK_RETURN);
            break;
        case Step::F1:
            description = "F1";
            Key(VK_F1);
            break;
        case Step::ClickButton: {
            const App app = kApps[Below(kApps.size())];
            description = std::string("click ") + Info(app).name;
            Launcher::ClickAt(Launcher::Centre(m_launcher.Button(app)));
            break;
        }
        case Step::ClickBlank: {
            POINT at = kBlankClientPoints[Below(std::size(kBlankClientPoints))];
            description = "click client " + std::to_string(at.x) + "," + std::to_string(at.y);
            ClientToScreen(window, &at);
            Launcher::ClickAt(at);
            break;
        }
        case Step::DoubleClickCaption:
            description = "double-click caption";
            if (const auto caption = e2e::FindHitArea(window, HTCAPTION)) {
                Launcher::ClickAt(*caption);
                e2e::DoubleClick(*caption);
            }
            break;
        case Step::Minimise:
            description = "minimise";
            if (const auto box = e2e::FindHitArea(window, HTMINBUTTON))
                Launcher::ClickAt(*box);
            e2e::WaitUntil([&] { return IsIconic(window) != 0; }, 2s);
            break;
        case Step::Restore:
            description = "restore";
            Restore();
            break;
        case Step::Faults: {
            const std::string faults = NewFaults();
            description = "faults: " + faults;
            for (char& c : description) {
                if (c == '\n')
                    c = ';';
            }
            break;
        }
        case Step::Registration:
            ToggleRegistration(description);
            break;
        case Step::Pause: {
            const unsigned ms = 50 + Below(250);
            description = "pause " + std::to_string(ms) + " ms";
            Sleep(ms);
            break;
        }
    }
    std::printf("step %zu: %s\n", index, description.c_str());
    // Let what the step started run a little before the next one.
    e2e::WaitUntil([] { return false; }, std::chrono::milliseconds(20 + Below(80)));
    // A crashed launcher can linger while Wine's debugger runs: a thread that answers no message is as bad.
    DWORD_PTR ignored = 0;
    if (!m_launcher.Running() ||
        !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 10000, &ignored)) {
        std::printf("FAIL: the launcher %s during step %zu\n", m_launcher.Running() ? "stopped answering" : "ended",
                    index);
        return false;
    }
    const std::vector<HWND> others = e2e::OtherVisibleWindows(m_launcher.Process().Id(), window);
    if (!others.empty()) {
        std::printf("FAIL: after step %zu the launcher shows a window of its own: \"%s\" (%s)\n", index,
                    Narrow(e2e::WindowText(others.front())).c_str(), Narrow(e2e::ClassName(others.front())).c_str());
        return false;
    }
    return true;
}

int Run()
{
    const std::wstring exe = e2e::TestOptions().tessivar;
    const std::size_t steps = CommandLineNumber(L"steps", 150);
    const auto seed = static_cast<std::uint32_t>(
        CommandLineNumber(L"seed", static_cast<unsigned long long>(Now().QuadPart) & 0x7FFFFFFF));
    if (exe.empty()) {
        std::printf("usage: storm_driver --tessivar=PATH [--steps=N] [--seed=N]\n");
        return 2;
    }
    std::printf("storm: %zu steps, seed %lu (replay with --seed=%lu)\n", steps, static_cast<unsigned long>(seed),
                static_cast<unsigned long>(seed));

    if (!PrepareServer()) {
        std::printf("FAIL: could not register the recording stand-ins\n");
        return 1;
    }
    ServerHold server;
    std::wstring error;
    std::unique_ptr<Launcher> launcher = Launcher::Start(exe, {}, error);
    if (launcher == nullptr) {
        std::printf("FAIL: %s\n", Narrow(error).c_str());
        return 1;
    }

    Storm storm(*launcher, seed);
    bool ok = true;
    const LARGE_INTEGER started = Now();
    for (std::size_t i = 1; i <= steps && ok; ++i)
        ok = storm.Take(i);
    const double elapsed = Seconds(started, Now());

    std::optional<DWORD> exitCode;
    if (ok) {
        if (!storm.Restore())
            std::printf("FAIL: the launcher could not be restored\n");
        exitCode = launcher->CloseWithEsc();
        std::printf("%zu steps in %.1f s; exit code after Esc: %s\n", steps, elapsed,
                    exitCode ? std::to_string(*exitCode).c_str() : "(still running)");
        if (!exitCode || *exitCode != 0) {
            std::printf("FAIL: the launcher did not end with exit code 0 after Esc\n");
            ok = false;
        }
    }

    RecordingJournal::ClearFaults();
    RecordingJournal::RunServerCommand(L"/RegServer");
    server.Release();
    if (ok) {
        const ReleaseFindings released = WaitForRelease(15s);
        for (const std::string& tag : released.alive)
            std::printf("FAIL: still alive at the server: %s\n", tag.c_str());
        for (const std::string& point : released.stillAdvised)
            std::printf("FAIL: never unadvised: %s\n", point.c_str());
        for (const std::string& line : released.forbidden)
            std::printf("FAIL: the launcher asked: %s\n", line.c_str());
        const RecordingJournal::Journal journal = RecordingJournal::ReadJournal();
        std::size_t launches = 0;
        std::size_t faults = 0;
        for (const auto& e : journal) {
            launches += e.verb == "create" ? 1 : 0;
            faults += e.verb == "fault" ? 1 : 0;
        }
        std::printf("server: %zu creations, %zu faults applied, every object released: %s\n", launches, faults,
                    released.alive.empty() ? "yes" : "no");
        ok = released.alive.empty() && released.stillAdvised.empty() && released.forbidden.empty();
    }
    std::printf("%s (seed %lu)\n", ok ? "PASS" : "FAIL", static_cast<unsigned long>(seed));
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace tessivar::soak

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int status = tessivar::soak::Run();
    CoUninitialize();
    return status;
}
