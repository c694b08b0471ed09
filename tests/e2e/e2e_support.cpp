#include "e2e_support.h"

#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>

namespace tessivar::e2e {

namespace {

std::optional<POINT> ParsePair(std::wstring_view text, wchar_t separator)
{
    const std::size_t at = text.find(separator);
    if (at == std::wstring_view::npos)
        return std::nullopt;
    const std::wstring first(text.substr(0, at));
    const std::wstring second(text.substr(at + 1));
    return POINT{static_cast<LONG>(std::wcstol(first.c_str(), nullptr, 10)),
                 static_cast<LONG>(std::wcstol(second.c_str(), nullptr, 10))};
}

Options ParseOptions()
{
    Options options;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return options;
    for (int i = 1; i < count; ++i) {
        const std::wstring_view argument = arguments[i];
        auto value = [&](std::wstring_view name) -> std::optional<std::wstring_view> {
            if (argument.size() > name.size() && argument.starts_with(name) && argument[name.size()] == L'=')
                return argument.substr(name.size() + 1);
            return std::nullopt;
        };
        if (auto v = value(L"--tessivar"))
            options.tessivar = WindowsPath(*v);
        else if (auto v = value(L"--unloadable-design"))
            options.unloadableDesign = WindowsPath(*v);
        else if (auto v = value(L"--missing-window-class"))
            options.missingWindowClass = WindowsPath(*v);
        else if (auto v = value(L"--recording-routines"))
            options.recordingRoutines = WindowsPath(*v);
        else if (auto v = value(L"--expect-origin"))
            options.expectedOrigin = ParsePair(*v, L',');
        else if (auto v = value(L"--expect-screen")) {
            if (auto size = ParsePair(*v, L'x'))
                options.expectedScreen = SIZE{size->x, size->y};
        } else if (auto v = value(L"--expect-acp"))
            options.expectedCodePage = static_cast<UINT>(std::wcstoul(std::wstring(*v).c_str(), nullptr, 10));
    }
    LocalFree(arguments);
    return options;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

// Normalised absolute coordinates that map back onto exactly this pixel of the primary screen.
LONG Normalised(LONG pixel, int screenSize)
{
    return static_cast<LONG>((static_cast<long long>(pixel) * 65536 + screenSize - 1) / screenSize);
}

INPUT MouseInput(DWORD flags, POINT screen = {})
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = Normalised(screen.x, GetSystemMetrics(SM_CXSCREEN));
        input.mi.dy = Normalised(screen.y, GetSystemMetrics(SM_CYSCREEN));
    }
    return input;
}

INPUT KeyInput(WORD virtualKey, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void Send(std::vector<INPUT> inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Layouts of the 32-bit process environment block and process parameters, as far as they are read.
constexpr std::uintptr_t kPebProcessParameters = 0x10;
constexpr std::uintptr_t kParametersCurrentDirectory = 0x24;
constexpr std::uintptr_t kParametersCommandLine = 0x40;

struct RemoteUnicodeString {
    USHORT length;
    USHORT maximumLength;
    std::uint32_t buffer;
};

template <typename T>
std::optional<T> ReadRemote(HANDLE process, std::uintptr_t address)
{
    T value{};
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address), &value, sizeof(value), &read) ||
        read != sizeof(value))
        return std::nullopt;
    return value;
}

std::optional<std::wstring> RemoteParameterString(HANDLE process, std::uintptr_t offset)
{
    static_assert(sizeof(void*) == 4, "the layouts above are those of 32-bit processes");
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic), &length) != 0)
        return std::nullopt;
    const auto peb = reinterpret_cast<std::uintptr_t>(basic.PebBaseAddress);
    const auto parameters = ReadRemote<std::uint32_t>(process, peb + kPebProcessParameters);
    if (!parameters)
        return std::nullopt;
    const auto string = ReadRemote<RemoteUnicodeString>(process, *parameters + offset);
    if (!string)
        return std::nullopt;
    std::wstring text(string->length / sizeof(wchar_t), L'\0');
    SIZE_T read = 0;
    if (!text.empty() &&
        (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(string->buffer), text.data(), string->length, &read) ||
         read != string->length))
        return std::nullopt;
    return text;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

const Options& TestOptions()
{
    static const Options options = ParseOptions();
    return options;
}

std::wstring WindowsPath(std::wstring_view path)
{
    std::wstring result(path);
    if (!result.empty() && result.front() == L'/')
        result.insert(0, L"Z:");
    std::replace(result.begin(), result.end(), L'/', L'\\');
    return result;
}

std::wstring FolderOf(std::wstring_view path)
{
    const std::size_t separator = path.rfind(L'\\');
    return std::wstring(separator == std::wstring_view::npos ? path : path.substr(0, separator));
}

void PumpOwnMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        PumpOwnMessages();
        Sleep(10);
    }
}

std::wstring WindowText(HWND hwnd)
{
    // WM_GETTEXT with a timeout: a hung target must not hang the driver.
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                             &copied))
        return {};
    return std::wstring(text, std::min<std::size_t>(copied, std::size(text) - 1));
}

std::wstring ClassName(HWND hwnd)
{
    wchar_t name[256] = {};
    const int length = GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
    return std::wstring(name, length > 0 ? length : 0);
}

RECT WindowRect(HWND hwnd)
{
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

RECT ChildRect(HWND child)
{
    RECT rect = WindowRect(child);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly)
{
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> result;
    for (HWND hwnd : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == processId && (!visibleOnly || IsWindowVisible(hwnd)))
            result.push_back(hwnd);
    }
    return result;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::vector<HWND> OtherVisibleWindows(DWORD processId, HWND launcher)
{
    std::vector<HWND> others = TopLevelWindows(processId, true);
    std::erase(others, launcher);
    return others;
}

HWND FocusOf(DWORD threadId)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(threadId, &info))
        return nullptr;
    return info.hwndFocus;
}

std::unique_ptr<LauncherProcess> LauncherProcess::Start(const StartInfo& info, std::wstring* error)
{
    std::wstring commandLine = L"\"" + info.exe + L"\"";
    if (!info.arguments.empty())
        commandLine += L" " + info.arguments;

    // The driver's environment with the additions; a name given again replaces the inherited value.
    std::vector<std::wstring> variables;
    if (LPWCH block = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
            const std::wstring_view text(entry);
            const bool replaced = std::any_of(info.environment.begin(), info.environment.end(), [&](const auto& v) {
                return text.size() > v.first.size() && text[v.first.size()] == L'=' &&
                       CompareStringOrdinal(text.data(), static_cast<int>(v.first.size()), v.first.data(),
                                            static_cast<int>(v.first.size()), TRUE) == CSTR_EQUAL;
            });
            if (!replaced)
                variables.emplace_back(text);
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : info.environment)
        variables.push_back(name + L"=" + value);
    std::wstring environment;
    for (const std::wstring& variable : variables)
        environment += variable + L'\0';
    environment += L'\0';

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(info.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), info.currentDirectory.empty() ? nullptr : info.currentDirectory.c_str(),
                        &startup, &created)) {
        if (error != nullptr)
            *error = L"CreateProcessW(" + commandLine + L") failed: " + std::to_wstring(GetLastError());
        return nullptr;
    }
    CloseHandle(created.hThread);
    std::unique_ptr<LauncherProcess> process(new LauncherProcess);
    process->m_process.reset(created.hProcess);
    process->m_processId = created.dwProcessId;
    process->m_threadId = created.dwThreadId;
    process->m_exe = info.exe;
    return process;
}

LauncherProcess::~LauncherProcess()
{
    if (!Running())
        return;
    // Closed as a user would close it, so that it lets go of any application it started (a stand-in
    // server whose client was killed never ends); only a launcher that does not end is terminated.
    for (HWND hwnd : TopLevelWindows(m_processId, true))
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    if (WaitUntil([&] { return !Running(); }, kExitTimeout))
        return;
    TerminateProcess(m_process.get(), 1);
    WaitForSingleObject(m_process.get(), static_cast<DWORD>(kExitTimeout.count()));
}

bool LauncherProcess::Running() const
{
    return WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

HWND LauncherProcess::WaitForLauncherWindow(Milliseconds timeout) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(m_processId, true)) {
                if (ClassName(hwnd) != L"#32770" && WindowText(hwnd) == L"Tessivar") {
                    found = hwnd;
                    return true;
                }
            }
            return !Running();
        },
        timeout);
    return found;
}

HWND LauncherProcess::WaitForDialog(Milliseconds timeout) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(m_processId, true)) {
                if (ClassName(hwnd) == L"#32770") {
                    found = hwnd;
                    return true;
                }
            }
            return !Running();
        },
        timeout);
    return found;
}

std::optional<DWORD> LauncherProcess::WaitForExit(Milliseconds timeout) const
{
    if (!WaitUntil([&] { return !Running(); }, timeout))
        return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(m_process.get(), &code))
        return std::nullopt;
    return code;
}

std::optional<std::wstring> RemoteCurrentDirectory(HANDLE process)
{
    return RemoteParameterString(process, kParametersCurrentDirectory);
}

std::optional<std::wstring> RemoteCommandLine(HANDLE process)
{
    return RemoteParameterString(process, kParametersCommandLine);
}

void TapKey(WORD virtualKey, std::initializer_list<WORD> modifiers)
{
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(virtualKey, false));
    inputs.push_back(KeyInput(virtualKey, true));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        inputs.push_back(KeyInput(*it, true));
    Send(std::move(inputs));
}

void MoveMouse(POINT screen)
{
    Send({MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen)});
}

void Click(POINT screen)
{
    Send({MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen), MouseInput(MOUSEEVENTF_LEFTDOWN),
          MouseInput(MOUSEEVENTF_LEFTUP)});
}

void DoubleClick(POINT screen)
{
    Send({MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen), MouseInput(MOUSEEVENTF_LEFTDOWN),
          MouseInput(MOUSEEVENTF_LEFTUP), MouseInput(MOUSEEVENTF_LEFTDOWN), MouseInput(MOUSEEVENTF_LEFTUP)});
}

void Drag(POINT from, POINT to)
{
    // Paced like a hand: the system's move and size loops start on the press and follow the pointer.
    constexpr DWORD kPauseMs = 30;
    Send({MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, from), MouseInput(MOUSEEVENTF_LEFTDOWN)});
    constexpr int kSteps = 8;
    for (int step = 1; step <= kSteps; ++step) {
        Sleep(kPauseMs);
        const POINT at{from.x + (to.x - from.x) * step / kSteps, from.y + (to.y - from.y) * step / kSteps};
        Send({MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at)});
    }
    Sleep(kPauseMs);
    Send({MouseInput(MOUSEEVENTF_LEFTUP)});
}

std::optional<POINT> FindHitArea(HWND hwnd, LRESULT area)
{
    auto hit = [&](POINT at) {
        DWORD_PTR result = HTNOWHERE;
        SendMessageTimeoutW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y), SMTO_ABORTIFHUNG, 2000, &result);
        return static_cast<LRESULT>(result);
    };
    const RECT rect = WindowRect(hwnd);
    // The caption row holds every area asked for here; the centre of the matching points is inside
    // each of them (they are rectangles), and is checked again.
    constexpr int kCaptionRows = 40;
    long long sumX = 0;
    long long sumY = 0;
    long long count = 0;
    for (LONG y = rect.top; y < std::min(rect.bottom, rect.top + kCaptionRows); y += 2) {
        for (LONG x = rect.left; x < rect.right; x += 2) {
            if (hit({x, y}) == area) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    }
    if (count == 0)
        return std::nullopt;
    const POINT centre{static_cast<LONG>(sumX / count), static_cast<LONG>(sumY / count)};
    if (hit(centre) != area)
        return std::nullopt;
    return centre;
}

TemporaryFolder::TemporaryFolder()
{
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(static_cast<DWORD>(std::size(temp)), temp);
    m_path = std::wstring(temp) + L"tessivar-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

TemporaryFolder::~TemporaryFolder()
{
    RemoveTree(m_path);
}

std::wstring TemporaryFolder::MakeFolder(std::wstring_view name) const
{
    const std::wstring path = m_path + L"\\" + std::wstring(name);
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

namespace {

// A top-down 32-bit DIB section selected into a memory DC.
class Canvas {
public:
    Canvas(LONG width, LONG height) : m_width(width), m_height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_previous = SelectObject(m_dc, m_bitmap);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return m_dc; }
    Pixels Read() const
    {
        GdiFlush();
        Pixels pixels{m_width, m_height, {}};
        if (m_bits != nullptr)
            pixels.data.assign(m_bits, m_bits + static_cast<std::size_t>(m_width * m_height));
        for (std::uint32_t& pixel : pixels.data)
            pixel &= 0x00FFFFFF;
        return pixels;
    }

private:
    LONG m_width;
    LONG m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    std::uint32_t* m_bits = nullptr;
};

bool Differs(std::uint32_t a, std::uint32_t b)
{
    constexpr int kThreshold = 48;
    for (int shift = 0; shift < 24; shift += 8) {
        const int delta = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (delta > kThreshold || delta < -kThreshold)
            return true;
    }
    return false;
}

}  // namespace

std::uint32_t ColourPixel(COLORREF colour)
{
    return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

Pixels CaptureScreen(const RECT& rect)
{
    Canvas canvas(rect.right - rect.left, rect.bottom - rect.top);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.Dc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas.Read();
}

Pixels RenderButtonText(std::wstring_view text, HFONT font, SIZE size, std::uint32_t face)
{
    Canvas canvas(size.cx, size.cy);
    RECT rect{0, 0, size.cx, size.cy};
    HBRUSH brush = CreateSolidBrush(RGB((face >> 16) & 0xFF, (face >> 8) & 0xFF, face & 0xFF));
    FillRect(canvas.Dc(), &rect, brush);
    DeleteObject(brush);
    const HGDIOBJ previous = SelectObject(canvas.Dc(), font);
    SetTextColor(canvas.Dc(), GetSysColor(COLOR_BTNTEXT));
    SetBkMode(canvas.Dc(), TRANSPARENT);
    DrawTextW(canvas.Dc(), text.data(), static_cast<int>(text.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(canvas.Dc(), previous);
    return canvas.Read();
}

Pixels Ink(const Pixels& image, LONG margin, std::uint32_t background)
{
    LONG left = image.width;
    LONG top = image.height;
    LONG right = -1;
    LONG bottom = -1;
    for (LONG y = margin; y < image.height - margin; ++y) {
        for (LONG x = margin; x < image.width - margin; ++x) {
            if (Differs(image.At(x, y), background)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    Pixels ink;
    if (right < 0)
        return ink;
    ink.width = right - left + 1;
    ink.height = bottom - top + 1;
    for (LONG y = top; y <= bottom; ++y) {
        for (LONG x = left; x <= right; ++x)
            ink.data.push_back(image.At(x, y));
    }
    return ink;
}

std::string ReadFileText(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

}  // namespace tessivar::e2e
