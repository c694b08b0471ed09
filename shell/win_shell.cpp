#include "win_shell.h"

#include "launcher_window/launcher_window.h"
#include "office/components.h"
#include "office/launch_actions.h"

#include <ole2.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace tessivar {

namespace {

class WinShellHost final : public ShellHost, public WindowShell {
public:
    explicit WinShellHost(const WindowDesign& design) : m_storedDesign(design) {}

    void Attach(Shell& shell) { m_shell = &shell; }

    // ShellHost
    void InitializeOle() override { OleInitialize(nullptr); }
    void EnterProgramFolder() override;
    bool LoadDesign() override;
    void ResetFpu() override;
    bool LoadAndShowWindow() override;
    int PumpMessages() override;
    void ShowFatalError() override;
    void FreeDesign() override { m_design.reset(); }
    void DestroyIconsAndWindows() override;
    void UninitializeOle() override { OleUninitialize(); }
    void PostQuit(int code) override { PostQuitMessage(code); }

    // WindowShell
    SuppressionCount& Suppression() override { return m_shell->Suppression(); }
    EventRouter& Router() override { return m_shell->Router(); }
    ProgramIcons Icons() override;
    void OnWindowCreated() override { m_shell->OnWindowCreated(); }
    void OnWindowDestroyed() override { m_shell->OnWindowDestroyed(); }

private:
    const WindowDesign& m_storedDesign;
    Shell* m_shell = nullptr;
    std::optional<LoadedDesign> m_design;
    std::unique_ptr<LauncherWindow> m_window;
    ProgramIcons m_icons;
    bool m_iconsLoaded = false;
};

void WinShellHost::EnterProgramFolder()
{
    // The path may be longer than MAX_PATH: grow the buffer until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return;
        path.resize(path.size() * 2);
    }
    const std::size_t separator = path.rfind(L'\\');
    if (separator == std::wstring::npos)
        return;
    path.resize(separator);
    // "C:" alone would mean the drive's current directory, not its root.
    if (path.size() == 2 && path[1] == L':')
        path += L'\\';
    SetCurrentDirectoryW(path.c_str());
}

bool WinShellHost::LoadDesign()
{
    m_design = tessivar::LoadDesign(m_storedDesign, LaunchHandlers());
    return m_design.has_value();
}

void WinShellHost::ResetFpu()
{
#if defined(_MSC_VER) && defined(_M_IX86)
    __asm fninit
#elif defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
    __asm__ __volatile__("fninit");
#endif
}

bool WinShellHost::LoadAndShowWindow()
{
    m_window = LauncherWindow::Create(*m_design, *this, CreateOfficeComponent);
    return m_window != nullptr;
}

int WinShellHost::PumpMessages()
{
    MSG msg;
    for (;;) {
        const BOOL result = GetMessageW(&msg, nullptr, 0, 0);
        if (result == 0)
            return static_cast<int>(msg.wParam);
        if (result == -1)
            return 0;
        if (m_window != nullptr && m_window->PreTranslateMessage(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void WinShellHost::ShowFatalError()
{
    MessageBoxW(nullptr, L"Tessivar could not start: its window could not be created.", L"Tessivar",
                MB_OK | MB_ICONERROR);
}

ProgramIcons WinShellHost::Icons()
{
    if (!m_iconsLoaded) {
        m_iconsLoaded = true;
        HINSTANCE module = GetModuleHandleW(nullptr);
        m_icons.big = static_cast<HICON>(LoadImageW(module, L"DEFAULT_ICON", IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
        m_icons.small = static_cast<HICON>(LoadImageW(module, L"DEFAULT_ICON", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    }
    return m_icons;
}

void WinShellHost::DestroyIconsAndWindows()
{
    m_window.reset();
    if (m_icons.big != nullptr)
        DestroyIcon(m_icons.big);
    if (m_icons.small != nullptr)
        DestroyIcon(m_icons.small);
    m_icons = {};
}

}  // namespace

int RunLauncher(const WindowDesign& design, const ProgramRoutines& routines)
{
    WinShellHost host(design);
    Shell shell(host);
    host.Attach(shell);
    return shell.Run(routines);
}

}  // namespace tessivar
