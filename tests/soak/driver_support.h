// What the soak and storm drivers (and the benchmarks in bench/) need beyond the end-to-end support:
// a launcher started with an environment of their own, its buttons and caption found once, real clicks
// that wait for the pointer, the process's resource counters as Wine can give them, the recording
// server's journal read as it grows, and Wine's +ole trace of the launcher read back for leaks.
#pragma once

#include "e2e_support.h"
#include "journal.h"

#include <unknwn.h>
#include <windows.h>
#include <wrl/client.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessivar::soak {

using e2e::Milliseconds;
using namespace std::chrono_literals;

// --name=VALUE from the command line, or nothing.
std::optional<std::wstring> CommandLineValue(std::wstring_view name);
unsigned long long CommandLineNumber(std::wstring_view name, unsigned long long fallback);

std::string Narrow(std::wstring_view text);

// ---- Resource counters -------------------------------------------------------------------------
// Wine answers GetProcessHandleCount and GetGuiResources with 0 and leaves PrivateUsage at 0, so the
// counts come from where Wine keeps them: the system handle list, the process's GDI handle table,
// its windows, and the commit charge (PagefileUsage, which equals private bytes on Windows too).
struct ProcessCounters {
    std::size_t handles = 0;     // kernel handles the process holds
    std::size_t gdiObjects = 0;  // live entries of its GDI handle table (stock objects included)
    std::size_t windows = 0;     // its USER windows: top-level, child and message-only
    std::uint64_t workingSet = 0;
    std::uint64_t peakWorkingSet = 0;
    std::uint64_t privateBytes = 0;
};

// Needs PROCESS_QUERY_INFORMATION | PROCESS_VM_READ on `process`.
std::optional<ProcessCounters> ReadCounters(HANDLE process, DWORD processId);
std::size_t CountHandles(DWORD processId);
std::optional<std::size_t> CountGdiObjects(HANDLE process);
std::size_t CountWindows(DWORD processId);

// ---- The launcher ------------------------------------------------------------------------------
enum class App { Word, Excel, PowerPoint };
inline constexpr std::array<App, 3> kApps = {App::Word, App::Excel, App::PowerPoint};

struct AppInfo {
    App app;
    const char* name;  // as in the journal's app= field and tags
    const wchar_t* progId;
    const wchar_t* buttonText;
    int addDispid;   // the collection's Add
    int lastDispid;  // the last request of a launch: Add, or the last bookkeeping get
};
const AppInfo& Info(App app);

class Launcher {
public:
    // Starts the exe with `environment` added to the driver's and waits for its shown window.
    // Nothing (and the reason in `error`) when it does not show within the start timeout.
    static std::unique_ptr<Launcher> Start(const std::wstring& exe,
                                           const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                                           std::wstring& error);

    e2e::LauncherProcess& Process() { return *m_process; }
    HWND Window() const { return m_window; }
    HWND Button(App app) const { return m_buttons[static_cast<std::size_t>(app)]; }
    bool Running() const { return m_process->Running(); }

    bool InForeground() const { return GetForegroundWindow() == m_window; }
    // Clicks the caption until the launcher is the foreground window again (an application window came
    // up in front of it). False when it does not get there.
    bool Activate();
    // Moves the pointer to the point, waits until it is there, then presses and releases the button.
    static void ClickAt(POINT screen);
    static POINT Centre(HWND hwnd);
    // A real click in the middle of the button, with the launcher brought to the front first.
    bool ClickButton(App app);
    // Activates the launcher and presses Esc; the exit code once it has ended.
    std::optional<DWORD> CloseWithEsc();

private:
    Launcher() = default;

    std::unique_ptr<e2e::LauncherProcess> m_process;
    HWND m_window = nullptr;
    std::array<HWND, 3> m_buttons{};
    std::optional<POINT> m_caption;
};

// ---- The recording server ----------------------------------------------------------------------
// Keeps the recording server running from before the launcher starts, with two references of the
// driver's own: a Word.Application object (Wine's class factory proxy does not pass LockServer on), and
// the Word class factory it came from. The factory matters under Wine 8: when the last IClassFactory stub
// in the server goes away (each client's CoCreateInstance releases its factory), Wine unregisters that
// RPC interface and waits for its calls inside the server's apartment, which now and then deadlocks the
// server, about once in a few hundred launches. The server also gets the driver's environment, not the
// launcher's (no +ole trace of its own). Release it before checking that the server released everything.
class ServerHold {
public:
    ServerHold();
    ~ServerHold() { Release(); }
    ServerHold(const ServerHold&) = delete;
    ServerHold& operator=(const ServerHold&) = delete;

    bool Held() const { return m_object != nullptr; }
    HRESULT Result() const { return m_result; }
    void Release()
    {
        m_object.Reset();
        m_factory.Reset();
    }

private:
    Microsoft::WRL::ComPtr<IClassFactory> m_factory;
    Microsoft::WRL::ComPtr<IUnknown> m_object;
    HRESULT m_result = E_FAIL;
};

// Registers the stand-ins, clears faults and the journal, and waits for servers of earlier runs to end.
bool PrepareServer();

// The journal as it grows: lines appended since the last Poll, parsed. Keeps the file open.
class JournalTail {
public:
    JournalTail();
    ~JournalTail();
    JournalTail(const JournalTail&) = delete;
    JournalTail& operator=(const JournalTail&) = delete;

    // Reads what was appended; returns the number of new complete lines.
    std::size_t Poll();
    const RecordingJournal::Journal& Entries() const { return m_entries; }
    // Polls (sleeping 1 ms between reads) until an entry from index `from` on matches; its index.
    std::optional<std::size_t> WaitFor(std::size_t from,
                                       const std::function<bool(const RecordingJournal::Entry&)>& match,
                                       Milliseconds timeout);

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::string m_partial;
    RecordingJournal::Journal m_entries;
};

// The application's Add, and the last request of its launch (Add, or the last bookkeeping get).
bool IsAdd(const RecordingJournal::Entry& entry, App app);
bool IsLaunchEnd(const RecordingJournal::Entry& entry, App app);
// The requests a launch sends (creation, event connection, every Invoke), as in the journal's verbs;
// the interface queries (qi) are COM's own and counted apart.
bool IsProtocol(const RecordingJournal::Entry& entry);
// Whether the entry concerns the application (app= field or an object tag of it).
bool Concerns(const RecordingJournal::Entry& entry, App app);

// After the launcher has gone: what the server still holds, and what a launcher must never ask.
struct ReleaseFindings {
    std::vector<std::string> alive;         // objects with no final release
    std::vector<std::string> stillAdvised;  // connection point/cookie pairs never unadvised
    std::vector<std::string> forbidden;     // Quit, Close or name look-ups
};
ReleaseFindings CheckReleased(const RecordingJournal::Journal& journal);
// Waits (bounded) for the server to release everything, then checks.
ReleaseFindings WaitForRelease(Milliseconds timeout);

// ---- Wine's +ole trace -------------------------------------------------------------------------
// The launcher runs with WINEDEBUG=+pid,+ole; its trace goes to the driver's own stderr, which the
// caller redirects to a file. A proxy that OleUninitialize has to disconnect was still referenced.
inline constexpr wchar_t kOleTrace[] = L"+pid,+ole";

struct OleTraceFindings {
    bool found = false;                     // the file has the launcher's lines
    bool uninitialised = false;             // it reached OleUninitialize
    std::vector<std::string> disconnected;  // proxy_manager_disconnect lines after it
    std::size_t lines = 0;
};
OleTraceFindings CheckOleTrace(const std::wstring& path, DWORD processId);

// ---- Figures -----------------------------------------------------------------------------------
double Seconds(LARGE_INTEGER from, LARGE_INTEGER to);
LARGE_INTEGER Now();

}  // namespace tessivar::soak
