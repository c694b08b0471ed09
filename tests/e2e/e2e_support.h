// Driving a real launcher process from outside: starting it, finding its windows, real input, and
// reading what only the process itself knows (its current directory) from its memory.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessivar::e2e {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// Every wait of the driver is bounded by one of these.
inline constexpr Milliseconds kStartTimeout = 20s;
inline constexpr Milliseconds kReactionTimeout = 5s;
inline constexpr Milliseconds kExitTimeout = 10s;

// What CMake (or a test script) passes on the driver's command line.
struct Options {
    std::wstring tessivar;                // --tessivar=PATH, the shipped program
    std::wstring unloadableDesign;        // --unloadable-design=PATH, a build whose design cannot be loaded
    std::wstring missingWindowClass;      // --missing-window-class=PATH, a build whose window cannot be created
    std::wstring recordingRoutines;       // --recording-routines=PATH, the shipped design with recording routines
    std::optional<POINT> expectedOrigin;  // --expect-origin=X,Y of the outer frame
    std::optional<SIZE> expectedScreen;   // --expect-screen=WxH, the display the run was set up with
    UINT expectedCodePage = 0;            // --expect-acp=N, 0 when any
};

const Options& TestOptions();

// Wine maps the Unix root to Z:, so a Unix path from CMake becomes Z:\... .
std::wstring WindowsPath(std::wstring_view path);
std::wstring FolderOf(std::wstring_view path);

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Polls until the condition holds or the time is up, keeping the driver's own windows alive.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout);
void PumpOwnMessages();

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
RECT WindowRect(HWND hwnd);
// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);

// Top-level windows (EnumWindows) that belong to the process.
std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly);
std::vector<HWND> ChildWindows(HWND parent);
// Visible top-level windows of the process that are not its launcher window: prompts, boxes, menus.
std::vector<HWND> OtherVisibleWindows(DWORD processId, HWND launcher);

// The window with the keyboard focus in a GUI thread of another process.
HWND FocusOf(DWORD threadId);

class LauncherProcess {
public:
    struct StartInfo {
        StartInfo(std::wstring exe, std::wstring arguments = {}, std::wstring currentDirectory = {},
                  std::vector<std::pair<std::wstring, std::wstring>> environment = {})
            : exe(std::move(exe)),
              arguments(std::move(arguments)),
              currentDirectory(std::move(currentDirectory)),
              environment(std::move(environment))
        {
        }

        std::wstring exe;
        std::wstring arguments;                                          // appended to the quoted exe path
        std::wstring currentDirectory;                                   // empty: the driver's
        std::vector<std::pair<std::wstring, std::wstring>> environment;  // added to the driver's
    };

    // Starts the program; nullptr (with the reason in `error`) if CreateProcessW failed.
    static std::unique_ptr<LauncherProcess> Start(const StartInfo& info, std::wstring* error = nullptr);
    // A process still running at the end of a test is ended so it cannot disturb the next one.
    ~LauncherProcess();

    DWORD Id() const { return m_processId; }
    DWORD ThreadId() const { return m_threadId; }
    HANDLE Handle() const { return m_process.get(); }
    const std::wstring& Exe() const { return m_exe; }

    bool Running() const;
    // The visible launcher window ("Tessivar", not a dialog), once the process shows it.
    HWND WaitForLauncherWindow(Milliseconds timeout = kStartTimeout) const;
    // A visible dialog box (#32770) of the process.
    HWND WaitForDialog(Milliseconds timeout = kStartTimeout) const;
    // The exit code once the process has ended within the timeout.
    std::optional<DWORD> WaitForExit(Milliseconds timeout = kExitTimeout) const;

private:
    LauncherProcess() = default;

    UniqueHandle m_process;
    DWORD m_processId = 0;
    DWORD m_threadId = 0;
    std::wstring m_exe;
};

// The process's current directory and command line, read from its process parameters.
std::optional<std::wstring> RemoteCurrentDirectory(HANDLE process);
std::optional<std::wstring> RemoteCommandLine(HANDLE process);

// Real input, as from the keyboard and mouse.
void TapKey(WORD virtualKey, std::initializer_list<WORD> modifiers = {});
void MoveMouse(POINT screen);
void Click(POINT screen);
void DoubleClick(POINT screen);
void Drag(POINT from, POINT to);

// A screen point of the window whose non-client hit test gives `area` (HTCAPTION, HTCLOSE...),
// searched on the caption row or along the given edge; nothing if the window has no such area.
std::optional<POINT> FindHitArea(HWND hwnd, LRESULT area);

// A temporary folder (and everything in it) that is removed at the end of the test.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    // Creates a subfolder and returns its full path.
    std::wstring MakeFolder(std::wstring_view name) const;

private:
    std::wstring m_path;
};

// Pixels as 0x00RRGGBB, row by row from the top.
struct Pixels {
    LONG width = 0;
    LONG height = 0;
    std::vector<std::uint32_t> data;

    std::uint32_t At(LONG x, LONG y) const { return data[static_cast<std::size_t>(y * width + x)]; }
    friend bool operator==(const Pixels&, const Pixels&) = default;
};

// What the screen shows in the rectangle (screen coordinates).
Pixels CaptureScreen(const RECT& rect);
// The text as a push button draws it: centred, in the button text colour on the given face colour.
Pixels RenderButtonText(std::wstring_view text, HFONT font, SIZE size, std::uint32_t face);
// The smallest part of the image, `margin` pixels or more inside its edges, that holds every pixel
// clearly different from `background`; empty if there is none.
Pixels Ink(const Pixels& image, LONG margin, std::uint32_t background);
std::uint32_t ColourPixel(COLORREF colour);

// Reads a whole (small) text file written by a test build; empty if it does not exist.
std::string ReadFileText(const std::wstring& path);

}  // namespace tessivar::e2e
