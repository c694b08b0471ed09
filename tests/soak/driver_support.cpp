#include "driver_support.h"

#include <psapi.h>
#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace tessivar::soak {

using RecordingJournal::Entry;
using RecordingJournal::Journal;

std::optional<std::wstring> CommandLineValue(std::wstring_view name)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return std::nullopt;
    std::optional<std::wstring> value;
    for (int i = 1; i < count; ++i) {
        const std::wstring_view argument = arguments[i];
        if (argument.size() > name.size() + 3 && argument.starts_with(L"--") &&
            argument.substr(2, name.size()) == name && argument[name.size() + 2] == L'=')
            value = std::wstring(argument.substr(name.size() + 3));
    }
    LocalFree(arguments);
    return value;
}

unsigned long long CommandLineNumber(std::wstring_view name, unsigned long long fallback)
{
    const auto value = CommandLineValue(name);
    return value ? std::wcstoull(value->c_str(), nullptr, 10) : fallback;
}

std::string Narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

// ---- Resource counters -------------------------------------------------------------------------

namespace {

// SystemHandleInformation (class 16): one entry per open handle in the system.
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

struct SystemHandles {
    ULONG count;
    SystemHandleEntry handles[1];
};

// 32-bit process environment block: the GDI handle table pointer. The table has 0x10000 entries of 16
// bytes; a live entry's first field (the object) is not 0.
constexpr std::uintptr_t kPebGdiSharedHandleTable = 0x94;
constexpr std::size_t kGdiHandleCount = 0x10000;
constexpr std::size_t kGdiEntrySize = 16;

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

DWORD OwnerOf(HWND hwnd)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    return owner;
}

}  // namespace

std::size_t CountHandles(DWORD processId)
{
    std::vector<BYTE> buffer(1 << 18);
    ULONG length = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &length)) == kInfoLengthMismatch)
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, length));
    if (status != 0)
        return 0;
    const auto* handles = reinterpret_cast<const SystemHandles*>(buffer.data());
    std::size_t count = 0;
    for (ULONG i = 0; i < handles->count; ++i) {
        if (handles->handles[i].ownerPid == processId)
            ++count;
    }
    return count;
}

std::optional<std::size_t> CountGdiObjects(HANDLE process)
{
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic), &length) != 0)
        return std::nullopt;
    std::uint32_t table = 0;
    SIZE_T read = 0;
    const auto peb = reinterpret_cast<std::uintptr_t>(basic.PebBaseAddress);
    if (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(peb + kPebGdiSharedHandleTable), &table, sizeof(table),
                           &read) ||
        table == 0)
        return std::nullopt;
    std::vector<BYTE> entries(kGdiHandleCount * kGdiEntrySize);
    if (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(table)), entries.data(),
                           entries.size(), &read) ||
        read != entries.size())
        return std::nullopt;
    std::size_t count = 0;
    for (std::size_t i = 0; i < kGdiHandleCount; ++i) {
        std::uint64_t object = 0;
        std::memcpy(&object, entries.data() + i * kGdiEntrySize, sizeof(object));
        if (object != 0)
            ++count;
    }
    return count;
}

std::size_t CountWindows(DWORD processId)
{
    std::vector<HWND> topLevel;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&topLevel));
    std::size_t count = 0;
    for (HWND hwnd : topLevel) {
        if (OwnerOf(hwnd) != processId)
            continue;
        ++count;
        std::vector<HWND> children;
        EnumChildWindows(hwnd, CollectWindow, reinterpret_cast<LPARAM>(&children));
        count += children.size();
    }
    // Message-only windows (COM's apartment window among them) are not listed by EnumWindows.
    for (HWND hwnd = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd != nullptr;
         hwnd = FindWindowExW(HWND_MESSAGE, hwnd, nullptr, nullptr)) {
        if (OwnerOf(hwnd) == processId)
            ++count;
    }
    return count;
}

std::optional<ProcessCounters> ReadCounters(HANDLE process, DWORD processId)
{
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)))
        return std::nullopt;
    ProcessCounters counters;
    counters.handles = CountHandles(processId);
    counters.gdiObjects = CountGdiObjects(process).value_or(0);
    counters.windows = CountWindows(processId);
    counters.workingSet = memory.WorkingSetSize;
    counters.peakWorkingSet = memory.PeakWorkingSetSize;
    counters.privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    return counters;
}

// ---- The launcher ------------------------------------------------------------------------------

namespace {

constexpr AppInfo kAppInfo[] = {
    {App::Word, "Word", L"Word.Application", L"打开WORD", 14, 5},
    {App::Excel, "Excel", L"Excel.Application", L"打开Excel", 181, 170},
    {App::PowerPoint, "PowerPoint", L"PowerPoint.Application", L"打开-PowerPoint", 2003, 2003},
};

std::string KindOf(const std::string& tag)
{
    return tag.substr(0, tag.find('#'));
}

bool SamePoint(POINT a, POINT b)
{
    return a.x == b.x && a.y == b.y;
}

}  // namespace

const AppInfo& Info(App app)
{
    return kAppInfo[static_cast<std::size_t>(app)];
}

std::unique_ptr<Launcher> Launcher::Start(const std::wstring& exe,
                                          const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                                          std::wstring& error)
{
    std::unique_ptr<Launcher> launcher(new Launcher);
    launcher->m_process = e2e::LauncherProcess::Start({exe, {}, {}, environment}, &error);
    if (launcher->m_process == nullptr)
        return nullptr;
    launcher->m_window = launcher->m_process->WaitForLauncherWindow();
    if (launcher->m_window == nullptr) {
        error = L"the launcher window did not show";
        return nullptr;
    }
    for (HWND child : e2e::ChildWindows(launcher->m_window)) {
        const std::wstring text = e2e::WindowText(child);
        for (const AppInfo& info : kAppInfo) {
            if (text == info.buttonText)
                launcher->m_buttons[static_cast<std::size_t>(info.app)] = child;
        }
    }
    if (std::find(launcher->m_buttons.begin(), launcher->m_buttons.end(), nullptr) != launcher->m_buttons.end()) {
        error = L"the launcher window lacks a button";
        return nullptr;
    }
    // The launcher activates itself when it shows.
    e2e::WaitUntil([&] { return launcher->InForeground(); }, e2e::kReactionTimeout);
    return launcher;
}

POINT Launcher::Centre(HWND hwnd)
{
    const RECT r = e2e::WindowRect(hwnd);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void Launcher::ClickAt(POINT screen)
{
    // A press sent together with the move can reach the window before Wine has moved the pointer.
    e2e::MoveMouse(screen);
    e2e::WaitUntil(
        [&] {
            POINT at{};
            return GetCursorPos(&at) && SamePoint(at, screen);
        },
        e2e::kReactionTimeout);
    e2e::Click(screen);
}

bool Launcher::Activate()
{
    if (InForeground())
        return true;
    if (IsIconic(m_window))
        return false;
    if (!m_caption) {
        // Found once: the window does not move.
        m_caption = e2e::FindHitArea(m_window, HTCAPTION);
        if (!m_caption)
            return false;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        ClickAt(*m_caption);
        if (e2e::WaitUntil([&] { return InForeground(); }, 2s))
            return true;
    }
    return false;
}

bool Launcher::ClickButton(App app)
{
    if (!Activate())
        return false;
    ClickAt(Centre(Button(app)));
    return true;
}

std::optional<DWORD> Launcher::CloseWithEsc()
{
    for (int attempt = 0; attempt < 3 && m_process->Running(); ++attempt) {
        if (Activate())
            e2e::TapKey(VK_ESCAPE);
        if (e2e::WaitUntil([&] { return !m_process->Running(); }, e2e::kExitTimeout))
            break;
    }
    return m_process->WaitForExit(1s);
}

// ---- The recording server ----------------------------------------------------------------------

ServerHold::ServerHold()
{
    CLSID clsid;
    if (FAILED(m_result = CLSIDFromProgID(Info(App::Word).progId, &clsid)))
        return;
    if (FAILED(m_result = CoGetClassObject(clsid, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(&m_factory))))
        return;
    m_result = m_factory->CreateInstance(nullptr, IID_PPV_ARGS(&m_object));
}

bool PrepareServer()
{
    RecordingJournal::ClearFaults();
    const auto registered = RecordingJournal::RunServerCommand(L"/RegServer");
    for (DWORD pid : RecordingJournal::ServerPids(RecordingJournal::ReadJournal()))
        RecordingJournal::WaitForProcessExit(pid, 20000);
    RecordingJournal::ClearJournal();
    return registered == 0u;
}

JournalTail::JournalTail()
{
    m_file = CreateFileW(RecordingJournal::JournalPath().c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

JournalTail::~JournalTail()
{
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
}

std::size_t JournalTail::Poll()
{
    if (m_file == INVALID_HANDLE_VALUE)
        return 0;
    char buffer[16384];
    DWORD read = 0;
    while (ReadFile(m_file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        m_partial.append(buffer, read);
    std::size_t added = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = m_partial.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line(m_partial.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty()) {
            m_entries.push_back(RecordingJournal::ParseLine(line));
            ++added;
        }
    }
    m_partial.erase(0, start);
    return added;
}

std::optional<std::size_t> JournalTail::WaitFor(std::size_t from, const std::function<bool(const Entry&)>& match,
                                                Milliseconds timeout)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (std::size_t next = from;;) {
        Poll();
        for (; next < m_entries.size(); ++next) {
            if (match(m_entries[next]))
                return next;
        }
        if (GetTickCount64() >= deadline)
            return std::nullopt;
        e2e::PumpOwnMessages();
        Sleep(1);
    }
}

bool Concerns(const Entry& entry, App app)
{
    const std::string name = Info(app).name;
    return entry.Get("app") == name || KindOf(entry.Get("obj")).rfind(name + ".", 0) == 0;
}

bool IsAdd(const Entry& entry, App app)
{
    return entry.verb == "invoke" && Concerns(entry, app) && entry.Get("flags") == "1" &&
           entry.Get("dispid") == std::to_string(Info(app).addDispid);
}

bool IsLaunchEnd(const Entry& entry, App app)
{
    return entry.verb == "invoke" && Concerns(entry, app) &&
           entry.Get("dispid") == std::to_string(Info(app).lastDispid);
}

bool IsProtocol(const Entry& e)
{
    return e.verb == "create" || e.verb == "find-cp" || e.verb == "advise" || e.verb == "unadvise" ||
           e.verb == "invoke" || e.verb == "get-ids-of-names";
}

ReleaseFindings CheckReleased(const Journal& journal)
{
    ReleaseFindings findings;
    std::set<std::string> alive;
    std::multiset<std::string> advised;
    for (const Entry& e : journal) {
        if (e.verb == "new")
            alive.insert(e.Get("obj"));
        else if (e.verb == "final-release")
            alive.erase(e.Get("obj"));
        else if (e.verb == "advise" && e.Get("hr") == "0x00000000")
            advised.insert(e.Get("obj") + "/" + e.Get("cookie"));
        else if (e.verb == "unadvise" && e.Get("hr") == "0x00000000") {
            const auto it = advised.find(e.Get("obj") + "/" + e.Get("cookie"));
            if (it != advised.end())
                advised.erase(it);
        }
        const std::string member = e.Get("member");
        if ((e.verb == "invoke" && (member == "Quit" || member == "Close")) || e.verb == "get-ids-of-names")
            findings.forbidden.push_back(e.line);
    }
    findings.alive.assign(alive.begin(), alive.end());
    findings.stillAdvised.assign(advised.begin(), advised.end());
    return findings;
}

ReleaseFindings WaitForRelease(Milliseconds timeout)
{
    ReleaseFindings findings;
    e2e::WaitUntil(
        [&] {
            findings = CheckReleased(RecordingJournal::ReadJournal());
            return findings.alive.empty();
        },
        timeout);
    return findings;
}

// ---- Wine's +ole trace -------------------------------------------------------------------------

OleTraceFindings CheckOleTrace(const std::wstring& path, DWORD processId)
{
    OleTraceFindings findings;
    char prefix[16];
    std::snprintf(prefix, sizeof(prefix), "%04lx:", static_cast<unsigned long>(processId));
    auto check = [&](std::string_view line) {
        if (!line.starts_with(prefix))
            return;
        findings.found = true;
        ++findings.lines;
        if (line.find(":OleUninitialize") != std::string_view::npos)
            findings.uninitialised = true;
        else if (findings.uninitialised && line.find("proxy_manager_disconnect") != std::string_view::npos)
            findings.disconnected.emplace_back(line);
    };
    // Read in pieces: a long soak leaves a trace of many megabytes.
    const e2e::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return findings;
    std::string pending;
    std::vector<char> buffer(1 << 20);
    DWORD read = 0;
    while (ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
        pending.append(buffer.data(), read);
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
            check(std::string_view(pending).substr(start, end - start));
        pending.erase(0, start);
    }
    check(pending);
    return findings;
}

// ---- Figures -----------------------------------------------------------------------------------

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency);
}

}  // namespace tessivar::soak
